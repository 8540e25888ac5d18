// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4ColourDescription.h"

#include "base/Check.h"
#include "mf/AttributeKeys.h"
#include "mf/MediaType.h"

namespace Mp4
{
std::optional<ColourDescription> ColourDescription::FromMediaType(MF::MediaType const& Type)
{
    auto const Transfer = Type.FindItem(MF::MF_MT_TRANSFER_FUNCTION);
    if(!Transfer)
        return std::nullopt;
    // The platform's enumerations number the same things differently; only
    // the wide-gamut values the encoders make are known here.
    CHECK_CONDITION(Transfer->GetUInt32() == MF::MFVideoTransFunc_2084 || Transfer->GetUInt32() == MF::MFVideoTransFunc_HLG, E_NOTIMPL);
    CHECK_CONDITION(Type.GetUINT32(MF::MF_MT_VIDEO_PRIMARIES, 0) == MF::MFVideoPrimaries_BT2020, E_NOTIMPL);
    CHECK_CONDITION(Type.GetUINT32(MF::MF_MT_YUV_MATRIX, 0) == MF::MFVideoTransferMatrix_BT2020_10, E_NOTIMPL);
    ColourDescription Result;
    Result.m_Primaries = PrimariesBt2020;
    Result.m_Transfer = Transfer->GetUInt32() == MF::MFVideoTransFunc_2084 ? TransferPq : TransferHlg;
    Result.m_Matrix = MatrixBt2020NonConstant;
    return Result;
}
} // namespace Mp4
