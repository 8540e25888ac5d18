// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <mutex>
#include <vector>

#include "media/VideoEncoder.h"

struct EbComponentType;
struct EbSvtAv1EncConfiguration;

namespace Application
{
// AV1 over SVT-AV1: main profile, 8-bit 4:2:0, low-delay prediction (every
// picture refers only to pictures before it, so decode order is
// presentation order), quality-based rate control at the AV1 quantiser the
// quality maps to, a key frame exactly every GopSize pictures, BT.601
// limited range signalled in the sequence header; with PQ or HLG, 10-bit
// 4:2:0 (still the main profile) with BT.2020 and the transfer, and with PQ
// the mastering display and content light level metadata OBUs
// (HdrStaticMetadata). Each sample is a temporal
// unit without its temporal delimiter; every key frame's carries the
// sequence header in front. SVT-AV1 takes planar pictures only: NV12 and
// P010 are repacked.
//
// SVT-AV1 1.4 keeps tables of its coding tools in process-wide memory that
// every encoder's initialisation rebuilds for its own picture size and
// settings, and that the library's threads read while they code: encoders
// at work at once corrupt each other (the 1 fps row made beside the main row
// crashed the process within seconds, and two runs of one row now and then).
// So a run that makes AV1 holds LibraryMutex from before its encoder is made
// until its pipeline is gone, and an encoder lets its library instance go as
// soon as it is drained, inside its run.
class Av1Encoder final : public VideoEncoder
{
public:
    // Chosen for speed: segments are made on demand, while a player waits.
    static constexpr int Preset = 12;

    explicit Av1Encoder(VideoEncoderSettings const& Settings);
    ~Av1Encoder() override;

    static std::mutex& LibraryMutex();

protected:
    bool EncodePicture(VideoPicture const* Picture, std::int64_t Pts, CodedPicture& Result) override;
    void Drained() override { Close(); }

private:
    bool KeyFramesOnly() const noexcept { return Settings().GopSize == 1; }
    void Open();
    void SetColours(EbSvtAv1EncConfiguration& Configuration) const;
    void Close() noexcept;
    void SendEndOfStream();

    EbComponentType* m_Handle = nullptr;
    bool m_Initialised = false;
    bool m_EndSent = false;
    bool m_Sent = false; // a picture went into this library instance
    std::vector<std::uint8_t> m_RepackBuffer;
};
} // namespace Application
