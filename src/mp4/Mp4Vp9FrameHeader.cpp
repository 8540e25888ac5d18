// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4Vp9FrameHeader.h"

#include "base/Check.h"
#include "mp4/Mp4RbspBitReader.h"

namespace Mp4
{
namespace
{
constexpr std::uint32_t FrameMarker = 2;
constexpr std::uint32_t SyncCode = 0x498342;
constexpr unsigned ReferencesPerFrame = 3;
constexpr unsigned SegmentCount = 8;
constexpr unsigned SegmentTreeProbabilities = 7;
constexpr unsigned PredictionProbabilities = 3;
// Per segment feature (quantiser, loop filter, reference, skip): its bits and whether a sign follows.
constexpr unsigned SegmentFeatureBits[] = {8, 6, 2, 0};
constexpr bool SegmentFeatureSigned[] = {true, true, false, false};
// Tile columns are between 4 and 64 superblocks of 64 pixels wide.
constexpr std::uint32_t MinimalTileWidth = 4;
constexpr std::uint32_t MaximalTileWidth = 64;
constexpr std::size_t TileSizeBytes = 4;

void ReadSyncCode(RbspBitReader& Reader)
{
    CHECK_ARGUMENT(Reader.ReadBits(24) == SyncCode);
}

void ReadColorConfig(RbspBitReader& Reader, Vp9FrameHeader& Header)
{
    Header.m_BitDepth = Header.m_Profile >= 2 ? (Reader.ReadFlag() ? 12 : 10) : 8;
    Header.m_ColorSpace = static_cast<std::uint8_t>(Reader.ReadBits(3));
    bool const OddProfile = Header.m_Profile == 1 || Header.m_Profile == 3;
    if(Header.m_ColorSpace != Vp9FrameHeader::ColorSpaceRgb)
    {
        Header.m_FullRange = Reader.ReadFlag();
        if(OddProfile)
        {
            Header.m_SubsamplingX = static_cast<std::uint8_t>(Reader.ReadBits(1));
            Header.m_SubsamplingY = static_cast<std::uint8_t>(Reader.ReadBits(1));
            CHECK_ARGUMENT(!Reader.ReadFlag());
        }
        else
            Header.m_SubsamplingX = Header.m_SubsamplingY = 1;
        return;
    }
    // RGB is 4:4:4 at full range; only the odd profiles code 4:4:4.
    CHECK_ARGUMENT(OddProfile);
    Header.m_FullRange = true;
    Header.m_SubsamplingX = Header.m_SubsamplingY = 0;
    CHECK_ARGUMENT(!Reader.ReadFlag());
}

void ReadFrameSize(RbspBitReader& Reader, Vp9FrameHeader& Header)
{
    Header.m_Width = Reader.ReadBits(16) + 1;
    Header.m_Height = Reader.ReadBits(16) + 1;
}

void SkipRenderSize(RbspBitReader& Reader)
{
    if(Reader.ReadFlag())
        Reader.SkipBits(16 + 16);
}

// su(n): n magnitude bits and a sign.
void SkipSigned(RbspBitReader& Reader, unsigned Bits)
{
    Reader.SkipBits(Bits + 1);
}

void SkipLoopFilter(RbspBitReader& Reader)
{
    Reader.SkipBits(6 + 3);                       // level, sharpness
    if(Reader.ReadFlag() && Reader.ReadFlag())    // delta enabled, delta update
        for(unsigned Index = 0; Index < 4 + 2; ++Index) // reference deltas, then mode deltas
            if(Reader.ReadFlag())
                SkipSigned(Reader, 6);
}

void SkipQuantisation(RbspBitReader& Reader)
{
    Reader.SkipBits(8); // base_q_idx
    for(unsigned Index = 0; Index < 3; ++Index) // luma DC, chroma DC and AC deltas
        if(Reader.ReadFlag())
            SkipSigned(Reader, 4);
}

void SkipProbability(RbspBitReader& Reader)
{
    if(Reader.ReadFlag())
        Reader.SkipBits(8);
}

void SkipSegmentation(RbspBitReader& Reader)
{
    if(!Reader.ReadFlag()) // segmentation_enabled
        return;
    if(Reader.ReadFlag()) // update_map
    {
        for(unsigned Index = 0; Index < SegmentTreeProbabilities; ++Index)
            SkipProbability(Reader);
        if(Reader.ReadFlag()) // temporal_update
            for(unsigned Index = 0; Index < PredictionProbabilities; ++Index)
                SkipProbability(Reader);
    }
    if(!Reader.ReadFlag()) // update_data
        return;
    Reader.SkipBits(1); // abs_or_delta_update
    for(unsigned Segment = 0; Segment < SegmentCount; ++Segment)
        for(unsigned Feature = 0; Feature < std::size(SegmentFeatureBits); ++Feature)
            if(Reader.ReadFlag())
                Reader.SkipBits(SegmentFeatureBits[Feature] + (SegmentFeatureSigned[Feature] ? 1 : 0));
}

// The tile columns' count is coded relative to the range the frame's width allows.
void ReadTileInfo(RbspBitReader& Reader, Vp9FrameHeader& Header, std::uint32_t Width)
{
    std::uint32_t const SuperblockColumns = ((Width + 7) / 8 + 7) / 8;
    unsigned MinimalLog2 = 0;
    while((MaximalTileWidth << MinimalLog2) < SuperblockColumns)
        ++MinimalLog2;
    unsigned MaximalLog2 = 1;
    while((SuperblockColumns >> MaximalLog2) >= MinimalTileWidth)
        ++MaximalLog2;
    --MaximalLog2;
    unsigned Columns = MinimalLog2;
    while(Columns < MaximalLog2 && Reader.ReadFlag())
        ++Columns;
    Header.m_TileColumnsLog2 = static_cast<std::uint8_t>(Columns);
    Header.m_TileRowsLog2 = static_cast<std::uint8_t>(Reader.ReadFlag() ? 1 + Reader.ReadBits(1) : 0);
}

// The size of an inter frame: that of one of its references, or its own.
std::uint32_t ReadSizeWithReferences(RbspBitReader& Reader, Vp9FrameHeader& Header, std::optional<std::uint32_t> ReferenceWidth)
{
    bool FoundReference = false;
    for(unsigned Index = 0; Index < ReferencesPerFrame && !FoundReference; ++Index)
        FoundReference = Reader.ReadFlag();
    if(FoundReference)
    {
        CHECK_ARGUMENT(ReferenceWidth.has_value());
        Header.m_Width = *ReferenceWidth;
    }
    else
        ReadFrameSize(Reader, Header);
    SkipRenderSize(Reader);
    return Header.m_Width;
}
} // namespace

Vp9FrameHeader Vp9FrameHeader::Read(std::span<std::uint8_t const> Frame, std::optional<std::uint32_t> ReferenceWidth)
{
    RbspBitReader Reader(Frame);
    Vp9FrameHeader Header;
    CHECK_ARGUMENT(Reader.ReadBits(2) == FrameMarker);
    std::uint32_t const LowBit = Reader.ReadBits(1);
    Header.m_Profile = static_cast<std::uint8_t>(Reader.ReadBits(1) << 1 | LowBit);
    if(Header.m_Profile == 3)
        CHECK_ARGUMENT(!Reader.ReadFlag());
    Header.m_ShowExistingFrame = Reader.ReadFlag();
    if(Header.m_ShowExistingFrame)
    {
        Reader.SkipBits(3); // frame_to_show_map_idx
        Header.m_ShowFrame = true;
        Header.m_UncompressedHeaderSize = (Reader.GetBitPosition() + 7) / 8;
        return Header;
    }
    Header.m_KeyFrame = !Reader.ReadFlag(); // frame_type 0
    Header.m_ShowFrame = Reader.ReadFlag();
    bool const ErrorResilient = Reader.ReadFlag();
    std::uint32_t Width = 0;
    if(Header.m_KeyFrame)
    {
        ReadSyncCode(Reader);
        ReadColorConfig(Reader, Header);
        ReadFrameSize(Reader, Header);
        SkipRenderSize(Reader);
        Width = Header.m_Width;
    }
    else
    {
        Header.m_IntraOnly = Header.m_ShowFrame ? false : Reader.ReadFlag();
        if(!ErrorResilient)
            Reader.SkipBits(2); // reset_frame_context
        if(Header.m_IntraOnly)
        {
            ReadSyncCode(Reader);
            if(Header.m_Profile > 0)
                ReadColorConfig(Reader, Header);
            Reader.SkipBits(8); // refresh_frame_flags
            ReadFrameSize(Reader, Header);
            SkipRenderSize(Reader);
            Width = Header.m_Width;
        }
        else
        {
            Reader.SkipBits(8 + ReferencesPerFrame * (3 + 1)); // refresh_frame_flags, then each reference's index and sign bias
            Width = ReadSizeWithReferences(Reader, Header, ReferenceWidth);
            Reader.SkipBits(1); // allow_high_precision_mv
            if(!Reader.ReadFlag()) // is_filter_switchable
                Reader.SkipBits(2);
        }
    }
    if(!ErrorResilient)
        Reader.SkipBits(2); // refresh_frame_context, frame_parallel_decoding_mode
    Reader.SkipBits(2);     // frame_context_idx
    SkipLoopFilter(Reader);
    SkipQuantisation(Reader);
    SkipSegmentation(Reader);
    ReadTileInfo(Reader, Header, Width);
    Header.m_CompressedHeaderSize = Reader.ReadBits(16);
    CHECK_ARGUMENT(Header.m_CompressedHeaderSize > 0);
    Header.m_UncompressedHeaderSize = (Reader.GetBitPosition() + 7) / 8;
    return Header;
}

bool Vp9FrameHeader::HasSuperframeIndex(std::span<std::uint8_t const> Data) noexcept
{
    if(Data.empty())
        return false;
    // The index's last byte repeats its first: 110, the size bytes less one
    // (2 bits) and the frame count less one (3 bits).
    std::uint8_t const Marker = Data.back();
    if((Marker & 0xE0) != 0xC0)
        return false;
    std::size_t const IndexSize = 2 + (((Marker >> 3) & 0x03) + 1) * ((Marker & 0x07) + 1);
    return Data.size() >= IndexSize && Data[Data.size() - IndexSize] == Marker;
}

std::vector<Vp9FrameHeader::Range> Vp9FrameHeader::FindTiles(std::span<std::uint8_t const> Frame) const
{
    std::vector<Range> Tiles;
    if(m_ShowExistingFrame)
        return Tiles;
    std::size_t Position = m_UncompressedHeaderSize + m_CompressedHeaderSize;
    CHECK_ARGUMENT(Position <= Frame.size());
    std::size_t const Count = std::size_t{1} << (m_TileColumnsLog2 + m_TileRowsLog2);
    for(std::size_t Index = 0; Index + 1 < Count; ++Index)
    {
        CHECK_ARGUMENT(Frame.size() - Position >= TileSizeBytes);
        std::size_t const Size = static_cast<std::size_t>(Frame[Position]) << 24 | static_cast<std::size_t>(Frame[Position + 1]) << 16 |
                                 static_cast<std::size_t>(Frame[Position + 2]) << 8 | Frame[Position + 3];
        Position += TileSizeBytes;
        CHECK_ARGUMENT(Size <= Frame.size() - Position);
        Tiles.push_back({Position, Size});
        Position += Size;
    }
    Tiles.push_back({Position, Frame.size() - Position});
    return Tiles;
}
} // namespace Mp4
