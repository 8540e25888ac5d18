// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/Guids.h"

#include <utility>

namespace MF
{
char const* GuidName(Guid const& Value) noexcept
{
    static constexpr std::pair<Guid, char const*> Names[]{
        {GUID_NULL, "GUID_NULL"},
        {MFMediaType_Video, "MFMediaType_Video"},
        {MFMediaType_Audio, "MFMediaType_Audio"},
        {MFVideoFormat_ARGB32, "MFVideoFormat_ARGB32"},
        {MFVideoFormat_RGB32, "MFVideoFormat_RGB32"},
        {MFVideoFormat_A2R10G10B10, "MFVideoFormat_A2R10G10B10"},
        {MFVideoFormat_NV12, "MFVideoFormat_NV12"},
        {MFVideoFormat_I420, "MFVideoFormat_I420"},
        {MFVideoFormat_P010, "MFVideoFormat_P010"},
        {MFVideoFormat_H264, "MFVideoFormat_H264"},
        {MFVideoFormat_HEVC, "MFVideoFormat_HEVC"},
        {MFVideoFormat_AV1, "MFVideoFormat_AV1"},
        {MFVideoFormat_VP90, "MFVideoFormat_VP90"},
        {MFAudioFormat_PCM, "MFAudioFormat_PCM"},
        {MFAudioFormat_Float, "MFAudioFormat_Float"},
        {MFAudioFormat_MP3, "MFAudioFormat_MP3"},
        {MFAudioFormat_AAC, "MFAudioFormat_AAC"},
        {MFAudioFormat_FLAC, "MFAudioFormat_FLAC"},
        {MFAudioFormat_Opus, "MFAudioFormat_Opus"},
        {MFAudioFormat_Dolby_AC3, "MFAudioFormat_Dolby_AC3"},
        {MFAudioFormat_Dolby_DDPlus, "MFAudioFormat_Dolby_DDPlus"},
    };
    for(auto const& [Key, Name] : Names)
        if(Key == Value)
            return Name;
    return nullptr;
}
} // namespace MF
