// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "media/CaptionData.h"
#include "media/EncodedSample.h"
#include "media/VideoEncoderSettings.h"
#include "media/VideoPicture.h"

namespace Application
{
// A video encoder for one run (one segment, one header or one download): put
// in the pictures in presentation order, then drain. Every picture put in
// comes out as one sample; the first sample of the run carries the parameter
// sets in front of its picture (AV1: every key frame's carries the sequence
// header; VP9 has none, its key frames describe the stream), and the first
// picture is an IDR picture (a key frame).
// Decode times lag the pictures put in by the reorder delay, as a decoder
// needs them: no picture is shown before it is decoded. With captions in the
// settings every access unit carries its picture's caption data in an SEI NAL
// unit (CaptionSei) in front of its first slice.
class VideoEncoder
{
public:
    explicit VideoEncoder(VideoEncoderSettings const& Settings);
    virtual ~VideoEncoder();
    VideoEncoder(VideoEncoder const&) = delete;
    VideoEncoder& operator=(VideoEncoder const&) = delete;

    // The H.264, HEVC, AV1 or VP9 encoder the settings ask for.
    static std::unique_ptr<VideoEncoder> Create(VideoEncoderSettings const& Settings);

    VideoEncoderSettings const& Settings() const noexcept { return m_Settings; }
    // The parameter sets in Annex B form: SPS and PPS, or VPS, SPS and PPS.
    // Empty for AV1, whose samples carry the sequence header themselves, and VP9.
    std::vector<std::uint8_t> const& SequenceHeader() const noexcept { return m_SequenceHeader; }
    // How many pictures a B-picture may be presented before the picture
    // decoded just before it: 0 without B-pictures, 1 with them, 2 when
    // B-pictures are references too (pyramid).
    std::uint32_t ReorderDelay() const noexcept { return m_ReorderDelay; }

    // Encodes a picture presented at Time for Duration (100-ns units) and
    // appends the samples that became ready, which may be none yet.
    void Encode(VideoPicture const& Picture, std::int64_t Time, std::int64_t Duration, std::vector<EncodedSample>& Output);
    // Appends the samples still held back for reordering.
    void Drain(std::vector<EncodedSample>& Output);

protected:
    struct CodedPicture
    {
        std::vector<std::uint8_t> Data;
        std::int64_t Pts = 0;
        bool Idr = false;
        std::uint32_t PictureType = 0;
    };

    // Puts Picture in with the encoder time stamp Pts (the count of pictures
    // before it), or with no picture flushes one held back. Returns whether
    // Result holds a coded picture.
    virtual bool EncodePicture(VideoPicture const* Picture, std::int64_t Pts, CodedPicture& Result) = 0;
    // Every picture put in has come out: the encoder may let go of what it holds.
    virtual void Drained() {}

    // InFront: the base puts the header in front of the run's first sample;
    // without it the encoder's own samples carry it.
    void SetSequenceHeader(std::vector<std::uint8_t> Value, bool InFront = true)
    {
        m_SequenceHeader = std::move(Value);
        m_SequenceHeaderInFront = InFront;
    }
    // From the settings the library chose; the same for every run of the
    // same settings, so that the runs of a track agree.
    void SetReorderDelay(std::uint32_t Value) noexcept { m_ReorderDelay = Value; }

private:
    struct PictureTimes
    {
        std::int64_t Time;
        std::int64_t Duration;
    };

    void Deliver(CodedPicture& Coded, std::vector<EncodedSample>& Output);

    VideoEncoderSettings m_Settings;
    std::vector<std::uint8_t> m_SequenceHeader;
    bool m_SequenceHeaderInFront = true;
    std::uint32_t m_ReorderDelay = 0;
    std::int64_t m_InputCount = 0;
    std::int64_t m_OutputCount = 0;
    // Times of the pictures put in and not yet out, by encoder time stamp.
    std::map<std::int64_t, PictureTimes> m_PendingTimes;
    // Presentation times in the order put in, preceded by one frame before
    // the first for each picture of reorder delay: the decode times.
    std::deque<std::int64_t> m_DecodeTimes;
    std::optional<CaptionData> m_Captions;
};
} // namespace Application
