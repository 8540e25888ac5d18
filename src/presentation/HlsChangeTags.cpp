// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/HlsChangeTags.h"

#include "base/StringFormat.h"
#include "presentation/HlsPlaylistWriter.h"

namespace Application
{
HlsChangeTags::HlsChangeTags(Configuration const& Asset, std::int64_t SegmentDuration, std::uint32_t DiscontinuityKinds, std::uint32_t HeaderKinds,
                             std::string MapUri, std::optional<KeyTrack> Keys, std::string Pathway) :
    m_Asset(Asset),
    m_SegmentDuration(SegmentDuration),
    m_DiscontinuityKinds(DiscontinuityKinds),
    m_HeaderKinds(HeaderKinds),
    m_MapUri(std::move(MapUri)),
    m_Keys(Keys),
    m_Pathway(std::move(Pathway))
{
}

std::vector<std::string> HlsChangeTags::KeyTags(std::uint32_t Index) const
{
    if(!m_Keys)
        return {};
    return HlsPlaylistWriter::KeyTags(m_Asset, *m_Keys, m_Asset.Changes.At(StartOf(Index)), m_Pathway);
}

std::string HlsChangeTags::MapTag(std::uint32_t Index) const
{
    if(m_MapUri.empty())
        return {};
    // The segment the initialisation segment was first needed for names it,
    // so that every playlist names one initialisation segment alike.
    std::int64_t const Since = m_Asset.Changes.LastUpTo(StartOf(Index), m_HeaderKinds);
    std::string Uri = m_MapUri;
    if(Since > 0)
        Uri += StringFormat("&at=%lld", static_cast<long long>(Since / m_SegmentDuration));
    return "#EXT-X-MAP:URI=\"" + Uri + "\"";
}

std::string HlsChangeTags::SequenceTag(std::uint32_t First) const
{
    if(!m_Asset.Changes.HasAny(m_DiscontinuityKinds))
        return {};
    return StringFormat("#EXT-X-DISCONTINUITY-SEQUENCE:%lld", static_cast<long long>(m_Asset.Changes.CountUpTo(StartOf(First), m_DiscontinuityKinds)));
}

std::vector<std::string> HlsChangeTags::Before(std::uint32_t Index) const
{
    std::vector<std::string> Lines;
    auto const Kinds = m_Asset.Changes.KindsAt(StartOf(Index));
    if(Kinds == 0)
        return Lines;
    if(Kinds & m_DiscontinuityKinds)
        Lines.push_back("#EXT-X-DISCONTINUITY");
    if(Kinds & (ChangeKind::ClearLead | ChangeKind::Key))
        for(auto& Line : KeyTags(Index))
            Lines.push_back(std::move(Line));
    if(auto Map = MapTag(Index); (Kinds & m_HeaderKinds) && !Map.empty())
        Lines.push_back(std::move(Map));
    return Lines;
}

std::vector<std::string> HlsChangeTags::Restate(std::uint32_t First, std::uint32_t Index) const
{
    std::vector<std::string> Lines;
    if(m_Asset.Changes.KindsAt(StartOf(Index)) & m_DiscontinuityKinds)
        Lines.push_back("#EXT-X-DISCONTINUITY");
    auto const Written = m_Asset.Changes.At(StartOf(First));
    auto const Needed = m_Asset.Changes.At(StartOf(Index));
    if(Written.Clear != Needed.Clear || Written.KeyEpoch != Needed.KeyEpoch)
        for(auto& Line : KeyTags(Index))
            Lines.push_back(std::move(Line));
    if(auto Map = MapTag(Index); !Written.SameHeader(Needed, m_HeaderKinds) && !Map.empty())
        Lines.push_back(std::move(Map));
    return Lines;
}
} // namespace Application
