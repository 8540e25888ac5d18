// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <vector>

#include "media/VideoEncoder.h"

struct x265_api;
struct x265_encoder;
struct x265_param;

namespace Application
{
// HEVC over libx265: Main profile, quality-based rate control (constant rate
// factor at the quantiser the quality maps to), IDR pictures exactly every
// GopSize pictures, closed GOPs, BT.601 limited range signalled in the VUI.
// With PQ or HLG: Main10 from the library's 10-bit build, BT.2020 and the
// transfer in the VUI, and with PQ the mastering display and content light
// level SEI messages (HdrStaticMetadata) in front of each IDR picture.
// libx265 takes planar pictures only: NV12 and P010 are repacked first.
class HevcEncoder final : public VideoEncoder
{
public:
    // Chosen for speed: segments are made on demand, while a player waits.
    static constexpr char const* Preset = "ultrafast";

    explicit HevcEncoder(VideoEncoderSettings const& Settings);
    ~HevcEncoder() override;

protected:
    bool EncodePicture(VideoPicture const* Picture, std::int64_t Pts, CodedPicture& Result) override;

private:
    void SetColours(x265_param& Value);

    x265_api const* m_Api = nullptr;
    x265_param* m_Parameters = nullptr;
    x265_encoder* m_Encoder = nullptr;
    std::string m_Pools;
    std::string m_MasteringDisplay;
    std::vector<std::uint8_t> m_RepackBuffer;
};
} // namespace Application
