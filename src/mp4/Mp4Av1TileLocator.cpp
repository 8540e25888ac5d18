// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4Av1TileLocator.h"

#include <algorithm>

#include "base/Check.h"
#include "mp4/Mp4Av1Obu.h"
#include "mp4/Mp4RbspBitReader.h"

namespace Mp4
{
namespace
{
constexpr std::uint8_t KeyFrame = 0;
constexpr std::uint8_t InterFrame = 1;
constexpr std::uint8_t IntraOnlyFrame = 2;
constexpr std::uint8_t SwitchFrame = 3;
constexpr std::uint8_t RedundantFrameHeaderType = 7;
constexpr unsigned AllFrames = (1u << Av1TileLocator::ReferenceSlots) - 1;
constexpr unsigned PrimaryReferenceNone = 7;
constexpr unsigned LastFrame = 1;
constexpr unsigned GoldenFrame = 4;
constexpr unsigned BackwardFrame = 5;
constexpr unsigned AlternateFrame2 = 6;
constexpr unsigned AlternateFrame = 7;
// Reference and mode deltas of the loop filter.
constexpr unsigned LoopFilterDeltas = 8 + 2;
constexpr unsigned SuperresNumerator = 8;
constexpr unsigned SuperresDenominatorMinimum = 9;
constexpr unsigned SuperresDenominatorBits = 3;
constexpr unsigned MaximalTileWidth = 4096;
constexpr unsigned MaximalTileArea = 4096 * 2304;
constexpr unsigned MaximalTileColumns = 64;
constexpr unsigned MaximalTileRows = 64;
constexpr std::array<unsigned, Av1TileLocator::SegmentFeatures> SegmentFeatureBits{8, 6, 6, 6, 6, 3, 0, 0};
constexpr std::array<std::int32_t, Av1TileLocator::SegmentFeatures> SegmentFeatureMaximum{255, 63, 63, 63, 63, 7, 0, 0};
constexpr unsigned SignedSegmentFeatures = 5; // the first five carry a sign
// Global motion: types and the precision of their parameters.
constexpr unsigned Translation = 1;
constexpr unsigned RotationZoom = 2;
constexpr unsigned Affine = 3;
constexpr int WarpedModelPrecisionBits = 16;
constexpr int AlphaAbsoluteBits = 12;
constexpr int AlphaPrecisionBits = 15;
constexpr int TranslationOnlyAbsoluteBits = 9;
constexpr int TranslationOnlyPrecisionBits = 3;
constexpr int TranslationAbsoluteBits = 12;
constexpr int TranslationPrecisionBits = 6;

unsigned TileLog2(unsigned Block, unsigned Target) noexcept
{
    unsigned Log2 = 0;
    while((Block << Log2) < Target)
        ++Log2;
    return Log2;
}

Av1TileLocator::GlobalMotion DefaultGlobalMotion() noexcept
{
    Av1TileLocator::GlobalMotion Motion{};
    for(auto& Parameters : Motion)
        Parameters = {0, 0, 1 << WarpedModelPrecisionBits, 0, 0, 1 << WarpedModelPrecisionBits};
    return Motion;
}

// The reading of one uncompressed frame header, with the variables later
// parts of it depend on.
class FrameHeaderReading
{
public:
    FrameHeaderReading(std::span<std::uint8_t const> Payload, Av1SequenceHeader const& Sequence, std::array<Av1TileLocator::Reference, Av1TileLocator::ReferenceSlots>& References) :
        m_Reader(Payload), m_Sequence(Sequence), m_References(References)
    {
    }

    // Reads the header to its end; the reference slots are updated as the frame's decoding will leave them.
    void Read(std::uint8_t TemporalId, std::uint8_t SpatialId);

    RbspBitReader m_Reader;
    Av1SequenceHeader const& m_Sequence;
    std::array<Av1TileLocator::Reference, Av1TileLocator::ReferenceSlots>& m_References;
    Av1TileLocator::TileLayout m_Layout;
    bool m_ShowExistingFrame = false;

private:
    std::int32_t ReadSigned(unsigned Bits);
    std::uint32_t ReadNonSymmetric(std::uint32_t Count);
    std::uint32_t ReadSubexponential(std::uint32_t Count);
    bool ReadShowExistingFrame();
    void ReadFrameKind();
    void ReadTimingOfRemoval(std::uint8_t TemporalId, std::uint8_t SpatialId);
    void ReadReferenceOrderHints();
    void ReadInterReferences();
    void SetFrameReferences(unsigned LastIndex, unsigned GoldenIndex);
    void ReadFrameSize();
    void ReadRenderSize();
    void ReadFrameSizeWithReferences();
    void ReadSuperres();
    void LoadPrevious();
    void ReadTileInfo();
    void ReadUniformTileSpacing(unsigned ColumnsInSuperblocks, unsigned RowsInSuperblocks, unsigned MinimalLog2Tiles);
    void ReadExplicitTileSpacing(unsigned ColumnsInSuperblocks, unsigned RowsInSuperblocks, unsigned MinimalLog2Tiles);
    void ReadQuantization();
    std::int32_t ReadDeltaQ();
    void ReadSegmentation();
    void ReadDeltas();
    bool IsCodedLossless() const;
    void ReadLoopFilter();
    void ReadConstrainedDirectionalEnhancement();
    void ReadLoopRestoration();
    void ReadSkipMode();
    std::int32_t GetRelativeDistance(std::uint32_t A, std::uint32_t B) const;
    void ReadGlobalMotion();
    void ReadGlobalParameter(unsigned Type, unsigned Reference, unsigned Index);
    void ReadFilmGrain();
    void UpdateReferences();

    unsigned Planes() const noexcept { return m_Sequence.m_Monochrome ? 1 : 3; }

    std::uint8_t m_FrameType = KeyFrame;
    bool m_FrameIsIntra = true;
    bool m_ShowFrame = true;
    bool m_ShowableFrame = false;
    bool m_ErrorResilientMode = true;
    bool m_AllowScreenContentTools = false;
    bool m_ForceIntegerMv = false;
    bool m_FrameSizeOverride = false;
    std::uint32_t m_OrderHint = 0;
    unsigned m_PrimaryReferenceFrame = PrimaryReferenceNone;
    unsigned m_RefreshFrameFlags = AllFrames;
    std::array<unsigned, Av1TileLocator::ReferencesPerFrame> m_ReferenceFrameIndex{};
    std::uint32_t m_UpscaledWidth = 0;
    std::uint32_t m_FrameWidth = 0;
    std::uint32_t m_FrameHeight = 0;
    std::uint32_t m_RenderWidth = 0;
    std::uint32_t m_RenderHeight = 0;
    bool m_AllowIntrabc = false;
    bool m_AllowHighPrecisionMv = false;
    unsigned m_BaseQIndex = 0;
    bool m_DeltaQNonZero = false;
    bool m_SegmentationEnabled = false;
    bool m_DeltaQPresent = false;
    bool m_ReferenceSelect = false;
    Av1TileLocator::Segmentation m_Segmentation;
    Av1TileLocator::GlobalMotion m_PreviousGlobalMotion = DefaultGlobalMotion();
    Av1TileLocator::GlobalMotion m_GlobalMotion = DefaultGlobalMotion();
};

std::int32_t FrameHeaderReading::ReadSigned(unsigned Bits)
{
    std::int32_t const Value = static_cast<std::int32_t>(m_Reader.ReadBits(Bits));
    std::int32_t const SignMask = 1 << (Bits - 1);
    return Value & SignMask ? Value - 2 * SignMask : Value;
}

std::uint32_t FrameHeaderReading::ReadNonSymmetric(std::uint32_t Count)
{
    CHECK_ARGUMENT(Count > 0);
    unsigned Width = 0;
    for(std::uint32_t Rest = Count; Rest; Rest >>= 1)
        ++Width;
    std::uint32_t const Short = (1u << Width) - Count;
    std::uint32_t const Value = m_Reader.ReadBits(Width - 1);
    if(Value < Short)
        return Value;
    return (Value << 1) - Short + m_Reader.ReadBits(1);
}

std::uint32_t FrameHeaderReading::ReadSubexponential(std::uint32_t Count)
{
    unsigned Index = 0;
    std::uint32_t Base = 0;
    constexpr unsigned K = 3;
    for(;;)
    {
        unsigned const Bits = Index ? K + Index - 1 : K;
        std::uint32_t const Span = 1u << Bits;
        if(Count <= Base + 3 * Span)
            return ReadNonSymmetric(Count - Base) + Base;
        if(!m_Reader.ReadFlag())
            return m_Reader.ReadBits(Bits) + Base;
        ++Index;
        Base += Span;
    }
}

void FrameHeaderReading::Read(std::uint8_t TemporalId, std::uint8_t SpatialId)
{
    if(!m_Sequence.m_ReducedStillPictureHeader && ReadShowExistingFrame())
        return;
    if(!m_Sequence.m_ReducedStillPictureHeader)
        ReadFrameKind();
    if(m_FrameType == KeyFrame && m_ShowFrame)
        for(auto& Reference : m_References)
            Reference.m_Valid = false, Reference.m_OrderHint = 0;
    bool const DisableCdfUpdate = m_Reader.ReadFlag();
    m_AllowScreenContentTools = m_Sequence.m_SeqForceScreenContentTools == Av1SequenceHeader::SelectedPerFrame ? m_Reader.ReadFlag()
                                                                                                              : m_Sequence.m_SeqForceScreenContentTools != 0;
    if(m_AllowScreenContentTools)
        m_ForceIntegerMv = m_Sequence.m_SeqForceIntegerMv == Av1SequenceHeader::SelectedPerFrame ? m_Reader.ReadFlag() : m_Sequence.m_SeqForceIntegerMv != 0;
    if(m_FrameIsIntra)
        m_ForceIntegerMv = true;
    if(m_Sequence.m_FrameIdNumbersPresent)
        m_Reader.SkipBits(m_Sequence.m_AdditionalFrameIdLength + m_Sequence.m_DeltaFrameIdLength); // current_frame_id
    m_FrameSizeOverride = m_FrameType == SwitchFrame ? true : !m_Sequence.m_ReducedStillPictureHeader && m_Reader.ReadFlag();
    m_OrderHint = m_Reader.ReadBits(m_Sequence.m_OrderHintBits);
    m_PrimaryReferenceFrame = m_FrameIsIntra || m_ErrorResilientMode ? PrimaryReferenceNone : m_Reader.ReadBits(3);
    ReadTimingOfRemoval(TemporalId, SpatialId);
    m_RefreshFrameFlags = m_FrameType == SwitchFrame || (m_FrameType == KeyFrame && m_ShowFrame) ? AllFrames : m_Reader.ReadBits(8);
    if(!m_FrameIsIntra || m_RefreshFrameFlags != AllFrames)
        ReadReferenceOrderHints();
    if(m_FrameIsIntra)
    {
        ReadFrameSize();
        ReadRenderSize();
        if(m_AllowScreenContentTools && m_UpscaledWidth == m_FrameWidth)
            m_AllowIntrabc = m_Reader.ReadFlag();
    }
    else
        ReadInterReferences();
    if(!m_Sequence.m_ReducedStillPictureHeader && !DisableCdfUpdate)
        m_Reader.SkipBits(1); // disable_frame_end_update_cdf
    if(m_PrimaryReferenceFrame != PrimaryReferenceNone)
        LoadPrevious();
    ReadTileInfo();
    ReadQuantization();
    ReadSegmentation();
    ReadDeltas();
    ReadLoopFilter();
    ReadConstrainedDirectionalEnhancement();
    ReadLoopRestoration();
    if(!IsCodedLossless())
        m_Reader.SkipBits(1); // tx_mode_select
    m_ReferenceSelect = !m_FrameIsIntra && m_Reader.ReadFlag();
    ReadSkipMode();
    if(!m_FrameIsIntra && !m_ErrorResilientMode && m_Sequence.m_EnableWarpedMotion)
        m_Reader.SkipBits(1); // allow_warped_motion
    m_Reader.SkipBits(1);     // reduced_tx_set
    ReadGlobalMotion();
    ReadFilmGrain();
    UpdateReferences();
}

bool FrameHeaderReading::ReadShowExistingFrame()
{
    m_ShowExistingFrame = m_Reader.ReadFlag();
    if(!m_ShowExistingFrame)
        return false;
    unsigned const Index = m_Reader.ReadBits(3);
    if(m_Sequence.m_DecoderModelInfoPresent && !m_Sequence.m_EqualPictureInterval)
        m_Reader.SkipBits(m_Sequence.m_FramePresentationTimeLength);
    if(m_Sequence.m_FrameIdNumbersPresent)
        m_Reader.SkipBits(m_Sequence.m_AdditionalFrameIdLength + m_Sequence.m_DeltaFrameIdLength); // display_frame_id
    // A key frame shown again is loaded and refreshes every slot.
    if(m_References[Index].m_FrameType == KeyFrame)
    {
        auto const Shown = m_References[Index];
        m_References.fill(Shown);
    }
    return true;
}

void FrameHeaderReading::ReadFrameKind()
{
    m_FrameType = static_cast<std::uint8_t>(m_Reader.ReadBits(2));
    m_FrameIsIntra = m_FrameType == IntraOnlyFrame || m_FrameType == KeyFrame;
    m_ShowFrame = m_Reader.ReadFlag();
    if(m_ShowFrame && m_Sequence.m_DecoderModelInfoPresent && !m_Sequence.m_EqualPictureInterval)
        m_Reader.SkipBits(m_Sequence.m_FramePresentationTimeLength);
    m_ShowableFrame = m_ShowFrame ? m_FrameType != KeyFrame : m_Reader.ReadFlag();
    m_ErrorResilientMode = m_FrameType == SwitchFrame || (m_FrameType == KeyFrame && m_ShowFrame) ? true : m_Reader.ReadFlag();
}

void FrameHeaderReading::ReadTimingOfRemoval(std::uint8_t TemporalId, std::uint8_t SpatialId)
{
    if(!m_Sequence.m_DecoderModelInfoPresent || !m_Reader.ReadFlag()) // buffer_removal_time_present_flag
        return;
    for(auto const& Point : m_Sequence.m_OperatingPoints)
    {
        if(!Point.m_DecoderModelPresent)
            continue;
        bool const InTemporalLayer = (Point.m_Idc >> TemporalId) & 1;
        bool const InSpatialLayer = (Point.m_Idc >> (SpatialId + 8)) & 1;
        if(Point.m_Idc == 0 || (InTemporalLayer && InSpatialLayer))
            m_Reader.SkipBits(m_Sequence.m_BufferRemovalTimeLength);
    }
}

void FrameHeaderReading::ReadReferenceOrderHints()
{
    if(!m_ErrorResilientMode || !m_Sequence.m_EnableOrderHint)
        return;
    for(auto& Reference : m_References)
    {
        std::uint32_t const Hint = m_Reader.ReadBits(m_Sequence.m_OrderHintBits);
        if(Hint != Reference.m_OrderHint)
            Reference = {false, Reference.m_FrameType, Hint};
    }
}

void FrameHeaderReading::ReadInterReferences()
{
    bool const ShortSignaling = m_Sequence.m_EnableOrderHint && m_Reader.ReadFlag();
    if(ShortSignaling)
    {
        unsigned const LastIndex = m_Reader.ReadBits(3);
        unsigned const GoldenIndex = m_Reader.ReadBits(3);
        SetFrameReferences(LastIndex, GoldenIndex);
    }
    for(auto& Index : m_ReferenceFrameIndex)
    {
        if(!ShortSignaling)
            Index = m_Reader.ReadBits(3);
        if(m_Sequence.m_FrameIdNumbersPresent)
            m_Reader.SkipBits(m_Sequence.m_DeltaFrameIdLength); // delta_frame_id_minus_1
    }
    if(m_FrameSizeOverride && !m_ErrorResilientMode)
        ReadFrameSizeWithReferences();
    else
    {
        ReadFrameSize();
        ReadRenderSize();
    }
    m_AllowHighPrecisionMv = !m_ForceIntegerMv && m_Reader.ReadFlag();
    if(!m_Reader.ReadFlag())  // is_filter_switchable
        m_Reader.SkipBits(2); // interpolation_filter
    m_Reader.SkipBits(1);     // is_motion_mode_switchable
    if(!m_ErrorResilientMode && m_Sequence.m_EnableRefFrameMvs)
        m_Reader.SkipBits(1); // use_ref_frame_mvs
}

// The references a frame names by its last and golden ones only, chosen
// by their order hints.
void FrameHeaderReading::SetFrameReferences(unsigned LastIndex, unsigned GoldenIndex)
{
    constexpr int Unset = -1;
    std::array<int, Av1TileLocator::ReferencesPerFrame> Chosen;
    Chosen.fill(Unset);
    Chosen[0] = static_cast<int>(LastIndex);
    Chosen[GoldenFrame - LastFrame] = static_cast<int>(GoldenIndex);
    std::array<bool, Av1TileLocator::ReferenceSlots> Used{};
    Used[LastIndex] = Used[GoldenIndex] = true;
    std::int32_t const Current = 1 << (m_Sequence.m_OrderHintBits - 1);
    std::array<std::int32_t, Av1TileLocator::ReferenceSlots> Shifted;
    for(unsigned Slot = 0; Slot < Shifted.size(); ++Slot)
        Shifted[Slot] = Current + GetRelativeDistance(m_References[Slot].m_OrderHint, m_OrderHint);
    // The unused slot whose hint is the latest (or earliest) backward, or the latest forward.
    auto const Find = [&](bool Backward, bool Latest) {
        int Found = Unset;
        std::int32_t FoundHint = 0;
        for(unsigned Slot = 0; Slot < Shifted.size(); ++Slot)
        {
            std::int32_t const Hint = Shifted[Slot];
            if(Used[Slot] || (Hint >= Current) != Backward)
                continue;
            if(Found == Unset || (Latest ? Hint >= FoundHint : Hint < FoundHint))
                Found = static_cast<int>(Slot), FoundHint = Hint;
        }
        if(Found != Unset)
            Used[static_cast<unsigned>(Found)] = true;
        return Found;
    };
    Chosen[AlternateFrame - LastFrame] = Find(true, true);
    Chosen[BackwardFrame - LastFrame] = Find(true, false);
    Chosen[AlternateFrame2 - LastFrame] = Find(true, false);
    for(unsigned Reference : {2u, 3u, BackwardFrame, AlternateFrame2, AlternateFrame})
        if(Chosen[Reference - LastFrame] == Unset)
            Chosen[Reference - LastFrame] = Find(false, true);
    // What is left takes the slot of the earliest hint, used or not.
    unsigned Earliest = 0;
    for(unsigned Slot = 1; Slot < Shifted.size(); ++Slot)
        if(Shifted[Slot] < Shifted[Earliest])
            Earliest = Slot;
    for(unsigned Index = 0; Index < Chosen.size(); ++Index)
        m_ReferenceFrameIndex[Index] = Chosen[Index] == Unset ? Earliest : static_cast<unsigned>(Chosen[Index]);
}

void FrameHeaderReading::ReadFrameSize()
{
    if(m_FrameSizeOverride)
    {
        m_FrameWidth = m_Reader.ReadBits(m_Sequence.m_FrameWidthBits) + 1;
        m_FrameHeight = m_Reader.ReadBits(m_Sequence.m_FrameHeightBits) + 1;
    }
    else
    {
        m_FrameWidth = m_Sequence.m_MaxFrameWidth;
        m_FrameHeight = m_Sequence.m_MaxFrameHeight;
    }
    ReadSuperres();
}

void FrameHeaderReading::ReadRenderSize()
{
    if(m_Reader.ReadFlag()) // render_and_frame_size_different
    {
        m_RenderWidth = m_Reader.ReadBits(16) + 1;
        m_RenderHeight = m_Reader.ReadBits(16) + 1;
        return;
    }
    m_RenderWidth = m_UpscaledWidth;
    m_RenderHeight = m_FrameHeight;
}

void FrameHeaderReading::ReadFrameSizeWithReferences()
{
    for(unsigned Index : m_ReferenceFrameIndex)
        if(m_Reader.ReadFlag()) // found_ref
        {
            auto const& Reference = m_References[Index];
            m_FrameWidth = Reference.m_UpscaledWidth;
            m_FrameHeight = Reference.m_FrameHeight;
            m_RenderWidth = Reference.m_RenderWidth;
            m_RenderHeight = Reference.m_RenderHeight;
            ReadSuperres();
            return;
        }
    ReadFrameSize();
    ReadRenderSize();
}

void FrameHeaderReading::ReadSuperres()
{
    unsigned Denominator = SuperresNumerator;
    if(m_Sequence.m_EnableSuperres && m_Reader.ReadFlag()) // use_superres
        Denominator = m_Reader.ReadBits(SuperresDenominatorBits) + SuperresDenominatorMinimum;
    m_UpscaledWidth = m_FrameWidth;
    m_FrameWidth = (m_UpscaledWidth * SuperresNumerator + Denominator / 2) / Denominator;
}

void FrameHeaderReading::LoadPrevious()
{
    auto const& Previous = m_References[m_ReferenceFrameIndex[m_PrimaryReferenceFrame]];
    m_PreviousGlobalMotion = Previous.m_GlobalMotion;
    m_Segmentation = Previous.m_Segmentation;
}

void FrameHeaderReading::ReadTileInfo()
{
    unsigned const MiColumns = 2 * ((m_FrameWidth + 7) >> 3);
    unsigned const MiRows = 2 * ((m_FrameHeight + 7) >> 3);
    unsigned const Shift = m_Sequence.m_Use128x128Superblock ? 5 : 4;
    unsigned const ColumnsInSuperblocks = (MiColumns + (1u << Shift) - 1) >> Shift;
    unsigned const RowsInSuperblocks = (MiRows + (1u << Shift) - 1) >> Shift;
    unsigned const SuperblockSizeLog2 = Shift + 2;
    unsigned const MaximalTileAreaInSuperblocks = MaximalTileArea >> (2 * SuperblockSizeLog2);
    unsigned const MinimalLog2Tiles = std::max(TileLog2(MaximalTileWidth >> SuperblockSizeLog2, ColumnsInSuperblocks),
                                               TileLog2(MaximalTileAreaInSuperblocks, RowsInSuperblocks * ColumnsInSuperblocks));
    if(m_Reader.ReadFlag()) // uniform_tile_spacing_flag
        ReadUniformTileSpacing(ColumnsInSuperblocks, RowsInSuperblocks, MinimalLog2Tiles);
    else
        ReadExplicitTileSpacing(ColumnsInSuperblocks, RowsInSuperblocks, MinimalLog2Tiles);
    if(m_Layout.m_ColumnsLog2 > 0 || m_Layout.m_RowsLog2 > 0)
    {
        m_Reader.SkipBits(m_Layout.m_ColumnsLog2 + m_Layout.m_RowsLog2); // context_update_tile_id
        m_Layout.m_SizeBytes = m_Reader.ReadBits(2) + 1;
    }
}

void FrameHeaderReading::ReadUniformTileSpacing(unsigned ColumnsInSuperblocks, unsigned RowsInSuperblocks, unsigned MinimalLog2Tiles)
{
    unsigned const SuperblockSizeLog2 = m_Sequence.m_Use128x128Superblock ? 7 : 6;
    unsigned const MinimalLog2Columns = TileLog2(MaximalTileWidth >> SuperblockSizeLog2, ColumnsInSuperblocks);
    unsigned const MaximalLog2Columns = TileLog2(1, std::min(ColumnsInSuperblocks, MaximalTileColumns));
    unsigned const MaximalLog2Rows = TileLog2(1, std::min(RowsInSuperblocks, MaximalTileRows));
    unsigned ColumnsLog2 = MinimalLog2Columns;
    while(ColumnsLog2 < MaximalLog2Columns && m_Reader.ReadFlag()) // increment_tile_cols_log2
        ++ColumnsLog2;
    unsigned const TileWidth = (ColumnsInSuperblocks + (1u << ColumnsLog2) - 1) >> ColumnsLog2;
    unsigned RowsLog2 = MinimalLog2Tiles > ColumnsLog2 ? MinimalLog2Tiles - ColumnsLog2 : 0;
    while(RowsLog2 < MaximalLog2Rows && m_Reader.ReadFlag()) // increment_tile_rows_log2
        ++RowsLog2;
    unsigned const TileHeight = (RowsInSuperblocks + (1u << RowsLog2) - 1) >> RowsLog2;
    m_Layout.m_ColumnsLog2 = ColumnsLog2;
    m_Layout.m_RowsLog2 = RowsLog2;
    m_Layout.m_Columns = (ColumnsInSuperblocks + TileWidth - 1) / TileWidth;
    m_Layout.m_Rows = (RowsInSuperblocks + TileHeight - 1) / TileHeight;
}

void FrameHeaderReading::ReadExplicitTileSpacing(unsigned ColumnsInSuperblocks, unsigned RowsInSuperblocks, unsigned MinimalLog2Tiles)
{
    unsigned const SuperblockSizeLog2 = m_Sequence.m_Use128x128Superblock ? 7 : 6;
    unsigned const MaximalTileWidthInSuperblocks = MaximalTileWidth >> SuperblockSizeLog2;
    unsigned Widest = 0;
    unsigned Columns = 0;
    for(unsigned Start = 0; Start < ColumnsInSuperblocks; ++Columns)
    {
        unsigned const Width = ReadNonSymmetric(std::min(ColumnsInSuperblocks - Start, MaximalTileWidthInSuperblocks)) + 1;
        Widest = std::max(Widest, Width);
        Start += Width;
    }
    unsigned const Area = RowsInSuperblocks * ColumnsInSuperblocks;
    unsigned const MaximalTileAreaInSuperblocks = MinimalLog2Tiles > 0 ? Area >> (MinimalLog2Tiles + 1) : Area;
    unsigned const MaximalTileHeight = std::max(MaximalTileAreaInSuperblocks / Widest, 1u);
    unsigned Rows = 0;
    for(unsigned Start = 0; Start < RowsInSuperblocks; ++Rows)
        Start += ReadNonSymmetric(std::min(RowsInSuperblocks - Start, MaximalTileHeight)) + 1;
    m_Layout.m_Columns = Columns;
    m_Layout.m_Rows = Rows;
    m_Layout.m_ColumnsLog2 = TileLog2(1, Columns);
    m_Layout.m_RowsLog2 = TileLog2(1, Rows);
}

void FrameHeaderReading::ReadQuantization()
{
    m_BaseQIndex = m_Reader.ReadBits(8);
    m_DeltaQNonZero = ReadDeltaQ() != 0;
    if(Planes() > 1)
    {
        bool const DifferentUv = m_Sequence.m_SeparateUvDeltaQ && m_Reader.ReadFlag();
        for(unsigned Count = DifferentUv ? 4 : 2; Count; --Count)
            m_DeltaQNonZero = (ReadDeltaQ() != 0) || m_DeltaQNonZero;
    }
    if(m_Reader.ReadFlag())                                  // using_qmatrix
        m_Reader.SkipBits(m_Sequence.m_SeparateUvDeltaQ ? 12 : 8); // qm_y, qm_u (and qm_v)
}

std::int32_t FrameHeaderReading::ReadDeltaQ()
{
    return m_Reader.ReadFlag() ? ReadSigned(7) : 0;
}

void FrameHeaderReading::ReadSegmentation()
{
    m_SegmentationEnabled = m_Reader.ReadFlag();
    if(!m_SegmentationEnabled)
    {
        m_Segmentation = {};
        return;
    }
    bool UpdateData = true;
    if(m_PrimaryReferenceFrame != PrimaryReferenceNone)
    {
        if(m_Reader.ReadFlag())   // segmentation_update_map
            m_Reader.SkipBits(1); // segmentation_temporal_update
        UpdateData = m_Reader.ReadFlag();
    }
    if(!UpdateData)
        return;
    for(unsigned Segment = 0; Segment < Av1TileLocator::MaximalSegments; ++Segment)
        for(unsigned Feature = 0; Feature < Av1TileLocator::SegmentFeatures; ++Feature)
        {
            bool const Enabled = m_Reader.ReadFlag();
            std::int32_t Value = 0;
            if(Enabled)
            {
                std::int32_t const Limit = SegmentFeatureMaximum[Feature];
                unsigned const Bits = SegmentFeatureBits[Feature];
                Value = Feature < SignedSegmentFeatures ? std::clamp(ReadSigned(1 + Bits), -Limit, Limit)
                                                        : std::clamp(static_cast<std::int32_t>(m_Reader.ReadBits(Bits)), 0, Limit);
            }
            m_Segmentation.m_Enabled[Segment][Feature] = Enabled;
            m_Segmentation.m_Data[Segment][Feature] = Value;
        }
}

void FrameHeaderReading::ReadDeltas()
{
    m_DeltaQPresent = m_BaseQIndex > 0 && m_Reader.ReadFlag();
    if(!m_DeltaQPresent)
        return;
    m_Reader.SkipBits(2); // delta_q_res
    if(!m_AllowIntrabc && m_Reader.ReadFlag()) // delta_lf_present
        m_Reader.SkipBits(3);                  // delta_lf_res, delta_lf_multi
}

bool FrameHeaderReading::IsCodedLossless() const
{
    if(m_DeltaQNonZero)
        return false;
    for(unsigned Segment = 0; Segment < Av1TileLocator::MaximalSegments; ++Segment)
    {
        std::int32_t QIndex = static_cast<std::int32_t>(m_BaseQIndex);
        if(m_SegmentationEnabled && m_Segmentation.m_Enabled[Segment][0])
            QIndex = std::clamp(QIndex + m_Segmentation.m_Data[Segment][0], 0, 255);
        if(QIndex != 0)
            return false;
    }
    return true;
}

void FrameHeaderReading::ReadLoopFilter()
{
    if(IsCodedLossless() || m_AllowIntrabc)
        return;
    std::uint32_t const Level = m_Reader.ReadBits(12); // loop_filter_level[0], [1]
    if(Planes() > 1 && Level != 0)
        m_Reader.SkipBits(12);
    m_Reader.SkipBits(3); // loop_filter_sharpness
    if(!m_Reader.ReadFlag() || !m_Reader.ReadFlag()) // loop_filter_delta_enabled, loop_filter_delta_update
        return;
    for(unsigned Delta = 0; Delta < LoopFilterDeltas; ++Delta)
        if(m_Reader.ReadFlag())
            m_Reader.SkipBits(7);
}

void FrameHeaderReading::ReadConstrainedDirectionalEnhancement()
{
    if(IsCodedLossless() || m_AllowIntrabc || !m_Sequence.m_EnableCdef)
        return;
    m_Reader.SkipBits(2); // cdef_damping_minus_3
    unsigned const Bits = m_Reader.ReadBits(2);
    m_Reader.SkipBits((1u << Bits) * (Planes() > 1 ? 12 : 6)); // strengths
}

void FrameHeaderReading::ReadLoopRestoration()
{
    bool const AllLossless = IsCodedLossless() && m_FrameWidth == m_UpscaledWidth;
    if(AllLossless || m_AllowIntrabc || !m_Sequence.m_EnableRestoration)
        return;
    bool Used = false;
    bool ChromaUsed = false;
    for(unsigned Plane = 0; Plane < Planes(); ++Plane)
        if(m_Reader.ReadBits(2) != 0) // lr_type other than none
            Used = true, ChromaUsed = ChromaUsed || Plane > 0;
    if(!Used)
        return;
    if(m_Sequence.m_Use128x128Superblock)
        m_Reader.SkipBits(1); // lr_unit_shift
    else if(m_Reader.ReadFlag())
        m_Reader.SkipBits(1); // lr_unit_extra_shift
    if(m_Sequence.m_ChromaSubsamplingX && m_Sequence.m_ChromaSubsamplingY && ChromaUsed)
        m_Reader.SkipBits(1); // lr_uv_shift
}

std::int32_t FrameHeaderReading::GetRelativeDistance(std::uint32_t A, std::uint32_t B) const
{
    if(!m_Sequence.m_EnableOrderHint)
        return 0;
    std::int32_t const Difference = static_cast<std::int32_t>(A) - static_cast<std::int32_t>(B);
    std::int32_t const Mask = 1 << (m_Sequence.m_OrderHintBits - 1);
    return (Difference & (Mask - 1)) - (Difference & Mask);
}

// skip_mode_present is there where the references have a forward and a
// backward (or a second forward) frame.
void FrameHeaderReading::ReadSkipMode()
{
    if(m_FrameIsIntra || !m_ReferenceSelect || !m_Sequence.m_EnableOrderHint)
        return;
    int Forward = -1;
    int Backward = -1;
    std::uint32_t ForwardHint = 0;
    std::uint32_t BackwardHint = 0;
    for(unsigned Index : m_ReferenceFrameIndex)
    {
        std::uint32_t const Hint = m_References[Index].m_OrderHint;
        std::int32_t const Distance = GetRelativeDistance(Hint, m_OrderHint);
        if(Distance < 0 && (Forward < 0 || GetRelativeDistance(Hint, ForwardHint) > 0))
            Forward = 0, ForwardHint = Hint;
        else if(Distance > 0 && (Backward < 0 || GetRelativeDistance(Hint, BackwardHint) < 0))
            Backward = 0, BackwardHint = Hint;
    }
    bool Allowed = Forward >= 0 && Backward >= 0;
    if(Forward >= 0 && Backward < 0)
        for(unsigned Index : m_ReferenceFrameIndex)
            Allowed = Allowed || GetRelativeDistance(m_References[Index].m_OrderHint, ForwardHint) < 0;
    if(Allowed)
        m_Reader.SkipBits(1); // skip_mode_present
}

void FrameHeaderReading::ReadGlobalMotion()
{
    if(m_FrameIsIntra)
        return;
    for(unsigned Reference = LastFrame; Reference <= AlternateFrame; ++Reference)
    {
        unsigned Type = 0;
        if(m_Reader.ReadFlag()) // is_global
            Type = m_Reader.ReadFlag() ? RotationZoom : (m_Reader.ReadFlag() ? Translation : Affine);
        auto& Parameters = m_GlobalMotion[Reference];
        if(Type >= RotationZoom)
        {
            ReadGlobalParameter(Type, Reference, 2);
            ReadGlobalParameter(Type, Reference, 3);
            if(Type == Affine)
            {
                ReadGlobalParameter(Type, Reference, 4);
                ReadGlobalParameter(Type, Reference, 5);
            }
            else
            {
                Parameters[4] = -Parameters[3];
                Parameters[5] = Parameters[2];
            }
        }
        if(Type >= Translation)
        {
            ReadGlobalParameter(Type, Reference, 0);
            ReadGlobalParameter(Type, Reference, 1);
        }
    }
}

// A parameter is coded relative to the previous frame's, so its length
// depends on that value.
void FrameHeaderReading::ReadGlobalParameter(unsigned Type, unsigned Reference, unsigned Index)
{
    int AbsoluteBits = AlphaAbsoluteBits;
    int PrecisionBits = AlphaPrecisionBits;
    if(Index < 2)
    {
        bool const TranslationOnly = Type == Translation;
        int const Coarser = TranslationOnly && !m_AllowHighPrecisionMv ? 1 : 0;
        AbsoluteBits = TranslationOnly ? TranslationOnlyAbsoluteBits - Coarser : TranslationAbsoluteBits;
        PrecisionBits = TranslationOnly ? TranslationOnlyPrecisionBits - Coarser : TranslationPrecisionBits;
    }
    int const PrecisionDifference = WarpedModelPrecisionBits - PrecisionBits;
    bool const Diagonal = Index % 3 == 2;
    std::int32_t const Round = Diagonal ? 1 << WarpedModelPrecisionBits : 0;
    std::int32_t const Subtrahend = Diagonal ? 1 << PrecisionBits : 0;
    std::int32_t const Maximum = 1 << AbsoluteBits;
    std::int32_t const Low = -Maximum;
    std::int32_t const Reference0 = (m_PreviousGlobalMotion[Reference][Index] >> PrecisionDifference) - Subtrahend;
    // decode_signed_subexp_with_ref(-Maximum, Maximum + 1, Reference0)
    auto const Count = static_cast<std::uint32_t>(2 * Maximum + 1);
    auto const Recentred = static_cast<std::uint32_t>(Reference0 - Low);
    std::uint32_t const Value = ReadSubexponential(Count);
    auto const InverseRecenter = [](std::uint32_t R, std::uint32_t V) -> std::uint32_t {
        if(V > 2 * R)
            return V;
        return V & 1 ? R - ((V + 1) >> 1) : R + (V >> 1);
    };
    std::uint32_t const Unsigned = (Recentred << 1) <= Count ? InverseRecenter(Recentred, Value) : Count - 1 - InverseRecenter(Count - 1 - Recentred, Value);
    m_GlobalMotion[Reference][Index] = (static_cast<std::int32_t>(Unsigned) + Low) * (1 << PrecisionDifference) + Round;
}

void FrameHeaderReading::ReadFilmGrain()
{
    if(!m_Sequence.m_FilmGrainParamsPresent || (!m_ShowFrame && !m_ShowableFrame) || !m_Reader.ReadFlag()) // apply_grain
        return;
    m_Reader.SkipBits(16); // grain_seed
    bool const Update = m_FrameType != InterFrame || m_Reader.ReadFlag();
    if(!Update)
    {
        m_Reader.SkipBits(3); // film_grain_params_ref_idx
        return;
    }
    unsigned const LumaPoints = m_Reader.ReadBits(4);
    m_Reader.SkipBits(16 * LumaPoints);
    bool const ChromaFromLuma = !m_Sequence.m_Monochrome && m_Reader.ReadFlag();
    unsigned BluePoints = 0;
    unsigned RedPoints = 0;
    bool const Subsampled = m_Sequence.m_ChromaSubsamplingX == 1 && m_Sequence.m_ChromaSubsamplingY == 1;
    if(!m_Sequence.m_Monochrome && !ChromaFromLuma && !(Subsampled && LumaPoints == 0))
    {
        BluePoints = m_Reader.ReadBits(4);
        m_Reader.SkipBits(16 * BluePoints);
        RedPoints = m_Reader.ReadBits(4);
        m_Reader.SkipBits(16 * RedPoints);
    }
    m_Reader.SkipBits(2); // grain_scaling_minus_8
    unsigned const Lag = m_Reader.ReadBits(2);
    unsigned const LumaPositions = 2 * Lag * (Lag + 1);
    unsigned const ChromaPositions = LumaPoints ? LumaPositions + 1 : LumaPositions;
    if(LumaPoints)
        m_Reader.SkipBits(8 * LumaPositions);
    if(ChromaFromLuma || BluePoints)
        m_Reader.SkipBits(8 * ChromaPositions);
    if(ChromaFromLuma || RedPoints)
        m_Reader.SkipBits(8 * ChromaPositions);
    m_Reader.SkipBits(4); // ar_coeff_shift_minus_6, grain_scale_shift
    if(BluePoints)
        m_Reader.SkipBits(25);
    if(RedPoints)
        m_Reader.SkipBits(25);
    m_Reader.SkipBits(2); // overlap_flag, clip_to_restricted_range
}

void FrameHeaderReading::UpdateReferences()
{
    for(unsigned Slot = 0; Slot < Av1TileLocator::ReferenceSlots; ++Slot)
        if((m_RefreshFrameFlags >> Slot) & 1)
            m_References[Slot] = {true,           m_FrameType,    m_OrderHint,    m_UpscaledWidth, m_FrameWidth,
                                  m_FrameHeight,  m_RenderWidth,  m_RenderHeight, m_GlobalMotion,  m_SegmentationEnabled ? m_Segmentation : Av1TileLocator::Segmentation{}};
}

std::pair<std::uint8_t, std::uint8_t> GetLayerIds(Av1Obu const& Obu) noexcept
{
    bool const Extension = Obu.m_Whole[0] & 0x04;
    if(!Extension)
        return {0, 0};
    std::uint8_t const Byte = Obu.m_Whole[1];
    return {static_cast<std::uint8_t>(Byte >> 5), static_cast<std::uint8_t>((Byte >> 3) & 3)};
}
} // namespace

std::size_t Av1TileLocator::ReadFrameHeader(std::span<std::uint8_t const> Payload, std::uint8_t TemporalId, std::uint8_t SpatialId)
{
    CHECK_ARGUMENT(m_Sequence.has_value());
    FrameHeaderReading Reading(Payload, *m_Sequence, m_References);
    Reading.Read(TemporalId, SpatialId);
    m_SeenFrameHeader = !Reading.m_ShowExistingFrame;
    if(m_SeenFrameHeader)
        m_Layout = Reading.m_Layout;
    return Reading.m_Reader.GetBitPosition();
}

void Av1TileLocator::ReadTileGroup(std::span<std::uint8_t const> Sample, std::size_t Offset, std::size_t Size, std::vector<ProtectedRange>& Tiles)
{
    CHECK_ARGUMENT(m_SeenFrameHeader);
    unsigned const Count = m_Layout.m_Columns * m_Layout.m_Rows;
    RbspBitReader Reader(Sample.subspan(Offset, Size));
    unsigned First = 0;
    unsigned Last = Count - 1;
    if(Count > 1 && Reader.ReadFlag()) // tile_start_and_end_present_flag
    {
        unsigned const Bits = m_Layout.m_ColumnsLog2 + m_Layout.m_RowsLog2;
        First = Reader.ReadBits(Bits);
        Last = Reader.ReadBits(Bits);
        CHECK_ARGUMENT(First <= Last && Last < Count);
    }
    std::size_t Position = Offset + (Reader.GetBitPosition() + 7) / 8;
    std::size_t const End = Offset + Size;
    for(unsigned Tile = First; Tile <= Last; ++Tile)
    {
        std::size_t Length = End - Position;
        if(Tile != Last)
        {
            CHECK_ARGUMENT(End - Position >= m_Layout.m_SizeBytes);
            Length = 0;
            for(unsigned Byte = 0; Byte < m_Layout.m_SizeBytes; ++Byte)
                Length |= static_cast<std::size_t>(Sample[Position + Byte]) << (8 * Byte);
            Position += m_Layout.m_SizeBytes;
            ++Length;
            CHECK_ARGUMENT(Length <= End - Position);
        }
        Tiles.push_back({Position, Length});
        Position += Length;
    }
    if(Last == Count - 1)
        m_SeenFrameHeader = false;
}

std::vector<ProtectedRange> Av1TileLocator::FindTiles(std::span<std::uint8_t const> Sample)
{
    // Each sample is a temporal unit, which begins a frame anew.
    m_SeenFrameHeader = false;
    std::vector<ProtectedRange> Tiles;
    for(auto const& Obu : Av1Obu::Split(Sample))
    {
        auto const [TemporalId, SpatialId] = GetLayerIds(Obu);
        std::size_t const PayloadOffset = static_cast<std::size_t>(Obu.m_Payload.data() - Sample.data());
        switch(Obu.m_Type)
        {
        case Av1Obu::SequenceHeaderType:
            m_Sequence = Av1SequenceHeader::Read(Obu.m_Whole);
            break;
        case Av1Obu::FrameHeaderType:
        case RedundantFrameHeaderType:
            // Copies of the header of the frame under way change nothing.
            if(!m_SeenFrameHeader)
                ReadFrameHeader(Obu.m_Payload, TemporalId, SpatialId);
            break;
        case Av1Obu::FrameType:
        {
            CHECK_ARGUMENT(!m_SeenFrameHeader);
            std::size_t const HeaderSize = (ReadFrameHeader(Obu.m_Payload, TemporalId, SpatialId) + 7) / 8;
            CHECK_ARGUMENT(m_SeenFrameHeader && HeaderSize <= Obu.m_Payload.size());
            ReadTileGroup(Sample, PayloadOffset + HeaderSize, Obu.m_Payload.size() - HeaderSize, Tiles);
            break;
        }
        case Av1Obu::TileGroupType:
            ReadTileGroup(Sample, PayloadOffset, Obu.m_Payload.size(), Tiles);
            break;
        default:
            break;
        }
    }
    return Tiles;
}
} // namespace Mp4
