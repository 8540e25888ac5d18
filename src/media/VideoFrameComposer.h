// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/AdvertIdentity.h"
#include "media/BreakNotice.h"
#include "media/ChangeNotice.h"
#include "media/DynamicRange.h"
#include "media/FrameCodePayload.h"

namespace Application
{
// Draws the synthetic picture: a black frame with a box that sways left and
// right once every four seconds, and in the box the frame number, the time
// and a line with the frame size and rate; with a frame code, a QR code in
// the top-left corner that says which frame it is (FrameCodePayload). Below
// those lines, in bold, the picture of an ad says which it is ("AD 1 of 3")
// and pictures near an ad break count down to it or through it
// (VideoFrameText::BreakNotice), and the pictures of a stream that changes
// on a schedule name their change (ChangeNotice) on the line after those;
// the lines above never move for them, nor for the last line, which names
// the speaker sounding when the audio is 5.1, so pictures without any stay exactly
// as they were. With a high dynamic range the picture is then made 10-bit
// with bars and a ramp below the box (HdrPicturePainter). One composer holds its font map,
// layouts and fonts for many frames; it is used by one thread at a time, and
// composers on different threads share nothing.
class VideoFrameComposer
{
public:
    struct Parameters
    {
        std::uint32_t Width = 0;
        std::uint32_t Height = 0;
        std::uint32_t RateN = 0;
        std::uint32_t RateD = 0;
        std::uint32_t BoxColor = 0x00008B; // 0x00RRGGBB
        std::optional<std::int64_t> BaseLiveTime;
        std::string ExtraText;
        std::optional<FrameCodeIdentity> FrameCode;
        // Around the box: black but for ads.
        std::uint32_t BackgroundColor = 0x000000; // 0x00RRGGBB
        // The breaks whose countdown or duration the pictures may fall in.
        std::vector<BreakNotice> BreakNotices;
        std::optional<AdvertIdentity> Advert;
        std::optional<ChangeNotice> Change;
        // The audio is 5.1: the pictures name the speaker sounding.
        bool Surround = false;
        // PQ and HLG pictures are A2R10G10B10 (HdrPicturePainter).
        DynamicRange Range = DynamicRange::Sdr;
    };

    // The bytes of a top-down picture: rows of Width pixels, each pixel B, G,
    // R, A (a little-endian 0xAARRGGBB word, alpha 0xFF), or with a high
    // dynamic range a little-endian word of 10-bit R, G and B from bit 20 down.
    static constexpr std::uint32_t BytesPerPixel = 4;
    static constexpr char const* FontFamily = "Open Sans";

    explicit VideoFrameComposer(Parameters Value);
    ~VideoFrameComposer();
    VideoFrameComposer(VideoFrameComposer const&) = delete;
    VideoFrameComposer& operator=(VideoFrameComposer const&) = delete;

    Parameters const& GetParameters() const noexcept { return m_Parameters; }

    // Draws frame Index, presented at Time (100-ns units), into Data; Stride
    // is the distance in bytes between rows, at least Width × 4 and a
    // multiple of 4.
    void Compose(std::int64_t Index, std::int64_t Time, std::uint8_t* Data, std::uint32_t Stride);

private:
    struct Resources;

    Parameters m_Parameters;
    std::unique_ptr<Resources> m_Resources;
};
} // namespace Application
