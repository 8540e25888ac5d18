// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/CaptionSei.h"

#include <algorithm>

#include "base/Check.h"
#include "mp4/Mp4NalUnit.h"

namespace Application
{
namespace
{
constexpr std::uint8_t H264SeiHeader = 6;
// forbidden_zero_bit, nal_unit_type 39 (prefix SEI), nuh_layer_id 0, nuh_temporal_id_plus1 1.
constexpr std::uint8_t HevcSeiHeader[]{39 << 1, 1};
constexpr std::uint8_t UserDataRegisteredItuTT35 = 4;
constexpr std::uint8_t T35Header[]{0xB5, 0x00, 0x31, 'G', 'A', '9', '4', 0x03};
constexpr std::uint8_t RbspTrailingBits = 0x80;

bool IsSlice(VideoEncoderSettings::Codec Codec, Mp4::NalUnitSpan Unit) noexcept
{
    if(Codec == VideoEncoderSettings::Codec::H264)
    {
        auto const Type = Mp4::GetH264NalUnitType(Unit);
        return Type >= 1 && Type <= 5;
    }
    // HEVC: every type below 32 is a VCL NAL unit.
    return !Unit.empty() && Mp4::GetHevcNalUnitType(Unit) < 32;
}
} // namespace

std::vector<std::uint8_t> CaptionSei::NalUnit(VideoEncoderSettings::Codec Codec, std::span<std::uint8_t const> CcData)
{
    std::vector<std::uint8_t> Rbsp{UserDataRegisteredItuTT35};
    std::size_t Size = std::size(T35Header) + CcData.size();
    for(; Size >= 255; Size -= 255)
        Rbsp.push_back(0xFF);
    Rbsp.push_back(static_cast<std::uint8_t>(Size));
    for(std::uint8_t Byte : T35Header)
        Rbsp.push_back(Byte);
    for(std::uint8_t Byte : CcData)
        Rbsp.push_back(Byte);
    Rbsp.push_back(RbspTrailingBits);

    std::vector<std::uint8_t> Unit = Codec == VideoEncoderSettings::Codec::H264 ? std::vector<std::uint8_t>{H264SeiHeader}
                                                                                 : std::vector<std::uint8_t>{HevcSeiHeader[0], HevcSeiHeader[1]};
    // No 00 00 0x (x <= 3) may appear inside a NAL unit: 00 00 03 escapes it.
    std::size_t Zeros = 0;
    for(std::uint8_t Byte : Rbsp)
    {
        if(Zeros >= 2 && Byte <= 3)
        {
            Unit.push_back(3);
            Zeros = 0;
        }
        Unit.push_back(Byte);
        Zeros = Byte == 0 ? Zeros + 1 : 0;
    }
    return Unit;
}

void CaptionSei::Insert(VideoEncoderSettings::Codec Codec, std::vector<std::uint8_t>& AccessUnit, std::span<std::uint8_t const> NalUnit)
{
    auto const Units = Mp4::SplitAnnexB(AccessUnit);
    auto const Slice = std::find_if(Units.begin(), Units.end(), [Codec](Mp4::NalUnitSpan Unit) { return IsSlice(Codec, Unit); });
    CHECK_LINE(Slice != Units.end());
    // Before the slice's start code, and before the zero that makes it four bytes long.
    auto Position = static_cast<std::size_t>(Slice->data() - AccessUnit.data()) - 3;
    if(Position > 0 && AccessUnit[Position - 1] == 0)
        --Position;
    std::vector<std::uint8_t> Inserted{0, 0, 0, 1};
    Inserted.insert(Inserted.end(), NalUnit.begin(), NalUnit.end());
    AccessUnit.insert(AccessUnit.begin() + static_cast<std::ptrdiff_t>(Position), Inserted.begin(), Inserted.end());
}
} // namespace Application
