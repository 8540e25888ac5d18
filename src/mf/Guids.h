// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mf/Guid.h"

// Well-known identifiers with the platform's values: major types and the
// subtypes the sources, encoders and sinks use.
namespace MF
{
inline constexpr Guid GUID_NULL{};

inline constexpr Guid MFMediaType_Video = Guid::FromFourCC(Guid::FourCC('v', 'i', 'd', 's'));
inline constexpr Guid MFMediaType_Audio = Guid::FromFourCC(Guid::FourCC('a', 'u', 'd', 's'));

inline constexpr Guid MFVideoFormat_ARGB32 = Guid::FromFourCC(21);
inline constexpr Guid MFVideoFormat_RGB32 = Guid::FromFourCC(22);
// Ten bits a channel: R, G, B in the low 30 bits of a little-endian 32-bit word.
inline constexpr Guid MFVideoFormat_A2R10G10B10 = Guid::FromFourCC(31);
inline constexpr Guid MFVideoFormat_NV12 = Guid::FromFourCC(Guid::FourCC('N', 'V', '1', '2'));
inline constexpr Guid MFVideoFormat_I420 = Guid::FromFourCC(Guid::FourCC('I', '4', '2', '0'));
// NV12's layout in 16-bit little-endian words, the 10 bits in the high ones.
inline constexpr Guid MFVideoFormat_P010 = Guid::FromFourCC(Guid::FourCC('P', '0', '1', '0'));
inline constexpr Guid MFVideoFormat_H264 = Guid::FromFourCC(Guid::FourCC('H', '2', '6', '4'));
inline constexpr Guid MFVideoFormat_HEVC = Guid::FromFourCC(Guid::FourCC('H', 'E', 'V', 'C'));
inline constexpr Guid MFVideoFormat_AV1 = Guid::FromFourCC(Guid::FourCC('A', 'V', '0', '1'));
inline constexpr Guid MFVideoFormat_VP90 = Guid::FromFourCC(Guid::FourCC('V', 'P', '9', '0'));

inline constexpr Guid MFAudioFormat_PCM = Guid::FromFourCC(0x0001);
inline constexpr Guid MFAudioFormat_Float = Guid::FromFourCC(0x0003);
inline constexpr Guid MFAudioFormat_MP3 = Guid::FromFourCC(0x0055);
inline constexpr Guid MFAudioFormat_AAC = Guid::FromFourCC(0x1610);
inline constexpr Guid MFAudioFormat_FLAC = Guid::FromFourCC(0xF1AC);
inline constexpr Guid MFAudioFormat_Opus = Guid::FromFourCC(0x704F);
inline constexpr Guid MFAudioFormat_Dolby_AC3{0xE06D802C, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};
inline constexpr Guid MFAudioFormat_Dolby_DDPlus{0xA7FB87AF, 0x2D02, 0x42FB, {0xA4, 0xD4, 0x05, 0xCD, 0x93, 0x84, 0x3B, 0xDD}};

// The name of a GUID above ("MFVideoFormat_H264"), or nullptr for another one.
char const* GuidName(Guid const& Value) noexcept;
} // namespace MF
