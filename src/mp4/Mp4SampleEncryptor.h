// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <optional>
#include <span>

#include "mp4/Mp4FragmentBoxes.h"
#include "mp4/Mp4ProtectionSettings.h"
#include "mp4/Mp4SubsampleLayout.h"

namespace Mp4
{
// Encrypts samples in place and describes them in the movie fragment of
// their one track fragment (senc, and saiz/saio for video). Where the
// fragment differs from what the initialisation segment says (clear samples,
// another key), a 'seig' sample group says so; with fragment pssh, the moof
// names its key for the protection systems.
//
// cenc: each sample's 8-byte IV is derived from the key, the configured IV
// and the sample's clear bytes (a keyed hash), and the counter block is that
// IV followed by eight zero bytes, exactly what senc signals. Every segment
// can still be produced on its own and comes out the same each time, while
// different samples under one key never share keystream, even across
// segments, tracks and variants.
// cbcs: every protected range, and every audio sample, is CBC-encrypted from
// the constant IV of the track header; no per-sample IV is stored.
class SampleEncryptor
{
public:
    static constexpr std::uint8_t CencIvSize = 8;

    // The settings must be active.
    explicit SampleEncryptor(ProtectionSettings const& Settings);

    // A sample of 4-byte length-prefixed NAL units, a VP9 frame of a track
    // of pictures FrameWidth wide, or an AV1 temporal unit with its tiles
    // (SubsampleLayout). The moof holds the sample's track fragment and
    // nothing after it.
    void EncryptVideoSample(VideoCodec Codec, std::span<std::uint8_t> Sample, MoofBox& Moof, std::uint32_t FrameWidth = 0,
                            std::span<ProtectedRange const> Av1Tiles = {}) const;
    void EncryptAudioSample(std::span<std::uint8_t> Sample, MoofBox& Moof) const;
    // Given the moof's size, points saio at the
    // sample's auxiliary information: the senc entry at the very end of the
    // moof, whose only track fragment ends with senc.
    static void SetAuxiliaryInformationOffset(MoofBox& Moof, std::size_t MoofSize);

    std::array<std::uint8_t, CencIvSize> DeriveSampleIv(std::span<std::uint8_t const> Sample) const;

private:
    // The sample group and the pssh boxes of the fragment, where due.
    void SignalFragment(MoofBox& Moof, std::optional<SgpdBox::SeigEntry> const& GroupEntry) const;
    void EncryptCounterMode(std::span<std::uint8_t> Sample, std::vector<ProtectedRange> const& Ranges, SencBox::Sample& Entry) const;

    ProtectionScheme m_Scheme;
    Bytes16 m_Key{};
    Bytes16 m_InitializationVector{};
    bool m_ClearSamples = false;
    std::optional<SgpdBox::SeigEntry> m_VideoGroupEntry;
    std::optional<SgpdBox::SeigEntry> m_AudioGroupEntry;
    std::vector<PsshBox> m_PsshBoxList;
};
} // namespace Mp4
