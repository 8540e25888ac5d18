// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "media/AdvertIdentity.h"
#include "media/BreakNotice.h"
#include "media/ChangeNotice.h"
#include "media/SegmentSession.h"
#include "media/VideoEncoderSettings.h"
#include "media/VideoSessionContext.h"
#include "media/VideoVariant.h"

namespace Application
{
// A segment of one video variant: the synthetic picture, the conversion to
// NV12, the H.264, HEVC, AV1 or VP9 encoder and the fragmented MP4 sink. A header run
// makes 50 ms and keeps the initialisation segment; a body run makes
// segment Index, exactly the frames presented in [Index×D, (Index+1)×D), the
// first one an IDR picture. With the raw flag the encoded pictures are
// written as they are, one write each (Annex B), without a container.
class VideoSession final : public SegmentSession
{
public:
    // The quality-based rate control every variant is encoded with.
    static constexpr std::uint32_t Quality = 70;
    static constexpr std::uint32_t GopSize = 25;
    static constexpr std::uint32_t BPictureCount = 4;
    // The most ad breaks one segment is told of.
    static constexpr std::size_t MaximalBreakNotices = 64;

    // Index absent: the header.
    VideoSession(VideoSessionContext const& Context, VideoVariant Variant, std::optional<std::uint32_t> Index = std::nullopt);

    // Before Run: the box colour (0x00RRGGBB) instead of the variant's, the
    // base live time that makes the picture's time text the wall clock, the
    // frame code naming this asset number and the variant, and the raw output.
    void SetBackgroundColor(std::uint32_t Value) { m_BackgroundColor = Value; }
    void SetBaseLiveTime(std::int64_t Value) { m_BaseLiveTime = Value; }
    void SetFrameCode(std::uint32_t Asset) { m_FrameCodeAsset = Asset; }
    void SetSurround() { m_Surround = true; }
    void SetRaw(bool Value) { m_RawOutput = Value; }
    // A key frame every Frames pictures instead of every GopSize (the
    // low-latency parts of a row each begin with one).
    void SetKeyFrameInterval(std::uint32_t Frames) { m_KeyFrameInterval = Frames; }
    // Caption data (CEA-608, and 708) in every picture.
    void SetCaptions(VideoEncoderSettings::CaptionServices Value) { m_Captions = Value; }
    // The ad breaks whose countdown or duration overlaps this segment, in
    // the variant's media time: each picture counts down to the break ahead
    // or through the one it is in (BreakMoment). Numbers from 1, starts not
    // before 0, durations above 0, at most MaximalBreakNotices.
    void SetBreakNotices(std::vector<BreakNotice> Notices);
    // The pictures of ad Number of Count (1 <= Number <= Count).
    void SetAdvert(std::uint32_t Number, std::uint32_t Count);
    // The change epoch of this segment: each picture shows the notice's text
    // on a line of its own below the format line (after the ad's or the
    // break's line where those are shown), and its frame code names the
    // epoch. Text: printable ASCII, at most ChangeNotice::MaximalTextLength
    // characters.
    void SetChangeNotice(ChangeNotice Notice);

private:
    Chain BuildChain(MediaSessionHelper& Helper) override;
    std::unique_lock<std::mutex> AdmitRun() override;
    std::shared_ptr<MF::ITransform> CreateEncoder() const;

    VideoSessionContext const& m_Context;
    VideoVariant const m_Variant;
    std::optional<std::uint32_t> const m_Index;
    std::optional<std::uint32_t> m_BackgroundColor;
    std::optional<std::int64_t> m_BaseLiveTime;
    std::optional<std::uint32_t> m_FrameCodeAsset;
    bool m_Surround = false;
    bool m_RawOutput = false;
    std::uint32_t m_KeyFrameInterval = GopSize;
    VideoEncoderSettings::CaptionServices m_Captions = VideoEncoderSettings::CaptionServices::None;
    std::vector<BreakNotice> m_BreakNotices;
    std::optional<AdvertIdentity> m_Advert;
    std::optional<ChangeNotice> m_ChangeNotice;
};
} // namespace Application
