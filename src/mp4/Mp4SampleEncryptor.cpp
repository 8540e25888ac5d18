// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4SampleEncryptor.h"

#include <algorithm>

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include "base/Check.h"
#include "mp4/Mp4AesCipher.h"
#include "mp4/Mp4ProtectionSignalling.h"

namespace Mp4
{
namespace
{
constexpr unsigned VideoCryptBlocks = 1;
constexpr unsigned VideoSkipBlocks = 9;
// saiz counts a sample's auxiliary information in 8 bits.
constexpr std::size_t MaximalSampleInfoSize = 0xFF;

std::size_t GetSubsampleInfoSize(std::uint8_t IvSize, std::size_t SubsampleCount) noexcept { return IvSize + 2 + 6 * SubsampleCount; }
} // namespace

SampleEncryptor::SampleEncryptor(ProtectionSettings const& Settings) : m_Scheme(Settings.m_Scheme), m_ClearSamples(Settings.m_ClearSamples)
{
    ASSERT(Settings.IsActive());
    std::copy_n(Settings.m_Key.begin(), m_Key.size(), m_Key.begin());
    std::copy_n(Settings.m_InitializationVector.begin(), m_InitializationVector.size(), m_InitializationVector.begin());
    if(Settings.HasSampleGroup())
    {
        m_VideoGroupEntry = ProtectionSignalling::MakeSampleGroupEntry(Settings, true);
        m_AudioGroupEntry = ProtectionSignalling::MakeSampleGroupEntry(Settings, false);
    }
    // Made once: the provider's data is the same for every fragment of the run.
    if(Settings.m_FragmentPssh && !Settings.m_ClearSamples)
        m_PsshBoxList = ProtectionSignalling::MakeFragmentPsshBoxes(Settings);
}

void SampleEncryptor::SignalFragment(MoofBox& Moof, std::optional<SgpdBox::SeigEntry> const& GroupEntry) const
{
    ASSERT(Moof.m_TrafBoxList.size() == 1);
    Moof.m_PsshBoxList = m_PsshBoxList;
    if(!GroupEntry)
        return;
    TrafBox& Traf = Moof.m_TrafBoxList.back();
    // Every sample of the fragment in the one group its own sgpd describes.
    Traf.m_SbgpBox.SetPresent();
    Traf.m_SbgpBox.m_GroupingType = Traf.m_SgpdBox.m_GroupingType;
    Traf.m_SbgpBox.m_EntryVector = {{static_cast<std::uint32_t>(Traf.m_TrunBox.m_SampleVector.size()), SbgpBox::FragmentLocalIndexBase + 1}};
    Traf.m_SgpdBox.SetPresent();
    Traf.m_SgpdBox.m_EntryVector = {*GroupEntry};
}

std::array<std::uint8_t, SampleEncryptor::CencIvSize> SampleEncryptor::DeriveSampleIv(std::span<std::uint8_t const> Sample) const
{
    std::array<std::uint8_t, 32> HashKey;
    std::copy(m_Key.begin(), m_Key.end(), HashKey.begin());
    std::copy(m_InitializationVector.begin(), m_InitializationVector.end(), HashKey.begin() + 16);
    std::array<std::uint8_t, EVP_MAX_MD_SIZE> Digest;
    unsigned DigestSize = 0;
    CHECK_POINTER(HMAC(EVP_sha256(), HashKey.data(), static_cast<int>(HashKey.size()), Sample.data(), Sample.size(), Digest.data(), &DigestSize));
    CHECK_LINE(DigestSize >= CencIvSize);
    std::array<std::uint8_t, CencIvSize> Iv;
    std::copy_n(Digest.begin(), Iv.size(), Iv.begin());
    return Iv;
}

void SampleEncryptor::EncryptCounterMode(std::span<std::uint8_t> Sample, std::vector<ProtectedRange> const& Ranges, SencBox::Sample& Entry) const
{
    auto const Iv = DeriveSampleIv(Sample);
    Entry.m_InitializationVector.assign(Iv.begin(), Iv.end());
    Bytes16 CounterBlock{};
    std::copy(Iv.begin(), Iv.end(), CounterBlock.begin());
    AesCipher Cipher = AesCipher::CounterMode(m_Key, CounterBlock);
    for(auto const& Range : Ranges)
        Cipher.Encrypt(Sample.subspan(Range.m_Offset, Range.m_Length));
}

void SampleEncryptor::EncryptVideoSample(VideoCodec Codec, std::span<std::uint8_t> Sample, MoofBox& Moof, std::uint32_t FrameWidth,
                                         std::span<ProtectedRange const> Av1Tiles) const
{
    SignalFragment(Moof, m_VideoGroupEntry);
    if(m_ClearSamples)
        return;
    TrafBox& Traf = Moof.m_TrafBoxList.back();
    bool const Cenc = m_Scheme == ProtectionScheme::Cenc;
    std::uint8_t const IvSize = Cenc ? CencIvSize : 0;
    auto Ranges = SubsampleLayout::FindProtectedRanges(Codec, m_Scheme, Sample, FrameWidth, Av1Tiles);
    auto Subsamples = SubsampleLayout::MakeSubsamples(Ranges, Sample.size());
    // Past what saiz can count, the last slices (or tiles) of the picture stay clear.
    while(GetSubsampleInfoSize(IvSize, Subsamples.size()) > MaximalSampleInfoSize)
    {
        Ranges.pop_back();
        Subsamples = SubsampleLayout::MakeSubsamples(Ranges, Sample.size());
    }

    SencBox& Senc = Traf.m_SencBox;
    Senc.SetPresent();
    Senc.m_Flags = SencBox::UseSubsampleEncryption;
    Senc.m_PerSampleIvSize = IvSize;
    SencBox::Sample& Entry = Senc.m_SampleVector.emplace_back();
    Entry.m_SubsampleVector = std::move(Subsamples);
    if(Cenc)
        EncryptCounterMode(Sample, Ranges, Entry);
    else
        for(auto const& Range : Ranges)
            AesCipher::EncryptPattern(m_Key, m_InitializationVector, Sample.subspan(Range.m_Offset, Range.m_Length), VideoCryptBlocks, VideoSkipBlocks);

    Traf.m_SaizBox.SetPresent();
    Traf.m_SaizBox.m_DefaultSampleInfoSize = static_cast<std::uint8_t>(Senc.GetSampleInfoSize(Entry));
    Traf.m_SaizBox.m_SampleCount = static_cast<std::uint32_t>(Senc.m_SampleVector.size());
    Traf.m_SaioBox.SetPresent();
    Traf.m_SaioBox.m_OffsetVector = {0};
}

void SampleEncryptor::EncryptAudioSample(std::span<std::uint8_t> Sample, MoofBox& Moof) const
{
    SignalFragment(Moof, m_AudioGroupEntry);
    if(m_ClearSamples)
        return;
    TrafBox& Traf = Moof.m_TrafBoxList.back();
    SencBox& Senc = Traf.m_SencBox;
    Senc.SetPresent();
    Senc.m_Flags = 0;
    SencBox::Sample& Entry = Senc.m_SampleVector.emplace_back();
    if(m_Scheme == ProtectionScheme::Cenc)
    {
        Senc.m_PerSampleIvSize = CencIvSize;
        EncryptCounterMode(Sample, {ProtectedRange{0, Sample.size()}}, Entry);
        return;
    }
    // Whole blocks in CBC from the constant IV; the trailing partial block stays clear.
    Senc.m_PerSampleIvSize = 0;
    AesCipher::EncryptPattern(m_Key, m_InitializationVector, Sample, 0, 0);
}

void SampleEncryptor::SetAuxiliaryInformationOffset(MoofBox& Moof, std::size_t MoofSize)
{
    ASSERT(Moof.m_TrafBoxList.size() == 1);
    TrafBox& Traf = Moof.m_TrafBoxList.back();
    if(!Traf.m_SaioBox.IsPresent())
        return;
    SencBox const& Senc = Traf.m_SencBox;
    ASSERT(Senc.IsPresent() && Senc.m_SampleVector.size() == 1);
    std::size_t const InfoSize = Senc.GetSampleInfoSize(Senc.m_SampleVector.front());
    ASSERT(MoofSize >= InfoSize);
    Traf.m_SaioBox.m_OffsetVector = {MoofSize - InfoSize};
}
} // namespace Mp4
