// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <optional>

#include "media/SynchronousTransform.h"
#include "media/VideoEncoder.h"
#include "mf/ICodecApi.h"

namespace Application
{
// The H.264, HEVC, AV1 and VP9 encoder transform over VideoEncoder. The output
// type names the codec (MFVideoFormat_H264, _HEVC, _AV1 or _VP90), frame size,
// rate and average bitrate; the input type is NV12 or I420 of the same size.
// An HEVC or AV1 output type with the PQ or HLG MF_MT_TRANSFER_FUNCTION (and
// BT.2020 MF_MT_VIDEO_PRIMARIES and MF_MT_YUV_MATRIX) makes 10-bit video of
// P010 input.
// Settings come through ICodecApi before the types: rate control mode
// (quality-based, 3, is the one there is), quality, GOP size and B pictures.
// Once both types are set the parameter sets are in the output type's
// MF_MT_MPEG_SEQUENCE_HEADER (empty for AV1 and VP9: see VideoEncoder). Each output carries its presentation and
// decode times, the clean-point flag of IDR pictures and the picture type.
class VideoEncoderTransform final : public SynchronousTransform, public MF::ICodecApi
{
public:
    static constexpr std::uint32_t QualityBasedRateControl = 3;
    static constexpr std::uint32_t MaximalBPictureCount = 16;

    static std::shared_ptr<VideoEncoderTransform> Create();

    // ICodecApi
    void SetValue(MF::AttributeKey const& Key, MF::PropVariant const& Value) override;
    MF::PropVariant GetValue(MF::AttributeKey const& Key) override;

    // Before the types: the caption data every picture carries.
    void SetCaptions(VideoEncoderSettings::CaptionServices Value);

protected:
    void CheckOutputType(MF::MediaType const& Type) override;
    void CheckInputType(MF::MediaType const& Type) override;
    void Configure() override;
    void StartStream() override;
    void Process(MF::Sample& Input) override;
    void Drain() override;

private:
    // The range an output type asks for; other colours are refused.
    static DynamicRange RangeOf(MF::MediaType const& Type);
    // The keys SetValue and GetValue take.
    static bool IsSupported(MF::AttributeKey const& Key);
    void EmitAll(std::vector<EncodedSample>& Encoded);

    std::mutex m_SettingsMutex;
    VideoEncoderSettings m_Settings;
    std::optional<std::uint32_t> m_RateControlMode;
    std::unique_ptr<VideoEncoder> m_Encoder;
    bool m_EncoderUsed = false;
};
} // namespace Application
