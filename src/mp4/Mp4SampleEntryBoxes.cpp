// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4SampleEntryBoxes.h"

#include "base/Check.h"
#include "mp4/Mp4BoxWriter.h"
#include "mp4/Mp4H264SequenceParameterSet.h"

namespace Mp4
{
namespace
{
constexpr std::uint32_t UnityMatrixResolution = 0x00480000; // 72 dpi in 16.16

void AppendParameterSet(BoxWriter& Writer, std::vector<std::uint8_t> const& ParameterSet)
{
    ASSERT(ParameterSet.size() <= 0xFFFF);
    Writer.AppendU16(static_cast<std::uint16_t>(ParameterSet.size()));
    Writer.AppendBytes(ParameterSet);
}

void AppendNalUnitArray(BoxWriter& Writer, std::uint8_t NalUnitType, std::vector<std::uint8_t> const& NalUnit)
{
    Writer.AppendU8(static_cast<std::uint8_t>(0x80 | NalUnitType)); // array_completeness 1
    Writer.AppendU16(1);
    AppendParameterSet(Writer, NalUnit);
}
} // namespace

void AvccBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        ASSERT(m_SequenceParameterSet.size() >= 4);
        Writer.AppendU8(1);
        Writer.AppendBytes({m_SequenceParameterSet.data() + 1, 3}); // profile, compatibility, level
        Writer.AppendU8(0xFF);                                      // lengthSizeMinusOne 3
        Writer.AppendU8(0xE1);                                      // one sequence parameter set
        AppendParameterSet(Writer, m_SequenceParameterSet);
        Writer.AppendU8(1);
        AppendParameterSet(Writer, m_PictureParameterSet);
        if(H264SequenceParameterSet::HasFormatFields(m_SequenceParameterSet[1]))
        {
            Writer.AppendU8(static_cast<std::uint8_t>(0xFC | (m_ChromaFormatIdc & 0x03)));
            Writer.AppendU8(static_cast<std::uint8_t>(0xF8 | (m_BitDepthLumaMinus8 & 0x07)));
            Writer.AppendU8(static_cast<std::uint8_t>(0xF8 | (m_BitDepthChromaMinus8 & 0x07)));
            Writer.AppendU8(0); // numOfSequenceParameterSetExt
        }
    });
}

void HvccBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        Writer.AppendU8(1);
        Writer.AppendU8(static_cast<std::uint8_t>((m_GeneralProfileSpace & 0x03) << 6 | (m_GeneralTierFlag & 0x01) << 5 | (m_GeneralProfileIdc & 0x1F)));
        Writer.AppendU32(m_GeneralProfileCompatibilityFlags);
        Writer.AppendBytes(m_GeneralConstraintIndicatorFlags);
        Writer.AppendU8(m_GeneralLevelIdc);
        Writer.AppendU16(0xF000); // min_spatial_segmentation_idc 0: no promise about slices
        Writer.AppendU8(0xFC);    // parallelismType 0
        Writer.AppendU8(static_cast<std::uint8_t>(0xFC | (m_ChromaFormatIdc & 0x03)));
        Writer.AppendU8(static_cast<std::uint8_t>(0xF8 | (m_BitDepthLumaMinus8 & 0x07)));
        Writer.AppendU8(static_cast<std::uint8_t>(0xF8 | (m_BitDepthChromaMinus8 & 0x07)));
        Writer.AppendU16(m_AverageFrameRate);
        // constantFrameRate 0, temporal layers, nesting, lengthSizeMinusOne 3
        Writer.AppendU8(static_cast<std::uint8_t>((m_NumTemporalLayers & 0x07) << 3 | (m_TemporalIdNested ? 0x04 : 0) | 0x03));
        Writer.AppendU8(3);
        AppendNalUnitArray(Writer, 32, m_VideoParameterSet);
        AppendNalUnitArray(Writer, 33, m_SequenceParameterSet);
        AppendNalUnitArray(Writer, 34, m_PictureParameterSet);
    });
}

void Av1cBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        Writer.AppendU8(0x81); // marker 1, version 1
        Writer.AppendU8(static_cast<std::uint8_t>((m_SeqProfile & 0x07) << 5 | (m_SeqLevelIdx0 & 0x1F)));
        Writer.AppendU8(static_cast<std::uint8_t>((m_SeqTier0 & 0x01) << 7 | (m_HighBitdepth ? 0x40 : 0) | (m_TwelveBit ? 0x20 : 0) | (m_Monochrome ? 0x10 : 0) |
                                                  (m_ChromaSubsamplingX & 0x01) << 3 | (m_ChromaSubsamplingY & 0x01) << 2 | (m_ChromaSamplePosition & 0x03)));
        Writer.AppendU8(0); // no initial presentation delay
        Writer.AppendBytes(m_ConfigObus);
    });
}

void VpccBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        Writer.AppendU8(m_Profile);
        Writer.AppendU8(m_Level);
        Writer.AppendU8(static_cast<std::uint8_t>((m_BitDepth & 0x0F) << 4 | (m_ChromaSubsampling & 0x07) << 1 | (m_FullRange ? 1 : 0)));
        Writer.AppendU8(m_ColourPrimaries);
        Writer.AppendU8(m_TransferCharacteristics);
        Writer.AppendU8(m_MatrixCoefficients);
        Writer.AppendU16(0); // codecInitializationDataSize
    });
}

void Descriptor::AppendTo(std::vector<std::uint8_t>& Output) const
{
    // Two 7-bit groups hold lengths up to 16,383.
    ASSERT(m_Data.size() < (1 << (7 + 7)));
    Output.push_back(m_Tag);
    Output.push_back(static_cast<std::uint8_t>(0x80 | (m_Data.size() >> 7)));
    Output.push_back(static_cast<std::uint8_t>(m_Data.size() & 0x7F));
    Output.insert(Output.end(), m_Data.begin(), m_Data.end());
}

void EsdsBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] { Writer.AppendBytes(m_Data); });
}

void DflaBox::Write(BoxWriter& Writer) const
{
    Writer.WriteFullBox(*this, [&] {
        Writer.AppendU8(0x80); // last metadata block, type 0 (STREAMINFO)
        Writer.AppendU24(static_cast<std::uint32_t>(m_StreamInfo.size()));
        Writer.AppendBytes(m_StreamInfo);
    });
}

void DopsBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        Writer.AppendU8(0); // Version
        Writer.AppendU8(m_OutputChannelCount);
        Writer.AppendU16(m_PreSkip);
        Writer.AppendU32(m_InputSampleRate);
        Writer.AppendU16(static_cast<std::uint16_t>(m_OutputGain));
        Writer.AppendU8(m_ChannelMappingFamily);
        if(m_ChannelMappingFamily == 0)
            return;
        ASSERT(m_ChannelMapping.size() == m_OutputChannelCount);
        Writer.AppendU8(m_StreamCount);
        Writer.AppendU8(m_CoupledCount);
        Writer.AppendBytes(m_ChannelMapping);
    });
}

void Dac3Box::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        // fscod 2, bsid 5, bsmod 3, acmod 3, lfeon 1, bit_rate_code 5, reserved 5
        std::uint32_t const Bits = (m_Fscod & 0x03u) << 22 | (m_Bsid & 0x1Fu) << 17 | (m_Bsmod & 0x07u) << 14 | (m_Acmod & 0x07u) << 11 |
                                   (m_Lfeon & 0x01u) << 10 | (m_BitRateCode & 0x1Fu) << 5;
        Writer.AppendU24(Bits);
    });
}

void Dec3Box::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        Writer.AppendU16(static_cast<std::uint16_t>((m_DataRate & 0x1FFFu) << 3)); // data_rate 13, num_ind_sub 3 (one substream)
        // fscod 2, bsid 5, reserved 1, asvc 1, bsmod 3, acmod 3, lfeon 1,
        // reserved 3, num_dep_sub 4, reserved 1
        std::uint32_t const Bits = (m_Fscod & 0x03u) << 22 | (m_Bsid & 0x1Fu) << 17 | (m_Bsmod & 0x07u) << 12 | (m_Acmod & 0x07u) << 9 |
                                   (m_Lfeon & 0x01u) << 8;
        Writer.AppendU24(Bits);
    });
}

void VisualSampleEntryBox::WriteFields(BoxWriter& Writer) const
{
    ASSERT(m_CompressorName.size() < 32);
    Writer.AppendZeros(6);
    Writer.AppendU16(1); // data_reference_index
    Writer.AppendZeros(2 + 2 + 3 * 4);
    Writer.AppendU16(m_Width);
    Writer.AppendU16(m_Height);
    Writer.AppendU32(UnityMatrixResolution);
    Writer.AppendU32(UnityMatrixResolution);
    Writer.AppendU32(0);
    Writer.AppendU16(1); // frame_count
    Writer.AppendU8(static_cast<std::uint8_t>(m_CompressorName.size()));
    Writer.AppendBytes({reinterpret_cast<std::uint8_t const*>(m_CompressorName.data()), m_CompressorName.size()});
    Writer.AppendZeros(31 - m_CompressorName.size());
    Writer.AppendU16(0x0018); // depth
    Writer.AppendU16(0xFFFF); // pre_defined
}

void ColrBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        Writer.AppendU32(MakeFourCc("nclx"));
        Writer.AppendU16(m_Primaries);
        Writer.AppendU16(m_Transfer);
        Writer.AppendU16(m_Matrix);
        Writer.AppendU8(m_FullRange ? 0x80 : 0); // full_range_flag, 7 bits reserved
    });
}

void MdcvBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        for(std::size_t Index = 0; Index < 3; ++Index)
        {
            Writer.AppendU16(m_Metadata.m_PrimariesX[Index]);
            Writer.AppendU16(m_Metadata.m_PrimariesY[Index]);
        }
        Writer.AppendU16(m_Metadata.m_WhitePointX);
        Writer.AppendU16(m_Metadata.m_WhitePointY);
        Writer.AppendU32(m_Metadata.m_MaximalLuminance);
        Writer.AppendU32(m_Metadata.m_MinimalLuminance);
    });
}

void ClliBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        Writer.AppendU16(m_Metadata.m_MaximalContentLightLevel);
        Writer.AppendU16(m_Metadata.m_MaximalFrameAverageLightLevel);
    });
}

void VisualSampleEntryBox::WriteColourBoxes(BoxWriter& Writer) const
{
    m_ColrBox.Write(Writer);
    m_MdcvBox.Write(Writer);
    m_ClliBox.Write(Writer);
}

void Avc1Box::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        WriteFields(Writer);
        m_AvccBox.Write(Writer);
        WriteColourBoxes(Writer);
        m_SinfBox.Write(Writer);
    });
}

void Hvc1Box::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        ASSERT(m_HvccBox.IsPresent());
        WriteFields(Writer);
        m_HvccBox.Write(Writer);
        WriteColourBoxes(Writer);
        m_SinfBox.Write(Writer);
    });
}

void Av01Box::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        ASSERT(m_Av1cBox.IsPresent());
        WriteFields(Writer);
        m_Av1cBox.Write(Writer);
        WriteColourBoxes(Writer);
        m_SinfBox.Write(Writer);
    });
}

void Vp09Box::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        ASSERT(m_VpccBox.IsPresent());
        WriteFields(Writer);
        m_VpccBox.Write(Writer);
        WriteColourBoxes(Writer);
        m_SinfBox.Write(Writer);
    });
}

void AudioSampleEntryBox::WriteFields(BoxWriter& Writer) const
{
    Writer.AppendZeros(6);
    Writer.AppendU16(1); // data_reference_index
    Writer.AppendZeros(8);
    Writer.AppendU16(m_ChannelCount);
    Writer.AppendU16(m_SampleSize);
    Writer.AppendZeros(4);
    // A rate that 16.16 cannot hold is left to the codec box, which carries it too.
    Writer.AppendU32(m_SampleRate <= 0xFFFF ? m_SampleRate << 16 : 0);
}

void Mp4aBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        ASSERT(m_EsdsBox.IsPresent());
        WriteFields(Writer);
        m_EsdsBox.Write(Writer);
        m_SinfBox.Write(Writer);
    });
}

void FlacBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        ASSERT(m_DflaBox.IsPresent());
        WriteFields(Writer);
        m_DflaBox.Write(Writer);
        m_SinfBox.Write(Writer);
    });
}

void OpusBox::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        ASSERT(m_DopsBox.IsPresent());
        WriteFields(Writer);
        m_DopsBox.Write(Writer);
        m_SinfBox.Write(Writer);
    });
}

void Ac3Box::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        ASSERT(m_Dac3Box.IsPresent());
        WriteFields(Writer);
        m_Dac3Box.Write(Writer);
        m_SinfBox.Write(Writer);
    });
}

void Ec3Box::Write(BoxWriter& Writer) const
{
    Writer.WriteBox(*this, [&] {
        ASSERT(m_Dec3Box.IsPresent());
        WriteFields(Writer);
        m_Dec3Box.Write(Writer);
        m_SinfBox.Write(Writer);
    });
}
} // namespace Mp4
