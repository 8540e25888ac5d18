// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <vector>

#include "media/VideoEncoder.h"

struct EbComponentType;

namespace Application
{
// AV1 over SVT-AV1: main profile, 8-bit 4:2:0, low-delay prediction (every
// picture refers only to pictures before it, so decode order is
// presentation order), quality-based rate control at the AV1 quantiser the
// quality maps to, a key frame exactly every GopSize pictures, BT.601
// limited range signalled in the sequence header. Each sample is a temporal
// unit without its temporal delimiter; every key frame's carries the
// sequence header in front. SVT-AV1 takes I420 only: NV12 is repacked.
class Av1Encoder final : public VideoEncoder
{
public:
    // Chosen for speed: segments are made on demand, while a player waits.
    static constexpr int Preset = 12;

    explicit Av1Encoder(VideoEncoderSettings const& Settings);
    ~Av1Encoder() override;

protected:
    bool EncodePicture(VideoPicture const* Picture, std::int64_t Pts, CodedPicture& Result) override;

private:
    bool KeyFramesOnly() const noexcept { return Settings().GopSize == 1; }
    void Open();
    void Close() noexcept;
    void SendEndOfStream();

    EbComponentType* m_Handle = nullptr;
    bool m_Initialised = false;
    bool m_EndSent = false;
    bool m_Sent = false; // a picture went into this library instance
    std::vector<std::uint8_t> m_RepackBuffer;
};
} // namespace Application
