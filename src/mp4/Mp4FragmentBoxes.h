// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <list>
#include <span>

#include "mp4/Mp4Box.h"
#include "mp4/Mp4ProtectionBoxes.h"

// The boxes of a media fragment: moof with its track fragments, and mdat.
// GetSize gives the bytes a box writes (0 when absent) without writing them:
// the moof's size fixes the data offsets inside it.
namespace Mp4
{
struct MfhdBox : FullBox
{
    MfhdBox() noexcept : FullBox(MakeFourCc("mfhd")) { }
    void Write(BoxWriter& Writer) const;
    std::size_t GetSize() const noexcept;

    std::uint32_t m_SequenceNumber = 0;
};

struct TfhdBox : FullBox
{
    static constexpr std::uint32_t BaseDataOffsetPresent = 0x000001;
    static constexpr std::uint32_t SampleDescriptionIndexPresent = 0x000002;
    static constexpr std::uint32_t DefaultSampleDurationPresent = 0x000008;
    static constexpr std::uint32_t DefaultSampleSizePresent = 0x000010;
    static constexpr std::uint32_t DefaultSampleFlagsPresent = 0x000020;
    static constexpr std::uint32_t DefaultBaseIsMoof = 0x020000;

    TfhdBox() noexcept : FullBox(MakeFourCc("tfhd")) { }
    void Write(BoxWriter& Writer) const;
    std::size_t GetSize() const noexcept;

    std::uint32_t m_TrackId = 0;
    std::uint64_t m_BaseDataOffset = 0;
    std::uint32_t m_SampleDescriptionIndex = 0;
    std::uint32_t m_DefaultSampleDuration = 0;
    std::uint32_t m_DefaultSampleSize = 0;
    std::uint32_t m_DefaultSampleFlags = 0;
};

struct TfdtBox : FullBox
{
    TfdtBox() noexcept : FullBox(MakeFourCc("tfdt")) { }
    void Write(BoxWriter& Writer) const;
    std::size_t GetSize() const noexcept;

    std::uint64_t m_BaseMediaDecodeTime = 0; // 32 bits in version 0
};

struct TrunBox : FullBox
{
    static constexpr std::uint32_t DataOffsetPresent = 0x000001;
    static constexpr std::uint32_t FirstSampleFlagsPresent = 0x000004;
    static constexpr std::uint32_t SampleDurationPresent = 0x000100;
    static constexpr std::uint32_t SampleSizePresent = 0x000200;
    static constexpr std::uint32_t SampleFlagsPresent = 0x000400;
    static constexpr std::uint32_t SampleCompositionTimeOffsetPresent = 0x000800;

    struct Sample
    {
        std::uint32_t m_Duration = 0;
        std::uint32_t m_Size = 0;
        std::uint32_t m_Flags = 0;
        // Unsigned 32 bits in version 0, signed 32 bits in version 1.
        std::int64_t m_CompositionTimeOffset = 0;
    };

    TrunBox() noexcept : FullBox(MakeFourCc("trun")) { }
    void Write(BoxWriter& Writer) const;
    std::size_t GetSize() const noexcept;

    std::int32_t m_DataOffset = 0;
    std::uint32_t m_FirstSampleFlags = 0;
    std::vector<Sample> m_SampleVector;
};

struct SaizBox : FullBox
{
    SaizBox() noexcept : FullBox(MakeFourCc("saiz")) { }
    void Write(BoxWriter& Writer) const;
    std::size_t GetSize() const noexcept;

    std::uint32_t m_AuxInfoType = 0; // written when flags & 1
    std::uint32_t m_AuxInfoTypeParameter = 0;
    std::uint8_t m_DefaultSampleInfoSize = 0;
    std::uint32_t m_SampleCount = 0;
    std::vector<std::uint8_t> m_SampleVector; // sizes, when there is no default
};

struct SaioBox : FullBox
{
    SaioBox() noexcept : FullBox(MakeFourCc("saio")) { }
    void Write(BoxWriter& Writer) const;
    std::size_t GetSize() const noexcept;

    std::uint32_t m_AuxInfoType = 0; // written when flags & 1
    std::uint32_t m_AuxInfoTypeParameter = 0;
    std::vector<std::uint64_t> m_OffsetVector; // 32 bits each in version 0
};

struct SencBox : FullBox
{
    static constexpr std::uint32_t UseSubsampleEncryption = 0x000002;

    struct Subsample
    {
        std::uint16_t m_BytesOfClearData = 0;
        std::uint32_t m_BytesOfProtectedData = 0;
        bool operator==(Subsample const&) const = default;
    };
    struct Sample
    {
        std::vector<std::uint8_t> m_InitializationVector;
        std::vector<Subsample> m_SubsampleVector;
    };

    SencBox() noexcept : FullBox(MakeFourCc("senc")) { }
    void Write(BoxWriter& Writer) const;
    std::size_t GetSize() const noexcept;
    // The size of one sample's auxiliary information, as saiz announces it.
    std::size_t GetSampleInfoSize(Sample const& Value) const noexcept;

    std::uint8_t m_PerSampleIvSize = 0;
    std::vector<Sample> m_SampleVector;
};

// Sample to group: runs of samples and the group description each belongs to.
struct SbgpBox : FullBox
{
    // A group_description_index above this counts from 1 in the sgpd of the
    // same track fragment, not in the track's sample table.
    static constexpr std::uint32_t FragmentLocalIndexBase = 0x10000;

    struct Entry
    {
        std::uint32_t m_SampleCount = 0;
        std::uint32_t m_GroupDescriptionIndex = 0; // 0: no group
    };

    SbgpBox() noexcept : FullBox(MakeFourCc("sbgp")) { }
    void Write(BoxWriter& Writer) const;
    std::size_t GetSize() const noexcept;

    std::uint32_t m_GroupingType = 0;
    std::vector<Entry> m_EntryVector;
};

// Sample group description of the grouping type 'seig' (ISO/IEC 23001-7):
// the encryption of a group of samples where it differs from tenc. Written
// as version 1, with a default length when every entry has the same size.
struct SgpdBox : FullBox
{
    struct SeigEntry
    {
        std::uint8_t m_CryptByteBlock = 0;
        std::uint8_t m_SkipByteBlock = 0;
        std::uint8_t m_IsProtected = 0;
        std::uint8_t m_PerSampleIvSize = 0;
        Bytes16 m_Kid{};
        // Written only for protected samples without per-sample IVs.
        std::uint8_t m_ConstantIvSize = 0;
        Bytes16 m_ConstantIv{};

        bool HasConstantIv() const noexcept { return m_IsProtected && m_PerSampleIvSize == 0; }
        std::size_t GetSize() const noexcept { return 20 + (HasConstantIv() ? 1 + m_ConstantIvSize : 0); }
    };

    SgpdBox() noexcept : FullBox(MakeFourCc("sgpd"), 1) { }
    void Write(BoxWriter& Writer) const;
    std::size_t GetSize() const noexcept;

    std::uint32_t m_GroupingType = MakeFourCc("seig");
    std::vector<SeigEntry> m_EntryVector;

private:
    std::uint32_t GetDefaultLength() const noexcept;
};

struct TrafBox : Box
{
    TrafBox() noexcept : Box(MakeFourCc("traf")) { }
    void Write(BoxWriter& Writer) const;
    std::size_t GetSize() const noexcept;

    TfhdBox m_TfhdBox;
    TfdtBox m_TfdtBox;
    TrunBox m_TrunBox;
    SbgpBox m_RollSbgpBox; // Opus: the samples' roll group
    SbgpBox m_SbgpBox;
    SgpdBox m_SgpdBox;
    SaizBox m_SaizBox;
    SaioBox m_SaioBox;
    SencBox m_SencBox;
};

struct MoofBox : Box
{
    MoofBox() noexcept : Box(MakeFourCc("moof")) { }
    void Write(BoxWriter& Writer) const;
    std::size_t GetSize() const noexcept;

    MfhdBox m_MfhdBox;
    // Protection systems' data for this fragment (its key), before the track fragments.
    std::vector<PsshBox> m_PsshBoxList;
    std::list<TrafBox> m_TrafBoxList;
};

// Media data. The ranges are referenced, not owned, until the box is written,
// so the payload is copied once, into the output.
struct MdatBox : Box
{
    MdatBox() noexcept : Box(MakeFourCc("mdat")) { }
    void Write(BoxWriter& Writer) const;

    std::vector<std::span<std::uint8_t const>> m_RangeVector;
};
} // namespace Mp4
