// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>

#include "media/SegmentSession.h"
#include "media/AudioVariant.h"

namespace Application
{
// A segment of an audio track: the tone-burst source, the row's encoder
// (AAC, FLAC, Opus, AC-3 or E-AC-3) and the fragmented MP4 sink. A header run
// makes 100 ms and keeps the initialisation segment; a body run makes segment
// Index of the variant's timeline (the last one cut at the variant's
// Duration), its frames on the codec's one frame grid of the whole
// presentation.
class AudioSession final : public SegmentSession
{
public:
    // Index absent: the header.
    explicit AudioSession(AudioVariant Variant, std::optional<std::uint32_t> Index = std::nullopt);

    // Before Run: the marker at every whole second of the frame code.
    void SetMarkerTone(bool Value) { m_MarkerTone = Value; }
    // The tone of ad Number (from 1) instead of the programme's.
    void SetAdvert(std::uint32_t Number);

private:
    Chain BuildChain(MediaSessionHelper& Helper) override;

    AudioVariant const m_Variant;
    std::optional<std::uint32_t> const m_Index;
    bool m_MarkerTone = false;
    std::uint32_t m_Advert = 0;
};
} // namespace Application
