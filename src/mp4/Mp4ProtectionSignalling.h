// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mp4/Mp4ProtectionSettings.h"
#include "mp4/Mp4StructureBoxes.h"

namespace Mp4
{
// What an initialisation segment says about protection: the protected sample
// entry with its scheme information, and the protection systems' data.
class ProtectionSignalling
{
public:
    // Turns the present sample entry into encv or enca with a sinf that keeps
    // the original type, names the scheme and carries tenc.
    static void ProtectSampleEntry(StsdBox& Stsd, ProtectionSettings const& Settings);
    // One version-1 pssh per protection system the provider has data for.
    static void AddPsshBoxes(MoovBox& Moov, ProtectionSettings const& Settings);
    // The bytes of the pssh box AddPsshBoxes writes for one system, for a
    // manifest that repeats it.
    static std::vector<std::uint8_t> MakePsshBox(ProtectionSystemId const& SystemId, Bytes16 const& KeyId, std::vector<std::uint8_t> Data);

private:
    static void FillPssh(PsshBox& Pssh, ProtectionSystemId const& SystemId, Bytes16 const& KeyId, std::vector<std::uint8_t> Data);
    static void FillSinf(SinfBox& Sinf, std::uint32_t OriginalFormat, bool Video, ProtectionSettings const& Settings);
};
} // namespace Mp4
