// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/Scte35Section.h"

#include <array>

#include "base/Check.h"
#include "base/MulDiv.h"
#include "mp4/Mp4Box.h"
#include "mp4/Mp4BoxWriter.h"
#include "mp4/Mp4HexText.h"
#include "presentation/Base64.h"

namespace Application
{
namespace
{
constexpr std::int64_t PtsClock = 90'000;
constexpr std::uint64_t PtsModulus = std::uint64_t{1} << 33;
// Tier 0xFFF: the cue is for every receiver, not an authorised group.
constexpr std::uint32_t AllTiers = 0xFFF;
// section_length and splice_command_length are 12-bit fields; a section is
// at most 4096 bytes in all.
constexpr std::size_t LargestLength = 0xFFF;
constexpr std::uint8_t SegmentationDescriptorTag = 0x02;
constexpr std::uint32_t CueIdentifier = Mp4::MakeFourCc("CUEI");

constexpr std::array<std::uint32_t, 256> Crc32Table = [] {
    std::array<std::uint32_t, 256> Table{};
    for(std::uint32_t Index = 0; Index < 256; ++Index)
    {
        std::uint32_t Value = Index << 24;
        for(int Bit = 0; Bit < 8; ++Bit)
            Value = Value & 0x80000000u ? Value << 1 ^ 0x04C11DB7u : Value << 1;
        Table[Index] = Value;
    }
    return Table;
}();

// A duration on the 90 kHz clock within a field of Bits bits.
std::uint64_t ToClockDuration(std::int64_t Duration, unsigned Bits)
{
    CHECK_ARGUMENT(Duration >= 0);
    std::int64_t const Ticks = MulDivRound(Duration, PtsClock, TimeUnitsPerSecond);
    CHECK_ARGUMENT(static_cast<std::uint64_t>(Ticks) < std::uint64_t{1} << Bits);
    return static_cast<std::uint64_t>(Ticks);
}

// A 33-bit value behind the seven bits that lead its five bytes.
void AppendU33(Mp4::BoxWriter& Writer, std::uint8_t Lead, std::uint64_t Value)
{
    Writer.AppendU8(static_cast<std::uint8_t>(Lead | Value >> 32));
    Writer.AppendU32(static_cast<std::uint32_t>(Value));
}

// splice_time(): always specified, so that each cue names its splice point
// rather than "as soon as possible" (reserved bits are ones).
void AppendSpliceTime(Mp4::BoxWriter& Writer, std::int64_t MediaTime) { AppendU33(Writer, 0x80 | 0x7E, Scte35Section::ToPts(MediaTime)); }

std::vector<std::uint8_t> WriteSection(std::uint8_t CommandType, std::span<std::uint8_t const> Command, std::span<std::uint8_t const> Descriptors)
{
    // From protocol_version to the CRC: the fixed fields are 11 bytes, the
    // lengths 2, the CRC 4.
    std::size_t const SectionLength = 11 + Command.size() + 2 + Descriptors.size() + 4;
    ASSERT(Command.size() <= LargestLength && SectionLength <= LargestLength - 2);
    Mp4::BoxWriter Writer;
    Writer.Reserve(3 + SectionLength);
    Writer.AppendU8(Scte35Section::TableId);
    // section_syntax_indicator 0, private_indicator 0, sap_type 3 (not
    // specified), section_length.
    Writer.AppendU16(static_cast<std::uint16_t>(0x3000 | SectionLength));
    Writer.AppendU8(0); // protocol_version
    // encrypted_packet 0, encryption_algorithm 0, pts_adjustment 0.
    AppendU33(Writer, 0, 0);
    Writer.AppendU8(0); // cw_index
    Writer.AppendU24(AllTiers << 12 | static_cast<std::uint32_t>(Command.size()));
    Writer.AppendU8(CommandType);
    Writer.AppendBytes(Command);
    Writer.AppendU16(static_cast<std::uint16_t>(Descriptors.size()));
    Writer.AppendBytes(Descriptors);
    Writer.AppendU32(Scte35Section::ComputeCrc32(Writer.GetData()));
    return Writer.TakeData();
}
} // namespace

std::uint32_t Scte35Section::ComputeCrc32(std::span<std::uint8_t const> Bytes) noexcept
{
    std::uint32_t Crc = 0xFFFFFFFFu;
    for(auto const Byte : Bytes)
        Crc = Crc << 8 ^ Crc32Table[(Crc >> 24 ^ Byte) & 0xFF];
    return Crc;
}

std::uint64_t Scte35Section::ToPts(std::int64_t MediaTime) noexcept
{
    // The modulus is a power of two, so the cast's two's complement wrap of a
    // negative time agrees with the floor modulo.
    return static_cast<std::uint64_t>(MulDivRound(MediaTime, PtsClock, TimeUnitsPerSecond)) % PtsModulus;
}

std::vector<std::uint8_t> Scte35Section::WriteSpliceInsert(SpliceInsert const& Value)
{
    Mp4::BoxWriter Command;
    Command.AppendU32(Value.SpliceEventId);
    Command.AppendU8(0x7F); // splice_event_cancel_indicator 0
    // out_of_network_indicator, program_splice_flag 1, duration_flag,
    // splice_immediate_flag 0, then event_id_compliance_flag 1 (the event ID
    // names one break alone) and the reserved bits.
    bool const HasDuration = Value.BreakDuration.has_value();
    Command.AppendU8(static_cast<std::uint8_t>((Value.OutOfNetwork ? 0x80 : 0) | 0x40 | (HasDuration ? 0x20 : 0) | 0x0F));
    AppendSpliceTime(Command, Value.SpliceTime);
    if(HasDuration)
        AppendU33(Command, 0x80 | 0x7E, ToClockDuration(*Value.BreakDuration, 33)); // auto_return 1
    Command.AppendU16(Value.UniqueProgramId);
    Command.AppendU8(Value.AvailNumber);
    Command.AppendU8(Value.AvailsExpected);
    return WriteSection(SpliceInsertCommand, Command.GetData(), {});
}

std::vector<std::uint8_t> Scte35Section::WriteTimeSignal(TimeSignal const& Value)
{
    Mp4::BoxWriter Command;
    AppendSpliceTime(Command, Value.SpliceTime);

    std::uint8_t const TypeId = Value.Start ? ProviderPlacementOpportunityStart : ProviderPlacementOpportunityEnd;
    bool const HasDuration = Value.SegmentationDuration.has_value();
    Mp4::BoxWriter Body; // what follows descriptor_length
    Body.AppendU32(CueIdentifier);
    Body.AppendU32(Value.SegmentationEventId);
    // segmentation_event_cancel_indicator 0, segmentation_event_id_compliance_indicator 1.
    Body.AppendU8(0x7F);
    // program_segmentation_flag 1, segmentation_duration_flag,
    // delivery_not_restricted_flag 1 (no restriction flags follow).
    Body.AppendU8(static_cast<std::uint8_t>(0x80 | (HasDuration ? 0x40 : 0) | 0x20 | 0x1F));
    if(HasDuration)
    {
        std::uint64_t const Ticks = ToClockDuration(*Value.SegmentationDuration, 40);
        Body.AppendU8(static_cast<std::uint8_t>(Ticks >> 32));
        Body.AppendU32(static_cast<std::uint32_t>(Ticks));
    }
    // No UPID: the segmentation event ID already tells the breaks apart.
    Body.AppendU8(0x00); // segmentation_upid_type: not used
    Body.AppendU8(0);    // segmentation_upid_length
    Body.AppendU8(TypeId);
    Body.AppendU8(0); // segment_num
    Body.AppendU8(0); // segments_expected
    if(TypeId == ProviderPlacementOpportunityStart)
    {
        // A placement opportunity start carries sub-segment numbering; none here.
        Body.AppendU8(0); // sub_segment_num
        Body.AppendU8(0); // sub_segments_expected
    }

    Mp4::BoxWriter Descriptors;
    Descriptors.AppendU8(SegmentationDescriptorTag);
    Descriptors.AppendU8(static_cast<std::uint8_t>(Body.GetSize()));
    Descriptors.AppendBytes(Body.GetData());
    return WriteSection(TimeSignalCommand, Command.GetData(), Descriptors.GetData());
}

std::string Scte35Section::FormatHex(std::span<std::uint8_t const> Section) { return "0x" + Mp4::FormatHexText(Section); }

std::string Scte35Section::FormatBase64(std::span<std::uint8_t const> Section) { return EncodeBase64(Section); }
} // namespace Application
