// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mp4/Mp4FragmentBoxes.h"
#include "mp4/Mp4ProtectionSettings.h"
#include "mp4/Mp4StructureBoxes.h"

namespace Mp4
{
// What an initialisation segment says about protection: the protected sample
// entry with its scheme information, and the protection systems' data; and
// what a media fragment says where it differs from that.
class ProtectionSignalling
{
public:
    // Turns the present sample entry into encv or enca with a sinf that keeps
    // the original type, names the scheme and carries tenc (with the default key ID).
    static void ProtectSampleEntry(StsdBox& Stsd, ProtectionSettings const& Settings);
    // One version-1 pssh per protection system the provider has data for,
    // naming the default key ID.
    static void AddPsshBoxes(MoovBox& Moov, ProtectionSettings const& Settings);
    // The bytes of the pssh box AddPsshBoxes writes for one system, for a
    // manifest that repeats it.
    static std::vector<std::uint8_t> MakePsshBox(ProtectionSystemId const& SystemId, Bytes16 const& KeyId, std::vector<std::uint8_t> Data);

    // The 'seig' group entry of a fragment's samples: clear ones, or ones
    // under the fragment's own key, laid out as tenc would describe that key.
    static SgpdBox::SeigEntry MakeSampleGroupEntry(ProtectionSettings const& Settings, bool Video);
    // A fragment's pssh boxes for its own key: the common system's, then one
    // per protection system the provider has data for.
    static std::vector<PsshBox> MakeFragmentPsshBoxes(ProtectionSettings const& Settings);

private:
    static void FillPssh(PsshBox& Pssh, ProtectionSystemId const& SystemId, Bytes16 const& KeyId, std::vector<std::uint8_t> Data);
    static void FillSinf(SinfBox& Sinf, std::uint32_t OriginalFormat, bool Video, ProtectionSettings const& Settings);
    // The encryption of the samples under the key named: tenc and seig say
    // the same thing in the same fields.
    static SgpdBox::SeigEntry DescribeProtection(ProtectionSettings const& Settings, bool Video, Bytes16 const& KeyId);
};
} // namespace Mp4
