// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4SinkTestTools.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

#include "mf/Guids.h"
#include "mp4/Mp4TestBytes.h"

namespace Mp4::Test
{
std::uint32_t RecordingByteStream::Write(std::uint8_t const* Buffer, std::uint32_t Count)
{
    m_WriteVector.emplace_back(Buffer, Buffer + Count);
    return Count;
}

std::shared_ptr<MF::MediaType> MakeVideoType(MF::Guid const& Subtype, VideoSettings const& Settings)
{
    auto Type = std::make_shared<MF::MediaType>();
    Type->SetGUID(MF::MF_MT_MAJOR_TYPE, MF::MFMediaType_Video);
    Type->SetGUID(MF::MF_MT_SUBTYPE, Subtype);
    Type->SetSize(MF::MF_MT_FRAME_SIZE, Settings.m_Width, Settings.m_Height);
    Type->SetRatio(MF::MF_MT_FRAME_RATE, Settings.m_FrameRateNumerator, Settings.m_FrameRateDenominator);
    return Type;
}

std::shared_ptr<MF::MediaType> MakeAudioType(MF::Guid const& Subtype, std::vector<std::uint8_t> UserData)
{
    auto Type = std::make_shared<MF::MediaType>();
    Type->SetGUID(MF::MF_MT_MAJOR_TYPE, MF::MFMediaType_Audio);
    Type->SetGUID(MF::MF_MT_SUBTYPE, Subtype);
    Type->SetUINT32(MF::MF_MT_AUDIO_SAMPLES_PER_SECOND, 48000);
    Type->SetUINT32(MF::MF_MT_AUDIO_NUM_CHANNELS, 2);
    Type->SetUINT32(MF::MF_MT_AVG_BITRATE, 128000);
    if(!UserData.empty())
        Type->SetBlob(MF::MF_MT_USER_DATA, std::move(UserData));
    return Type;
}

std::shared_ptr<MF::Sample> MakeSample(EncodedFrame const& Frame, bool WithDecodeTime)
{
    auto Sample = MF::Sample::Create();
    Sample->AddBuffer(MF::MediaBuffer::CreateFrom(Frame.m_Data));
    Sample->SetSampleTime(Frame.m_Time);
    Sample->SetSampleDuration(Frame.m_Duration);
    Sample->SetUINT32(MF::MFSampleExtension_CleanPoint, Frame.m_KeyFrame ? 1 : 0);
    if(WithDecodeTime && Frame.m_DecodeTime)
        Sample->SetINT64(MF::MFSampleExtension_DecodeTimestamp, *Frame.m_DecodeTime);
    if(Frame.m_SampleCount || Frame.m_Position)
    {
        Sample->SetUINT32(MF::MFSampleExtension_FlacSampleCount, Frame.m_SampleCount);
        Sample->SetUINT64(MF::MFSampleExtension_FlacSamplePosition, Frame.m_Position);
    }
    return Sample;
}

void SinkRun::Start(std::shared_ptr<MF::MediaType> const& Type, std::int64_t StartOffset)
{
    m_StreamSink = m_Sink->AddStreamSink(1, Type);
    m_Sink->SetPresentationClock(m_Clock);
    m_Clock->Start(StartOffset);
}

std::vector<std::uint8_t> SinkRun::GetFile() const
{
    std::vector<std::uint8_t> File;
    for(auto const& Write : m_ByteStream->m_WriteVector)
        File.insert(File.end(), Write.begin(), Write.end());
    return File;
}

std::vector<std::uint32_t> TakeEvents(MF::IMediaEventGenerator& Generator)
{
    std::vector<std::uint32_t> Types;
    for(;;)
    {
        try
        {
            Types.push_back(Generator.GetEvent(MF::MF_EVENT_FLAG_NO_WAIT)->GetType());
        }
        catch(HResultError const&)
        {
            return Types;
        }
    }
}

std::vector<std::uint32_t> SinkRun::TakeStreamEvents()
{
    return TakeEvents(*m_StreamSink);
}

std::vector<std::uint8_t> Package(std::shared_ptr<MF::MediaType> const& Type, std::vector<std::shared_ptr<MF::Sample>> const& Samples,
                                  ProtectionSettings const& Protection, std::uint32_t FirstSequenceNumber, std::int64_t StartOffset)
{
    SinkRun Run;
    Run.m_Sink->SetFirstSequenceNumber(FirstSequenceNumber);
    Run.m_Sink->SetProtection(Protection);
    Run.Start(Type, StartOffset);
    for(auto const& Sample : Samples)
        Run.m_StreamSink->ProcessSample(Sample);
    Run.m_Clock->Stop();
    Run.m_Sink->Shutdown();
    return Run.GetFile();
}

TemporaryFile::TemporaryFile(std::vector<std::uint8_t> const& Bytes)
{
    std::string Template = (std::filesystem::temp_directory_path() / "quorvel-mp4-XXXXXX").string();
    int const Descriptor = mkstemp(Template.data());
    if(Descriptor < 0)
        throw std::runtime_error("mkstemp");
    close(Descriptor);
    m_Path = Template;
    std::ofstream(m_Path, std::ios::binary).write(reinterpret_cast<char const*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
}

TemporaryFile::~TemporaryFile()
{
    // QUORVEL_KEEP_TEST_FILES keeps the files for a look with other tools.
    if(!std::getenv("QUORVEL_KEEP_TEST_FILES"))
        std::remove(m_Path.c_str());
}

std::string RunCommand(std::string const& Command)
{
    std::string Output;
    FILE* const Pipe = popen(Command.c_str(), "r");
    if(!Pipe)
        throw std::runtime_error("popen");
    std::array<char, 4096> Buffer;
    while(std::size_t const Count = std::fread(Buffer.data(), 1, Buffer.size(), Pipe))
        Output.append(Buffer.data(), Count);
    pclose(Pipe);
    return Output;
}

std::string DecodedFrameDigests(std::string const& Path, std::string const& KeyHex)
{
    std::string const Key = KeyHex.empty() ? std::string() : " -decryption_key " + KeyHex;
    return RunCommand("ffmpeg -v error" + Key + " -i '" + Path + "' -map 0:0 -f framemd5 - 2>&1");
}
} // namespace Mp4::Test

namespace Mp4::Test
{
std::string ReadPayloads(std::vector<std::uint8_t> const& File, std::string const& KeyHex)
{
    // Top-level boxes: ftyp, moov, then moof and mdat pairs.
    std::vector<std::pair<std::size_t, std::size_t>> Boxes;
    for(std::size_t Offset = 0; Offset + 8 <= File.size();)
    {
        std::size_t const Size = ReadU32(File, Offset);
        if(Size < 8 || Offset + Size > File.size())
            throw std::runtime_error("malformed top-level box");
        Boxes.emplace_back(Offset, Size);
        Offset += Size;
    }
    if(Boxes.size() < 2 || Boxes.size() % 2)
        throw std::runtime_error("not an initialisation segment and whole fragments");
    std::size_t const HeaderSize = Boxes[1].first + Boxes[1].second;
    std::string const Key = KeyHex.empty() ? std::string() : " -decryption_key " + KeyHex;
    std::string Payloads;
    for(std::size_t Index = 2; Index < Boxes.size(); Index += 2)
    {
        std::vector<std::uint8_t> Single(File.begin(), File.begin() + static_cast<std::ptrdiff_t>(HeaderSize));
        auto const FragmentBegin = File.begin() + static_cast<std::ptrdiff_t>(Boxes[Index].first);
        Single.insert(Single.end(), FragmentBegin, FragmentBegin + static_cast<std::ptrdiff_t>(Boxes[Index].second + Boxes[Index + 1].second));
        TemporaryFile const Fragment(Single);
        Payloads += RunCommand("ffmpeg -v error" + Key + " -i '" + Fragment.GetPath() + "' -map 0:0 -c copy -f data - 2>/dev/null");
    }
    return Payloads;
}
} // namespace Mp4::Test
