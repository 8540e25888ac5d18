// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

#include "mp4/Mp4HdrStaticMetadata.h"
#include "mp4/Mp4ProtectionBoxes.h"

// Sample entries and the codec configuration boxes inside them.
namespace Mp4
{
struct AvccBox : Box
{
    AvccBox() noexcept : Box(MakeFourCc("avcC")) { }
    void Write(BoxWriter& Writer) const;

    std::vector<std::uint8_t> m_SequenceParameterSet; // NAL unit without start code
    std::vector<std::uint8_t> m_PictureParameterSet;
    // Written for the High profiles only (H264SequenceParameterSet).
    std::uint8_t m_ChromaFormatIdc = 1;
    std::uint8_t m_BitDepthLumaMinus8 = 0;
    std::uint8_t m_BitDepthChromaMinus8 = 0;
};

struct HvccBox : Box
{
    HvccBox() noexcept : Box(MakeFourCc("hvcC")) { }
    void Write(BoxWriter& Writer) const;

    std::uint8_t m_GeneralProfileSpace = 0;
    std::uint8_t m_GeneralTierFlag = 0;
    std::uint8_t m_GeneralProfileIdc = 0;
    std::uint32_t m_GeneralProfileCompatibilityFlags = 0;
    std::array<std::uint8_t, 6> m_GeneralConstraintIndicatorFlags{};
    std::uint8_t m_GeneralLevelIdc = 0;
    std::uint8_t m_ChromaFormatIdc = 1;
    std::uint8_t m_BitDepthLumaMinus8 = 0;
    std::uint8_t m_BitDepthChromaMinus8 = 0;
    std::uint16_t m_AverageFrameRate = 0; // frames per 256 s, 0 when unknown
    std::uint8_t m_NumTemporalLayers = 1;
    bool m_TemporalIdNested = false;
    std::vector<std::uint8_t> m_VideoParameterSet;
    std::vector<std::uint8_t> m_SequenceParameterSet;
    std::vector<std::uint8_t> m_PictureParameterSet;
};

// The AV1 codec configuration: what a decoder is set up with, all of it
// from the sequence header, which configOBUs carries whole.
struct Av1cBox : Box
{
    Av1cBox() noexcept : Box(MakeFourCc("av1C")) { }
    void Write(BoxWriter& Writer) const;

    std::uint8_t m_SeqProfile = 0;
    std::uint8_t m_SeqLevelIdx0 = 0;
    std::uint8_t m_SeqTier0 = 0;
    bool m_HighBitdepth = false;
    bool m_TwelveBit = false;
    bool m_Monochrome = false;
    std::uint8_t m_ChromaSubsamplingX = 1;
    std::uint8_t m_ChromaSubsamplingY = 1;
    std::uint8_t m_ChromaSamplePosition = 0;
    std::vector<std::uint8_t> m_ConfigObus; // the sequence header OBU
};

// The VP9 codec configuration (version 1): profile, level, bit depth,
// chroma subsampling and colours, with no initialisation data, since key
// frames describe the stream themselves.
struct VpccBox : FullBox
{
    VpccBox() noexcept : FullBox(MakeFourCc("vpcC"), 1) { }
    void Write(BoxWriter& Writer) const;

    std::uint8_t m_Profile = 0;
    std::uint8_t m_Level = 0; // ten times the level: 31 for 3.1
    std::uint8_t m_BitDepth = 8;
    std::uint8_t m_ChromaSubsampling = 0; // 0 4:2:0 (chroma sited left), 1 4:2:0 co-sited, 2 4:2:2, 3 4:4:4
    bool m_FullRange = false;
    std::uint8_t m_ColourPrimaries = 2;
    std::uint8_t m_TransferCharacteristics = 2;
    std::uint8_t m_MatrixCoefficients = 2;
};

// An MPEG-4 systems descriptor: tag, a length in two 7-bit groups, payload.
// A parent's payload holds its children already encoded.
struct Descriptor
{
    void AppendTo(std::vector<std::uint8_t>& Output) const;

    std::uint8_t m_Tag = 0;
    std::vector<std::uint8_t> m_Data;
};

struct EsdsBox : FullBox
{
    EsdsBox() noexcept : FullBox(MakeFourCc("esds")) { }
    void Write(BoxWriter& Writer) const;

    std::vector<std::uint8_t> m_Data; // the encoded ES descriptor
};

struct DflaBox : FullBox
{
    DflaBox() noexcept : FullBox(MakeFourCc("dfLa")) { }
    void Write(BoxWriter& Writer) const;

    std::vector<std::uint8_t> m_StreamInfo; // STREAMINFO block data, written as the last metadata block
};

// The Opus decoder configuration record (Opus in ISO BMFF 4.3.2): version 0,
// the fields of an Ogg identification header, big-endian. Channel mapping
// family 0 (mono or stereo) has no mapping table; family 1 (up to eight
// channels in Vorbis order) names its streams and each channel's.
struct DopsBox : Box
{
    DopsBox() noexcept : Box(MakeFourCc("dOps")) { }
    void Write(BoxWriter& Writer) const;

    std::uint8_t m_OutputChannelCount = 0;
    std::uint16_t m_PreSkip = 0;
    std::uint32_t m_InputSampleRate = 0;
    std::int16_t m_OutputGain = 0; // 8.8 fixed point
    std::uint8_t m_ChannelMappingFamily = 0;
    std::uint8_t m_StreamCount = 0;
    std::uint8_t m_CoupledCount = 0;
    std::vector<std::uint8_t> m_ChannelMapping; // one per output channel
};

// The AC-3 specific box (ETSI TS 102 366 F.4): the bit stream information of
// the frames, and their bit rate as the frame size code's half.
struct Dac3Box : Box
{
    Dac3Box() noexcept : Box(MakeFourCc("dac3")) { }
    void Write(BoxWriter& Writer) const;

    std::uint8_t m_Fscod = 0;
    std::uint8_t m_Bsid = 0;
    std::uint8_t m_Bsmod = 0;
    std::uint8_t m_Acmod = 0;
    std::uint8_t m_Lfeon = 0;
    std::uint8_t m_BitRateCode = 0;
};

// The E-AC-3 specific box (ETSI TS 102 366 F.6) of a stream of one
// independent substream without dependent ones.
struct Dec3Box : Box
{
    Dec3Box() noexcept : Box(MakeFourCc("dec3")) { }
    void Write(BoxWriter& Writer) const;

    std::uint16_t m_DataRate = 0; // kbit/s
    std::uint8_t m_Fscod = 0;
    std::uint8_t m_Bsid = 0;
    std::uint8_t m_Bsmod = 0;
    std::uint8_t m_Acmod = 0;
    std::uint8_t m_Lfeon = 0;
};

// The colour description of a visual sample entry, as code points
// (ColourDescription): type nclx.
struct ColrBox : Box
{
    ColrBox() noexcept : Box(MakeFourCc("colr")) { }
    void Write(BoxWriter& Writer) const;

    std::uint16_t m_Primaries = 2;
    std::uint16_t m_Transfer = 2;
    std::uint16_t m_Matrix = 2;
    bool m_FullRange = false;
};

// The mastering display colour volume (HdrStaticMetadata's units).
struct MdcvBox : Box
{
    MdcvBox() noexcept : Box(MakeFourCc("mdcv")) { }
    void Write(BoxWriter& Writer) const;

    HdrStaticMetadata m_Metadata{};
};

// The content light levels (HdrStaticMetadata's).
struct ClliBox : Box
{
    ClliBox() noexcept : Box(MakeFourCc("clli")) { }
    void Write(BoxWriter& Writer) const;

    HdrStaticMetadata m_Metadata{};
};

struct VisualSampleEntryBox : Box
{
    using Box::Box;

    std::uint16_t m_Width = 0;
    std::uint16_t m_Height = 0;
    std::string m_CompressorName; // at most 31 characters
    // After the codec configuration, where present: the wide-gamut streams'.
    ColrBox m_ColrBox;
    MdcvBox m_MdcvBox;
    ClliBox m_ClliBox;
    SinfBox m_SinfBox;

protected:
    void WriteFields(BoxWriter& Writer) const;
    void WriteColourBoxes(BoxWriter& Writer) const;
};

// avc1, or encv when protected.
struct Avc1Box : VisualSampleEntryBox
{
    Avc1Box() noexcept : VisualSampleEntryBox(MakeFourCc("avc1")) { }
    void Write(BoxWriter& Writer) const;

    AvccBox m_AvccBox;
};

// hvc1, or encv when protected.
struct Hvc1Box : VisualSampleEntryBox
{
    Hvc1Box() noexcept : VisualSampleEntryBox(MakeFourCc("hvc1")) { }
    void Write(BoxWriter& Writer) const;

    HvccBox m_HvccBox;
};

// av01, or encv when protected.
struct Av01Box : VisualSampleEntryBox
{
    Av01Box() noexcept : VisualSampleEntryBox(MakeFourCc("av01")) { }
    void Write(BoxWriter& Writer) const;

    Av1cBox m_Av1cBox;
};

// vp09, or encv when protected.
struct Vp09Box : VisualSampleEntryBox
{
    Vp09Box() noexcept : VisualSampleEntryBox(MakeFourCc("vp09")) { }
    void Write(BoxWriter& Writer) const;

    VpccBox m_VpccBox;
};

struct AudioSampleEntryBox : Box
{
    using Box::Box;

    std::uint16_t m_ChannelCount = 0;
    std::uint16_t m_SampleSize = 16;
    std::uint32_t m_SampleRate = 0; // in Hz; written in 16.16
    SinfBox m_SinfBox;

protected:
    void WriteFields(BoxWriter& Writer) const;
};

// mp4a, or enca when protected.
struct Mp4aBox : AudioSampleEntryBox
{
    Mp4aBox() noexcept : AudioSampleEntryBox(MakeFourCc("mp4a")) { }
    void Write(BoxWriter& Writer) const;

    EsdsBox m_EsdsBox;
};

// fLaC, or enca when protected.
struct FlacBox : AudioSampleEntryBox
{
    FlacBox() noexcept : AudioSampleEntryBox(MakeFourCc("fLaC")) { }
    void Write(BoxWriter& Writer) const;

    DflaBox m_DflaBox;
};

// Opus, or enca when protected.
struct OpusBox : AudioSampleEntryBox
{
    OpusBox() noexcept : AudioSampleEntryBox(MakeFourCc("Opus")) { }
    void Write(BoxWriter& Writer) const;

    DopsBox m_DopsBox;
};

// ac-3, or enca when protected.
struct Ac3Box : AudioSampleEntryBox
{
    Ac3Box() noexcept : AudioSampleEntryBox(MakeFourCc("ac-3")) { }
    void Write(BoxWriter& Writer) const;

    Dac3Box m_Dac3Box;
};

// ec-3, or enca when protected.
struct Ec3Box : AudioSampleEntryBox
{
    Ec3Box() noexcept : AudioSampleEntryBox(MakeFourCc("ec-3")) { }
    void Write(BoxWriter& Writer) const;

    Dec3Box m_Dec3Box;
};
} // namespace Mp4
