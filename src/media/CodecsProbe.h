// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "media/AudioVariant.h"
#include "media/VideoSessionContext.h"
#include "media/VideoVariant.h"

namespace Application
{
// Learns the RFC 6381 codecs texts that playlists and manifests name by
// encoding a little of a variant: a header run, whose sink reports the text
// its codec records give ("avc1.64001F", "hvc1.1.6.L93.B0",
// "av01.0.05M.08.0.110.01.01.06.0", "vp09.00.31.08.00.01.01.06.00",
// "mp4a.40.2", "flac", "opus", "ac-3", "ec-3"). The start-up fills every
// default row before the first request is accepted; manifest requests ask
// again for their audio row. An audio text depends only on the codec, so it
// is learned once per codec.
class CodecsProbe
{
public:
    explicit CodecsProbe(VideoSessionContext const& Context) : m_Context(Context) {}

    std::string ProbeVideo(VideoVariant const& Variant) const;
    std::string ProbeAudio(AudioVariant const& Variant);
    // Writes the codecs text into every row.
    void Fill(std::vector<VideoVariant>& VideoVariants, std::vector<AudioVariant>& AudioVariants);

private:
    VideoSessionContext const& m_Context;
    std::mutex m_Mutex;
    std::map<AudioSubtype, std::string> m_AudioCodecs;
};
} // namespace Application
