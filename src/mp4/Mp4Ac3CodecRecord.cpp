// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4Ac3CodecRecord.h"

#include "base/Check.h"
#include "mp4/Mp4RbspBitReader.h"
#include "mp4/Mp4StructureBoxes.h"
#include "mp4/Mp4TrackBuilder.h"

namespace Mp4
{
namespace
{
constexpr std::uint32_t SyncWord = 0x0B77;
constexpr std::uint8_t ReservedFscod = 3;
constexpr std::uint8_t FrmsizecodCount = 38; // 19 rates, two sizes each
constexpr std::uint8_t LastAc3Bsid = 8;
} // namespace

void Ac3CodecRecord::ParseFrame(std::span<std::uint8_t const> Frame)
{
    RbspBitReader Reader(Frame);
    CHECK_LINE(Reader.ReadBits(16) == SyncWord);
    Reader.SkipBits(16); // crc1
    m_Fscod = static_cast<std::uint8_t>(Reader.ReadBits(2));
    m_Frmsizecod = static_cast<std::uint8_t>(Reader.ReadBits(6));
    CHECK_LINE(m_Fscod != ReservedFscod && m_Frmsizecod < FrmsizecodCount);
    m_Bsid = static_cast<std::uint8_t>(Reader.ReadBits(5));
    CHECK_LINE(m_Bsid <= LastAc3Bsid);
    m_Bsmod = static_cast<std::uint8_t>(Reader.ReadBits(3));
    m_Acmod = static_cast<std::uint8_t>(Reader.ReadBits(3));
    // The mixing levels of the channel modes that have them, then the LFE flag.
    if((m_Acmod & 1) != 0 && m_Acmod != 1)
        Reader.SkipBits(2); // cmixlev
    if((m_Acmod & 4) != 0)
        Reader.SkipBits(2); // surmixlev
    if(m_Acmod == 2)
        Reader.SkipBits(2); // dsurmod
    m_Lfeon = static_cast<std::uint8_t>(Reader.ReadBits(1));
    m_Parsed = true;
}

void Ac3CodecRecord::InitializeSampleEntry(StsdBox& Stsd, AudioFormat const& Format) const
{
    CHECK_LINE(m_Parsed);
    Ac3Box& Entry = Stsd.m_Ac3Box;
    TrackBuilder::InitializeAudioSampleEntry(Entry, Format);
    Dac3Box& Dac3 = Entry.m_Dac3Box;
    Dac3.SetPresent();
    Dac3.m_Fscod = m_Fscod;
    Dac3.m_Bsid = m_Bsid;
    Dac3.m_Bsmod = m_Bsmod;
    Dac3.m_Acmod = m_Acmod;
    Dac3.m_Lfeon = m_Lfeon;
    // The two frame sizes of a rate differ in the low bit only (44.1 kHz).
    Dac3.m_BitRateCode = static_cast<std::uint8_t>(m_Frmsizecod >> 1);
}
} // namespace Mp4
