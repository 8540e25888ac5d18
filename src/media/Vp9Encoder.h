// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <vector>

#include "media/VideoEncoder.h"

struct vpx_codec_ctx;

namespace Application
{
// VP9 over libvpx: profile 0, 8-bit 4:2:0, real-time coding at the fastest
// speed that still holds quality, constant quality at the VP9 quantiser the
// quality maps to, a key frame exactly every GopSize pictures, BT.601
// limited range signalled in every key frame. No lag and no alternate
// reference frames: each picture put in comes out at once as one frame
// that is shown, never a superframe, and decode order is presentation
// order. Threads work on tile columns and on rows within them. libvpx is
// given I420: NV12 is repacked.
class Vp9Encoder final : public VideoEncoder
{
public:
    // Chosen for speed: segments are made on demand, while a player waits.
    static constexpr int CpuUsed = 8;

    explicit Vp9Encoder(VideoEncoderSettings const& Settings);
    ~Vp9Encoder() override;

    // Tile columns (log2) that give each of Threads a column of its own.
    static int TileColumnsFor(std::uint32_t Threads) noexcept;

protected:
    bool EncodePicture(VideoPicture const* Picture, std::int64_t Pts, CodedPicture& Result) override;

private:
    struct CodecDeleter
    {
        void operator()(vpx_codec_ctx* Codec) const noexcept;
    };

    std::unique_ptr<vpx_codec_ctx, CodecDeleter> m_Codec;
    std::vector<std::uint8_t> m_RepackBuffer;
};
} // namespace Application
