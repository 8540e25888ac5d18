// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4ProtectionSignalling.h"

#include <algorithm>

#include "base/Check.h"
#include "mp4/Mp4BoxWriter.h"

namespace Mp4
{
namespace
{
constexpr std::uint32_t SchemeVersion = 0x00010000;
constexpr std::uint8_t CencIvSize = 8;

Bytes16 ToBytes16(std::vector<std::uint8_t> const& Value)
{
    ASSERT(Value.size() == 16);
    Bytes16 Result;
    std::copy(Value.begin(), Value.end(), Result.begin());
    return Result;
}
} // namespace

SgpdBox::SeigEntry ProtectionSignalling::DescribeProtection(ProtectionSettings const& Settings, bool Video, Bytes16 const& KeyId)
{
    SgpdBox::SeigEntry Entry;
    Entry.m_IsProtected = 1;
    Entry.m_Kid = KeyId;
    if(Settings.m_Scheme != ProtectionScheme::Cbcs)
    {
        Entry.m_PerSampleIvSize = CencIvSize;
        return Entry;
    }
    Entry.m_CryptByteBlock = Video ? 1 : 0;
    Entry.m_SkipByteBlock = Video ? 9 : 0;
    Entry.m_PerSampleIvSize = 0;
    Entry.m_ConstantIvSize = 16;
    Entry.m_ConstantIv = ToBytes16(Settings.m_InitializationVector);
    return Entry;
}

void ProtectionSignalling::FillSinf(SinfBox& Sinf, std::uint32_t OriginalFormat, bool Video, ProtectionSettings const& Settings)
{
    bool const Cbcs = Settings.m_Scheme == ProtectionScheme::Cbcs;
    Sinf.SetPresent();
    Sinf.m_FrmaBox.SetPresent();
    Sinf.m_FrmaBox.m_DataFormat = OriginalFormat;
    Sinf.m_SchmBox.SetPresent();
    Sinf.m_SchmBox.m_SchemeType = Cbcs ? MakeFourCc("cbcs") : MakeFourCc("cenc");
    Sinf.m_SchmBox.m_SchemeVersion = SchemeVersion;
    Sinf.m_SchiBox.SetPresent();
    auto const Entry = DescribeProtection(Settings, Video, ToBytes16(Settings.GetDefaultKeyIdentifier()));
    TencBox& Tenc = Sinf.m_SchiBox.m_TencBox;
    Tenc.SetPresent();
    // Version 1 carries the pattern, which only cbcs has.
    Tenc.m_Version = Cbcs ? 1 : 0;
    Tenc.m_DefaultCryptByteBlock = Entry.m_CryptByteBlock;
    Tenc.m_DefaultSkipByteBlock = Entry.m_SkipByteBlock;
    Tenc.m_DefaultIsProtected = Entry.m_IsProtected;
    Tenc.m_DefaultPerSampleIvSize = Entry.m_PerSampleIvSize;
    Tenc.m_DefaultKid = Entry.m_Kid;
    Tenc.m_DefaultConstantIvSize = Entry.m_ConstantIvSize;
    Tenc.m_DefaultConstantIv = Entry.m_ConstantIv;
}

SgpdBox::SeigEntry ProtectionSignalling::MakeSampleGroupEntry(ProtectionSettings const& Settings, bool Video)
{
    ASSERT(Settings.IsActive());
    // Clear samples: no key, no IV, no pattern.
    if(Settings.m_ClearSamples)
        return {};
    return DescribeProtection(Settings, Video, ToBytes16(Settings.m_KeyIdentifier));
}

std::vector<PsshBox> ProtectionSignalling::MakeFragmentPsshBoxes(ProtectionSettings const& Settings)
{
    ASSERT(Settings.IsActive());
    Bytes16 const KeyId = ToBytes16(Settings.m_KeyIdentifier);
    std::vector<PsshBox> Result;
    FillPssh(Result.emplace_back(), CommonSystemId, KeyId, {});
    if(!Settings.m_DataProvider)
        return Result;
    for(auto const& SystemId : {PlayReadySystemId, EdefSystemId})
        if(auto Data = Settings.m_DataProvider(SystemId); !Data.empty())
            FillPssh(Result.emplace_back(), SystemId, KeyId, std::move(Data));
    return Result;
}

void ProtectionSignalling::ProtectSampleEntry(StsdBox& Stsd, ProtectionSettings const& Settings)
{
    ASSERT(Settings.IsActive());
    auto const ProtectVisual = [&](VisualSampleEntryBox& Entry) {
        FillSinf(Entry.m_SinfBox, Entry.m_Type, true, Settings);
        Entry.m_Type = MakeFourCc("encv");
    };
    auto const ProtectAudio = [&](AudioSampleEntryBox& Entry) {
        FillSinf(Entry.m_SinfBox, Entry.m_Type, false, Settings);
        Entry.m_Type = MakeFourCc("enca");
    };
    if(Stsd.m_Avc1Box.IsPresent())
        ProtectVisual(Stsd.m_Avc1Box);
    if(Stsd.m_Hvc1Box.IsPresent())
        ProtectVisual(Stsd.m_Hvc1Box);
    if(Stsd.m_Av01Box.IsPresent())
        ProtectVisual(Stsd.m_Av01Box);
    if(Stsd.m_Vp09Box.IsPresent())
        ProtectVisual(Stsd.m_Vp09Box);
    if(Stsd.m_Mp4aBox.IsPresent())
        ProtectAudio(Stsd.m_Mp4aBox);
    if(Stsd.m_FlacBox.IsPresent())
        ProtectAudio(Stsd.m_FlacBox);
    if(Stsd.m_OpusBox.IsPresent())
        ProtectAudio(Stsd.m_OpusBox);
    if(Stsd.m_Ac3Box.IsPresent())
        ProtectAudio(Stsd.m_Ac3Box);
    if(Stsd.m_Ec3Box.IsPresent())
        ProtectAudio(Stsd.m_Ec3Box);
}

void ProtectionSignalling::AddPsshBoxes(MoovBox& Moov, ProtectionSettings const& Settings)
{
    ASSERT(Settings.IsActive());
    if(!Settings.m_DataProvider)
        return;
    for(auto const& SystemId : {PlayReadySystemId, EdefSystemId})
    {
        auto Data = Settings.m_DataProvider(SystemId);
        if(Data.empty())
            continue;
        FillPssh(Moov.m_PsshBoxList.emplace_back(), SystemId, ToBytes16(Settings.GetDefaultKeyIdentifier()), std::move(Data));
    }
}

std::vector<std::uint8_t> ProtectionSignalling::MakePsshBox(ProtectionSystemId const& SystemId, Bytes16 const& KeyId, std::vector<std::uint8_t> Data)
{
    PsshBox Pssh;
    FillPssh(Pssh, SystemId, KeyId, std::move(Data));
    BoxWriter Writer;
    Pssh.Write(Writer);
    return Writer.TakeData();
}

void ProtectionSignalling::FillPssh(PsshBox& Pssh, ProtectionSystemId const& SystemId, Bytes16 const& KeyId, std::vector<std::uint8_t> Data)
{
    Pssh.SetPresent();
    Pssh.m_Version = 1;
    Pssh.m_SystemId = SystemId;
    Pssh.m_KidVector = {KeyId};
    Pssh.m_Data = std::move(Data);
}
} // namespace Mp4
