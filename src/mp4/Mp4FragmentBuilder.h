// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <span>
#include <vector>

#include "mp4/Mp4SubsampleLayout.h"

namespace Mp4
{
class SampleEncryptor;

// One media fragment of one sample: the moof and the mdat, written to the
// byte stream as one piece, so that a fragment stays whole from the sink to
// the socket.
class FragmentBuilder
{
public:
    static constexpr std::uint32_t SyncSampleFlags = 0x02000000;     // depends on no other sample
    static constexpr std::uint32_t NonSyncVideoFlags = 0x01010000;   // depends on others, not a sync sample
    static constexpr std::uint32_t NonSyncAudioFlags = 0x00010000;   // not a sync sample

    struct Sample
    {
        std::uint32_t m_SequenceNumber = 0;
        std::uint32_t m_TrackId = 0;
        std::uint64_t m_DecodeTime = 0; // in the track's timescale
        std::uint32_t m_Duration = 0;
        std::int64_t m_CompositionOffset = 0; // video only
        std::uint32_t m_Flags = 0;
        // Audio: the sample belongs to the roll group the track's sample
        // table describes (Opus and its pre-roll).
        bool m_RollGroup = false;
    };
    struct Fragment
    {
        std::vector<std::uint8_t> m_Bytes; // the moof, then the mdat
        std::size_t m_MoofSize = 0;

        std::span<std::uint8_t const> Moof() const noexcept { return std::span(m_Bytes).first(m_MoofSize); }
        std::span<std::uint8_t const> Mdat() const noexcept { return std::span(m_Bytes).subspan(m_MoofSize); }
    };

    // Payload: 4-byte length-prefixed NAL units (or what SampleEncryptor
    // takes of other codecs, with FrameWidth or Av1Tiles); encrypted in
    // place when an encryptor is given (and its settings do not keep the
    // samples clear).
    static Fragment BuildVideo(Sample const& Value, std::span<std::uint8_t> Payload, VideoCodec Codec, SampleEncryptor const* Encryptor,
                               std::uint32_t FrameWidth = 0, std::span<ProtectedRange const> Av1Tiles = {});
    // Payload: one audio frame (AAC access unit, FLAC frame, Opus packet,
    // AC-3 or E-AC-3 sync frame); encrypted in place as above.
    static Fragment BuildAudio(Sample const& Value, std::span<std::uint8_t> Payload, SampleEncryptor const* Encryptor);

private:
    static TrafBox& AddTrackFragment(MoofBox& Moof, Sample const& Value);
    static Fragment Serialise(MoofBox& Moof, std::span<std::uint8_t const> Payload);
};
} // namespace Mp4
