// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>

namespace MF
{
class MediaType;
}

namespace Mp4
{
// A stream's colours as code points of ISO/IEC 23091-2 (the values of the
// H.273 tables, which the HEVC VUI, the AV1 sequence header and the colr box
// share).
struct ColourDescription
{
    static constexpr std::uint8_t PrimariesBt2020 = 9;
    static constexpr std::uint8_t TransferPq = 16;
    static constexpr std::uint8_t TransferHlg = 18;
    static constexpr std::uint8_t MatrixBt2020NonConstant = 9;

    std::uint8_t m_Primaries = 2; // unspecified
    std::uint8_t m_Transfer = 2;
    std::uint8_t m_Matrix = 2;
    bool m_FullRange = false;

    // What the type's MF_MT_VIDEO_PRIMARIES, MF_MT_TRANSFER_FUNCTION and
    // MF_MT_YUV_MATRIX say, or nothing for a type without them (the BT.601
    // streams, whose sample entries stay as they always were).
    static std::optional<ColourDescription> FromMediaType(MF::MediaType const& Type);
    bool IsPerceptualQuantizer() const noexcept { return m_Transfer == TransferPq; }
};
} // namespace Mp4
