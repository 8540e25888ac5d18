// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "presentation/ChangeSchedule.h"
#include "presentation/Configuration.h"
#include "presentation/ContentKeys.h"

namespace Application
{
// What a media playlist says of the asset's changes mid-stream, segment by
// segment: EXT-X-DISCONTINUITY where the track's timestamps or decoder
// configuration change (with EXT-X-DISCONTINUITY-SEQUENCE counting those
// before the first segment listed), EXT-X-MAP where its initialisation
// segment changes (naming the first segment it serves, "at"), and the key
// tags where its key does. Without changes it writes what the playlists
// always had: the key tags and the one map at the top.
class HlsChangeTags
{
public:
    // The track's segments last SegmentDuration; MapUri is its first
    // initialisation segment's address (empty: none); Keys names the track
    // whose keys it uses, nothing for a track that stays clear; the key
    // tags name the key route by Pathway (content steering), if any.
    HlsChangeTags(Configuration const& Asset, std::int64_t SegmentDuration, std::uint32_t DiscontinuityKinds, std::uint32_t HeaderKinds,
                  std::string MapUri, std::optional<KeyTrack> Keys, std::string Pathway = {});

    // The key tags of segment Index's key (none where it is clear).
    std::vector<std::string> KeyTags(std::uint32_t Index) const;
    // The map tag of segment Index; empty without an initialisation segment.
    std::string MapTag(std::uint32_t Index) const;
    // The discontinuity sequence line of a playlist whose first segment is
    // First; empty for a track without discontinuities.
    std::string SequenceTag(std::uint32_t First) const;
    // The lines before segment Index when the segment before it is listed too.
    std::vector<std::string> Before(std::uint32_t Index) const;
    // The lines before segment Index when the last ones written are those
    // of segment First (a delta update skips the segments between): its
    // discontinuity, and the key and map tags it needs.
    std::vector<std::string> Restate(std::uint32_t First, std::uint32_t Index) const;

private:
    std::int64_t StartOf(std::uint32_t Index) const noexcept { return static_cast<std::int64_t>(Index) * m_SegmentDuration; }

    Configuration const& m_Asset;
    std::int64_t m_SegmentDuration;
    std::uint32_t m_DiscontinuityKinds;
    std::uint32_t m_HeaderKinds;
    std::string m_MapUri;
    std::optional<KeyTrack> m_Keys;
    std::string m_Pathway;
};
} // namespace Application
