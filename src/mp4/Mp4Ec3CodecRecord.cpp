// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4Ec3CodecRecord.h"

#include "base/Check.h"
#include "mp4/Mp4RbspBitReader.h"
#include "mp4/Mp4StructureBoxes.h"
#include "mp4/Mp4TrackBuilder.h"

namespace Mp4
{
namespace
{
constexpr std::uint32_t SyncWord = 0x0B77;
constexpr std::uint32_t IndependentStream = 0;
constexpr std::uint8_t ReducedRateFscod = 3;
constexpr std::uint8_t FirstBsid = 11;
constexpr std::uint8_t LastBsid = 16;
constexpr std::uint32_t SampleRates[] = {48000, 44100, 32000};
constexpr std::uint32_t BlocksPerFrame[] = {1, 2, 3, 6}; // by numblkscod
constexpr std::uint32_t SamplesPerBlock = 256;
} // namespace

void Ec3CodecRecord::ParseFrame(std::span<std::uint8_t const> Frame)
{
    RbspBitReader Reader(Frame);
    CHECK_LINE(Reader.ReadBits(16) == SyncWord);
    CHECK_LINE(Reader.ReadBits(2) == IndependentStream); // strmtyp
    CHECK_LINE(Reader.ReadBits(3) == 0);                 // substreamid
    std::uint32_t const FrameWords = Reader.ReadBits(11) + 1;
    m_Fscod = static_cast<std::uint8_t>(Reader.ReadBits(2));
    CHECK_LINE(m_Fscod != ReducedRateFscod);
    std::uint32_t const Blocks = BlocksPerFrame[Reader.ReadBits(2)];
    m_Acmod = static_cast<std::uint8_t>(Reader.ReadBits(3));
    m_Lfeon = static_cast<std::uint8_t>(Reader.ReadBits(1));
    m_Bsid = static_cast<std::uint8_t>(Reader.ReadBits(5));
    CHECK_LINE(m_Bsid >= FirstBsid && m_Bsid <= LastBsid);
    Reader.SkipBits(5); // dialnorm
    if(Reader.ReadFlag())
        Reader.SkipBits(8); // compr
    if(m_Acmod == 0)
    {
        // The second channel of dual mono.
        Reader.SkipBits(5);
        if(Reader.ReadFlag())
            Reader.SkipBits(8);
    }
    CHECK_LINE(!Reader.ReadFlag()); // mixmdate
    m_Bsmod = Reader.ReadFlag() ? static_cast<std::uint8_t>(Reader.ReadBits(3)) : 0; // infomdate, bsmod
    // Bytes a frame times frames a second.
    std::uint64_t const BitsPerSecond = std::uint64_t{FrameWords} * 16 * SampleRates[m_Fscod] / (Blocks * SamplesPerBlock);
    m_DataRate = static_cast<std::uint16_t>(BitsPerSecond / 1000);
    m_Parsed = true;
}

void Ec3CodecRecord::InitializeSampleEntry(StsdBox& Stsd, AudioFormat const& Format) const
{
    CHECK_LINE(m_Parsed);
    Ec3Box& Entry = Stsd.m_Ec3Box;
    TrackBuilder::InitializeAudioSampleEntry(Entry, Format);
    Dec3Box& Dec3 = Entry.m_Dec3Box;
    Dec3.SetPresent();
    Dec3.m_DataRate = m_DataRate;
    Dec3.m_Fscod = m_Fscod;
    Dec3.m_Bsid = m_Bsid;
    Dec3.m_Bsmod = m_Bsmod;
    Dec3.m_Acmod = m_Acmod;
    Dec3.m_Lfeon = m_Lfeon;
}
} // namespace Mp4
