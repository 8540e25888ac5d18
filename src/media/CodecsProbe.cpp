// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/CodecsProbe.h"

#include "base/Check.h"
#include "media/AudioSession.h"
#include "media/VideoSession.h"

namespace Application
{
namespace
{
std::string RunProbe(SegmentSession& Session)
{
    Session.Run();
    auto Codecs = Session.GetCodecsString();
    CHECK_LINE(!Codecs.empty());
    return Codecs;
}
} // namespace

std::string CodecsProbe::ProbeVideo(VideoVariant const& Variant) const
{
    VideoSession Session(m_Context, Variant);
    return RunProbe(Session);
}

std::string CodecsProbe::ProbeAudio(AudioVariant const& Variant)
{
    std::lock_guard Lock(m_Mutex);
    auto Found = m_AudioCodecs.find(Variant.Subtype);
    if(Found == m_AudioCodecs.end())
    {
        AudioSession Session(Variant);
        Found = m_AudioCodecs.emplace(Variant.Subtype, RunProbe(Session)).first;
    }
    return Found->second;
}

void CodecsProbe::Fill(std::vector<VideoVariant>& VideoVariants, std::vector<AudioVariant>& AudioVariants)
{
    for(auto& Variant : VideoVariants)
        Variant.Codecs = ProbeVideo(Variant);
    for(auto& Variant : AudioVariants)
        Variant.Codecs = ProbeAudio(Variant);
}
} // namespace Application
