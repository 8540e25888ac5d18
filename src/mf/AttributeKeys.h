// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mf/AttributeKey.h"

// The attribute keys shared by the media components, named as on the
// platform. Value types in brackets; sizes and ratios are packed 64-bit
// values (Attributes::SetSize, SetRatio).
namespace MF
{
#define QUORVEL_ATTRIBUTE_KEY(Name) inline constexpr AttributeKey Name{#Name};
#define QUORVEL_PACKED_ATTRIBUTE_KEY(Name) inline constexpr AttributeKey Name{#Name, AttributeFormat::Packed};

// Media types
QUORVEL_ATTRIBUTE_KEY(MF_MT_MAJOR_TYPE)                 // [Guid] MFMediaType_Video, MFMediaType_Audio
QUORVEL_ATTRIBUTE_KEY(MF_MT_SUBTYPE)                    // [Guid] MFVideoFormat_..., MFAudioFormat_...
QUORVEL_ATTRIBUTE_KEY(MF_MT_ALL_SAMPLES_INDEPENDENT)    // [UInt32]
QUORVEL_ATTRIBUTE_KEY(MF_MT_AVG_BITRATE)                // [UInt32] bits per second
QUORVEL_ATTRIBUTE_KEY(MF_MT_USER_DATA)                  // [Blob] codec private data (AudioSpecificConfig, FLAC header)
QUORVEL_ATTRIBUTE_KEY(MF_MT_MPEG_SEQUENCE_HEADER)       // [Blob] parameter sets in Annex B form
QUORVEL_ATTRIBUTE_KEY(MF_MT_MPEG2_PROFILE)              // [UInt32]
QUORVEL_PACKED_ATTRIBUTE_KEY(MF_MT_FRAME_SIZE)          // [UInt64] width:height
QUORVEL_PACKED_ATTRIBUTE_KEY(MF_MT_FRAME_RATE)          // [UInt64] numerator:denominator
QUORVEL_ATTRIBUTE_KEY(MF_MT_DEFAULT_STRIDE)             // [UInt32] bytes per row, as a signed value
QUORVEL_ATTRIBUTE_KEY(MF_MT_VIDEO_PRIMARIES)            // [UInt32] MFVideoPrimaries_...
QUORVEL_ATTRIBUTE_KEY(MF_MT_TRANSFER_FUNCTION)          // [UInt32] MFVideoTransFunc_...
QUORVEL_ATTRIBUTE_KEY(MF_MT_YUV_MATRIX)                 // [UInt32] MFVideoTransferMatrix_...
QUORVEL_ATTRIBUTE_KEY(MF_MT_AUDIO_NUM_CHANNELS)         // [UInt32]
QUORVEL_ATTRIBUTE_KEY(MF_MT_AUDIO_SAMPLES_PER_SECOND)   // [UInt32]
QUORVEL_ATTRIBUTE_KEY(MF_MT_AUDIO_AVG_BYTES_PER_SECOND) // [UInt32]
QUORVEL_ATTRIBUTE_KEY(MF_MT_AUDIO_BLOCK_ALIGNMENT)      // [UInt32]
QUORVEL_ATTRIBUTE_KEY(MF_MT_AUDIO_BITS_PER_SAMPLE)      // [UInt32]

// Samples
QUORVEL_ATTRIBUTE_KEY(MFSampleExtension_CleanPoint)              // [UInt32] 1: key frame / sync sample
QUORVEL_ATTRIBUTE_KEY(MFSampleExtension_Discontinuity)           // [UInt32] 1: first sample after a gap
QUORVEL_ATTRIBUTE_KEY(MFSampleExtension_DecodeTimestamp)         // [UInt64 or Int64] 100-ns decode time, may be negative
QUORVEL_ATTRIBUTE_KEY(MFSampleExtension_Token)                   // [Object] the token of the request that produced it
QUORVEL_ATTRIBUTE_KEY(MFSampleExtension_VideoEncodePictureType)  // [UInt32] 1 I, 2 P, 3 B
QUORVEL_ATTRIBUTE_KEY(MFSampleExtension_FlacSampleCount)         // [UInt32] audio samples in a FLAC payload, 0 for stream header data
QUORVEL_ATTRIBUTE_KEY(MFSampleExtension_FlacSamplePosition)      // [UInt64] position of the payload's first audio sample

// Presentation and topology
QUORVEL_ATTRIBUTE_KEY(MF_PD_DURATION)                       // [UInt64] 100-ns presentation duration
QUORVEL_ATTRIBUTE_KEY(MF_TOPONODE_SOURCE)                   // [Object] IMediaSource
QUORVEL_ATTRIBUTE_KEY(MF_TOPONODE_PRESENTATION_DESCRIPTOR)  // [Object] PresentationDescriptor
QUORVEL_ATTRIBUTE_KEY(MF_TOPONODE_STREAM_DESCRIPTOR)        // [Object] StreamDescriptor
QUORVEL_ATTRIBUTE_KEY(MF_EVENT_TOPOLOGY_STATUS)             // [UInt32] MF_TOPOSTATUS_...

// Transforms and their codec settings
QUORVEL_ATTRIBUTE_KEY(CODECAPI_AVEncCommonRateControlMode)   // [UInt32] 3: quality-based
QUORVEL_ATTRIBUTE_KEY(CODECAPI_AVEncCommonQuality)           // [UInt32] 0..100
QUORVEL_ATTRIBUTE_KEY(CODECAPI_AVEncMPVGOPSize)              // [UInt32] frames per group of pictures
QUORVEL_ATTRIBUTE_KEY(CODECAPI_AVEncMPVDefaultBPictureCount) // [UInt32]
QUORVEL_ATTRIBUTE_KEY(CODECAPI_AVEncNumWorkerThreads)        // [UInt32] 0: the encoder chooses

#undef QUORVEL_ATTRIBUTE_KEY
#undef QUORVEL_PACKED_ATTRIBUTE_KEY

// Values of MF_MT_VIDEO_PRIMARIES, MF_MT_TRANSFER_FUNCTION and MF_MT_YUV_MATRIX
// that the wide-gamut streams use; a type without them is BT.601 video.
inline constexpr unsigned MFVideoPrimaries_BT2020 = 9;
inline constexpr unsigned MFVideoTransFunc_2084 = 15;
inline constexpr unsigned MFVideoTransFunc_HLG = 16;
inline constexpr unsigned MFVideoTransferMatrix_BT2020_10 = 4;

// Values of MF_EVENT_TOPOLOGY_STATUS.
inline constexpr unsigned MF_TOPOSTATUS_INVALID = 0;
inline constexpr unsigned MF_TOPOSTATUS_READY = 100;
inline constexpr unsigned MF_TOPOSTATUS_STARTED_SOURCE = 200;
inline constexpr unsigned MF_TOPOSTATUS_DYNAMIC_CHANGED = 210;
inline constexpr unsigned MF_TOPOSTATUS_SINK_SWITCHED = 300;
inline constexpr unsigned MF_TOPOSTATUS_ENDED = 400;
} // namespace MF
