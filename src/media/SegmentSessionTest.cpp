// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string_view>
#include <thread>

#include "base/FailureCodes.h"
#include "media/AudioMediaSource.h"
#include "media/AudioSession.h"
#include "media/MediaTestTools.h"
#include "media/SegmentWindow.h"
#include "media/VideoFrameGrid.h"
#include "media/VideoSession.h"
#include "mf/Guids.h"
#include "mf/MfTestTools.h"
#include "mf/Object.h"
#include "mf/Platform.h"
#include "mp4/Mp4TestBoxReader.h"
#include "presentation/DefaultVariantSets.h"

using namespace Application;

namespace
{
constexpr std::int64_t Second = 10'000'000;

AudioVariant Aac(std::optional<std::int64_t> Duration = std::nullopt)
{
    return {AudioSubtype::Aac, {}, 128, 6 * Second, Duration, "en"};
}

// The sequence number of each top-level moof of a fragmented MP4 piece.
std::vector<std::uint32_t> SequenceNumbers(std::vector<std::uint8_t> const& Data)
{
    std::vector<std::uint32_t> Result;
    for(auto const& Box : Mp4::Test::ReadBoxes(Data))
        if(Box.m_Type == "moof")
            Result.push_back(Mp4::Test::ReadU32(Box.Child("mfhd").m_Content, 4));
    return Result;
}

std::vector<std::uint8_t> Produce(SegmentSession& Session)
{
    Session.Run();
    return Session.GetOutput();
}

// What a body's fragments say of their one sample each: its decode time,
// and its duration, flags and composition offset (from the track fragment
// header's defaults or the run).
struct Fragments
{
    std::vector<std::int64_t> DecodeTimes;
    std::vector<std::array<std::int64_t, 3>> Rest;
};

Fragments Split(std::vector<SharedBytes> const& Writes)
{
    Fragments Result;
    for(auto const& Write : Writes)
    {
        auto const Top = Mp4::Test::ReadBoxes({Write->begin(), Write->end()});
        auto const& Traf = Top.at(0).Child("traf");
        auto const& Tfdt = Traf.Child("tfdt").m_Content;
        auto const U32 = [](std::vector<std::uint8_t> const& Bytes, std::size_t Offset) { return std::int64_t{Mp4::Test::ReadU32(Bytes, Offset)}; };
        Result.DecodeTimes.push_back(Tfdt[0] == 1 ? U32(Tfdt, 4) << 32 | U32(Tfdt, 8) : U32(Tfdt, 4));
        // The optional fields of tfhd and of trun (one sample), in order as
        // their flags name them: {flag, size, which of the sample's fields}.
        std::array<std::int64_t, 3> Sample{};
        auto const Read = [&](std::vector<std::uint8_t> const& Box, std::size_t Position, std::initializer_list<std::array<int, 3>> Fields) {
            for(auto const& [Flag, Size, Field] : Fields)
                if(U32(Box, 0) & Flag)
                {
                    if(Field >= 0)
                        Sample[Field] = U32(Box, Position);
                    Position += Size;
                }
        };
        Read(Traf.Child("tfhd").m_Content, 8, {{0x01, 8, -1}, {0x02, 4, -1}, {0x08, 4, 0}, {0x10, 4, -1}, {0x20, 4, 1}});
        Read(Traf.Child("trun").m_Content, 8, {{0x01, 4, -1}, {0x04, 4, 1}, {0x100, 4, 0}, {0x200, 4, -1}, {0x400, 4, 1}, {0x800, 4, 2}});
        Result.Rest.push_back(Sample);
    }
    return Result;
}

// The media timescale of a header's one track (mdhd version 0).
std::uint32_t TimescaleOf(SharedBytes const& Header)
{
    auto const Top = Mp4::Test::ReadBoxes({Header->begin(), Header->end()});
    return Mp4::Test::ReadU32(Top.at(1).Child("trak").Child("mdia").Child("mdhd").m_Content, 12);
}

Mp4::ProtectionSettings Cenc()
{
    Mp4::ProtectionSettings Settings;
    Settings.m_Scheme = Mp4::ProtectionScheme::Cenc;
    Settings.m_KeyIdentifier = Mp4::Test::Hex("a3f1c6d2847b4e09b5e2d7c8196f3a40");
    Settings.m_Key = Mp4::Test::Hex("3c4e5f60718293a4b5c6d7e8f9012345");
    Settings.m_InitializationVector = Mp4::Test::Hex("d5fbd6b82ed93e4ef98ae40931ee33b7");
    return Settings;
}

class SegmentSessionTest : public testing::Test
{
protected:
    MF::PlatformScope m_Platform;
    VideoSessionContext m_Context{std::nullopt};
};
} // namespace

TEST(SegmentWindow, SegmentsCoverTheirTimeAndNumberFragmentsByTheirPlaceOnTheGrid)
{
    DefaultVariantSets const Defaults;
    auto const& Video = Defaults.H264.VideoVariants;
    // Start, end, where the run starts and the first fragment's number.
    auto const Window = [](SegmentWindow const& Value) { return std::tuple(Value.Start, Value.End, Value.SourceStart, Value.FirstSequenceNumber); };
    EXPECT_EQ(Window(SegmentWindow::ForVideo(Video[0], 2)), std::tuple(6 * Second, 9 * Second, 6 * Second, 151u));
    EXPECT_EQ(SegmentWindow::ForVideo(Video[1], 2).FirstSequenceNumber, 7u);
    auto const Header = SegmentWindow::ForVideo(Video[0], std::nullopt);
    EXPECT_EQ(std::pair(Header.End, Header.FirstSequenceNumber), std::pair(std::int64_t{500'000}, 1u));

    // 29.97 fps in 6 s segments: segment 6 starts between frames 1078 and
    // 1079 and begins with the later one, which segment 5 does not have.
    VideoVariant Ntsc = Video[0];
    Ntsc.FrameRateN = 30000;
    Ntsc.FrameRateD = 1001;
    Ntsc.SegmentDuration = 6 * Second;
    VideoFrameGrid const Grid(30000, 1001);
    auto const Sixth = SegmentWindow::ForVideo(Ntsc, 6);
    EXPECT_EQ(Sixth.FirstSequenceNumber, 1080u);
    EXPECT_EQ(Sixth.SourceStart, Grid.FrameTime(1079));
    EXPECT_LT(Grid.FrameTime(1078), 36 * Second);

    // AAC: 6 s is 281.25 frames; the frames of segment 1 start at frame 282,
    // and its run starts two frames early.
    auto const Audio = SegmentWindow::ForAudio(Aac(), 1);
    EXPECT_EQ(Window(Audio), std::tuple(6 * Second, 12 * Second, 280 * 1024 * Second / 48000, 283u));
    EXPECT_GT(Audio.SourceEnd, 12 * Second);
    EXPECT_EQ(SegmentWindow::ForAudio(Aac(), 0).FirstSequenceNumber, 1u);
    // The last segment ends with the presentation; one past it is whole.
    EXPECT_EQ(SegmentWindow::ForAudio(Aac(20 * Second), 3).End, 20 * Second);
    EXPECT_EQ(SegmentWindow::ForAudio(Aac(20 * Second), 4).End, 30 * Second);
    // FLAC: 6.4 s is 75 blocks of 4096 samples.
    auto const Flac = SegmentWindow::ForAudio(Aac().FlacAlternative(), 1);
    EXPECT_EQ(std::tuple(Flac.SourceStart, Flac.SourceEnd, Flac.FirstSequenceNumber), std::tuple(64'000'000, 128'000'000, 76u));
    // Far segments of a live timeline wrap the 32-bit numbers and stay exact.
    auto const Far = SegmentWindow::ForVideo(Video[0], 0xFFFFFFFFu);
    EXPECT_EQ(std::pair(Far.Start, Far.FirstSequenceNumber), std::pair(std::int64_t{0xFFFFFFFF} * 3 * Second, static_cast<std::uint32_t>(std::int64_t{0xFFFFFFFF} * 75 + 1)));
}

// That video runs number their fragments on from each other, H.264 and
// HEVC alike, is judged end to end by test_conformance.py.
TEST_F(SegmentSessionTest, AudioSegmentsNumberTheirFragmentsOnTheFrameGridAndEndWithThePresentation)
{
    auto const Variant = Aac(15 * Second);
    AudioSession Header(Variant);
    Produce(Header);
    EXPECT_EQ(Header.GetCodecsString(), "mp4a.40.2");
    std::vector<std::uint32_t> Numbers;
    for(std::uint32_t Index : {0u, 1u, 2u})
    {
        AudioSession Body(Variant, Index);
        auto const Read = SequenceNumbers(Produce(Body));
        Numbers.insert(Numbers.end(), Read.begin(), Read.end());
    }
    // Frames that start before 15 s: 15 × 48000 / 1024 = 703.1, so 704.
    ASSERT_EQ(Numbers.size(), 704u);
    for(std::uint32_t Index = 0; Index < Numbers.size(); ++Index)
        ASSERT_EQ(Numbers[Index], Index + 1);
}

TEST_F(SegmentSessionTest, StreamedBodyHandsOverTheSameBytesWhileThePipelineRuns)
{
    AudioSession Whole(Aac(), 1);
    auto const Expected = Produce(Whole);
    AudioSession Streamed(Aac(), 1);
    std::vector<std::uint8_t> Received;
    int Deliveries = 0;
    std::size_t Fragments = 0;
    bool OtherThread = false;
    Streamed.SetDataCallback([&, RunThread = std::this_thread::get_id()](std::vector<SharedBytes> Writes) {
        ++Deliveries;
        OtherThread |= std::this_thread::get_id() != RunThread;
        for(auto const& Write : Writes)
        {
            // Each write is one whole fragment: a moof and its mdat.
            EXPECT_EQ(Mp4::Test::ReadU32(*Write, 4), 0x6d6f6f66u);
            Received.insert(Received.end(), Write->begin(), Write->end());
            ++Fragments;
        }
        return true;
    });
    Streamed.Run();
    EXPECT_GT(Deliveries, 1);
    EXPECT_FALSE(OtherThread) << "the data is handed over on the thread that runs the session";
    EXPECT_EQ(Received, Expected);
    EXPECT_EQ(Fragments, Whole.GetOutputWrites().size());
    EXPECT_TRUE(Streamed.GetOutputWrites().empty());
}

TEST_F(SegmentSessionTest, ReceiverThatGoesAwayStopsThePipelineAtOnce)
{
    auto const ThreadsBefore = MF::Testing::CountThreads();
    auto const ObjectsBefore = MF::Object::GetLiveCount();
    DefaultVariantSets const Defaults;
    // The receiver refuses the delivery after the accepted ones; a whole 720p
    // segment would take many more.
    for(int const Accepted : {0, 1, 5})
    {
        int Deliveries = 0;
        VideoSession Session(m_Context, Defaults.H264.VideoVariants[0], 3);
        Session.SetDataCallback([&](std::vector<SharedBytes>) { return Deliveries++ < Accepted; });
        EXPECT_EQ(MF::Testing::Raised([&] { Session.Run(); }), E_ABORT);
        // Nothing is delivered after the refusal: the run ends there.
        EXPECT_EQ(Deliveries, Accepted + 1);
    }
    EXPECT_TRUE(MF::Testing::WaitUntil([&] { return MF::Object::GetLiveCount() == ObjectsBefore; }));
    EXPECT_TRUE(MF::Testing::WaitUntil([&] { return MF::Testing::CountThreads() <= ThreadsBefore; }));
}

TEST_F(SegmentSessionTest, CancelStopsARunFromAnyThreadOrBeforeItStarts)
{
    DefaultVariantSets const Defaults;
    VideoSession Before(m_Context, Defaults.H264.VideoVariants[0], 3);
    Before.Cancel();
    EXPECT_EQ(MF::Testing::Raised([&] { Before.Run(); }), E_ABORT);
    // Cancelled by another thread once the first bytes are out, as a
    // client that leaves does.
    VideoSession During(m_Context, Defaults.H264.VideoVariants[0], 3);
    std::thread Canceller;
    During.SetDataCallback([&](std::vector<SharedBytes>) {
        if(!Canceller.joinable())
            Canceller = std::thread([&] { During.Cancel(); });
        return true;
    });
    EXPECT_EQ(MF::Testing::Raised([&] { During.Run(); }), E_ABORT);
    Canceller.join();
}

TEST_F(SegmentSessionTest, AudioSourceEndsAtTheDurationAndStartsAtTheNextSampleInstant)
{
    // A duration that is not a multiple of 10 ms cuts the last buffer, and
    // a start between two instants begins with the later one. Where the
    // samples sit and what they hold is read back end to end from the audio
    // markers (test_clock_and_frame_code.py).
    auto const Source = AudioMediaSource::Create();
    Source->SetMediaType(MediaTestTools::AudioType(MF::MFAudioFormat_PCM, 16));
    auto const Result = MediaTestTools::RunPipeline(Source, {}, 1, 250000);
    ASSERT_EQ(Result.Status, S_OK);
    ASSERT_EQ(Result.Samples.size(), 3u);
    EXPECT_EQ(Result.Samples[0]->GetSampleTime(), 208);
    EXPECT_EQ(MediaTestTools::Payload(*Result.Samples[0]).size(), 480u * 2 * 2);
    EXPECT_EQ(MediaTestTools::Payload(*Result.Samples[2]).size(), 239u * 2 * 2);
}

TEST_F(SegmentSessionTest, BreakAndChangeNoticesAndAdsReachThePicturesAndTheToneOfTheirSegmentOnly)
{
    // One second of small pictures: segment 1 covers [1 s, 2 s).
    VideoVariant Variant{0, VideoSubtype::H264, 320, 180, 25, 1, 200'000, "avc1.64000d", Second};
    auto const Video = [&](auto Configure) {
        VideoSession Session(m_Context, Variant, 1);
        Configure(Session);
        return Produce(Session);
    };
    auto const Plain = Video([](VideoSession&) {});
    // A break that begins more than four seconds after the segment, or ended
    // before it, leaves its pictures as they were.
    EXPECT_EQ(Video([](VideoSession& Session) { Session.SetBreakNotices({{1, 6 * Second + 1, Second}, {2, 0, Second}}); }), Plain);
    EXPECT_NE(Video([](VideoSession& Session) { Session.SetBreakNotices({{1, 5 * Second, Second}}); }), Plain);
    EXPECT_NE(Video([](VideoSession& Session) { Session.SetAdvert(1, 1); }), Plain);
    EXPECT_NE(Video([](VideoSession& Session) { Session.SetChangeNotice({2, "DISC 2"}); }), Plain);

    AudioSession PlainAudio(Aac(), 1);
    AudioSession Advert(Aac(), 1);
    Advert.SetAdvert(1);
    EXPECT_NE(Produce(Advert), Produce(PlainAudio));

    // Beyond the limit, refused before anything runs.
    VideoSession Refusing(m_Context, Variant, 1);
    EXPECT_ANY_THROW(Refusing.SetBreakNotices(std::vector<BreakNotice>(VideoSession::MaximalBreakNotices + 1, {1, Second, Second})));
    EXPECT_ANY_THROW(Refusing.SetChangeNotice({1, std::string(ChangeNotice::MaximalTextLength + 1, 'A')}));
    EXPECT_ANY_THROW(Refusing.SetChangeNotice({1, "DISC\n2"}));
}

TEST_F(SegmentSessionTest, TimeOriginRestartsTheFragmentsTimelineAndChangesNothingElse)
{
    // Small rows of 1 s segments, H.264 with B-pictures and HEVC at halves
    // of the default sizes (480x270: an odd half height); AAC whose segment
    // joints fall inside a frame; FLAC; one of them encrypted.
    VideoVariant const H264{0, VideoSubtype::H264, 320, 180, 25, 1, 200'000, "avc1.64000d", Second};
    VideoVariant const Hevc{1, VideoSubtype::Hevc, 480, 270, 25, 1, 300'000, "hvc1.1.6.L63.90", Second};
    AudioVariant AacRow = Aac();
    AacRow.SegmentDuration = 2 * Second;
    struct Case
    {
        char const* Name;
        std::function<std::unique_ptr<SegmentSession>(std::optional<std::uint32_t> Index)> Make;
        std::int64_t SegmentDuration;
        bool Encrypted;
    };
    Case const Cases[] = {
        {"H.264", [&](std::optional<std::uint32_t> Index) { return std::make_unique<VideoSession>(m_Context, H264, Index); }, Second, false},
        {"HEVC", [&](std::optional<std::uint32_t> Index) { return std::make_unique<VideoSession>(m_Context, Hevc, Index); }, Second, true},
        {"AAC", [&](std::optional<std::uint32_t> Index) { return std::make_unique<AudioSession>(AacRow, Index); }, 2 * Second, false},
        {"FLAC", [&](std::optional<std::uint32_t> Index) { return std::make_unique<AudioSession>(Aac().FlacAlternative(), Index); }, 64'000'000, false},
    };
    constexpr std::uint32_t Index = 3;
    for(auto const& Value : Cases)
    {
        auto const Run = [&](std::optional<std::uint32_t> Which, std::int64_t Origin) {
            auto Session = Value.Make(Which);
            if(Value.Encrypted)
                Session->SetEncryption(Cenc());
            Session->SetTimeOrigin(Origin);
            Session->Run();
            return Session->GetOutputWrites();
        };
        // A header ignores the origin: it has no sample times to shift.
        auto const Header = Run(std::nullopt, 0);
        ASSERT_EQ(Header.size(), 1u) << Value.Name;
        EXPECT_EQ(*Run(std::nullopt, 5 * Second).front(), *Header.front()) << Value.Name;
        std::uint32_t const Timescale = TimescaleOf(Header.front());
        auto const Unshifted = Split(Run(Index, 0));
        ASSERT_GT(Unshifted.DecodeTimes.size(), 20u) << Value.Name;
        for(std::uint32_t Boundary : {1u, 2u, Index})
        {
            std::int64_t const Origin = Boundary * Value.SegmentDuration;
            auto const Shifted = Split(Run(Index, Origin));
            std::int64_t const Shift = Origin * Timescale / Second;
            ASSERT_EQ(Shifted.DecodeTimes.size(), Unshifted.DecodeTimes.size()) << Value.Name;
            for(std::size_t Fragment = 0; Fragment < Unshifted.DecodeTimes.size(); ++Fragment)
            {
                EXPECT_EQ(Shifted.DecodeTimes[Fragment], Unshifted.DecodeTimes[Fragment] - Shift) << Value.Name << " fragment " << Fragment;
                EXPECT_EQ(Shifted.Rest[Fragment], Unshifted.Rest[Fragment]) << Value.Name << " fragment " << Fragment;
            }
        }
    }
    EXPECT_ANY_THROW(AudioSession(AacRow, 1).SetTimeOrigin(-1));
}

TEST_F(SegmentSessionTest, ASegmentAtItsOwnOriginIsTimedAsTheFirstSegment)
{
    // The encoder's reorder delay makes the first samples of a run decode
    // a fraction of a frame apart; at the origin a later segment does so
    // exactly as segment 0 does, from decode time 0.
    VideoVariant const Variant{0, VideoSubtype::H264, 320, 180, 25, 1, 200'000, "avc1.64000d", Second};
    auto const Timing = [&](std::uint32_t Index) {
        VideoSession Session(m_Context, Variant, Index);
        Session.SetTimeOrigin(Index * Second);
        Session.Run();
        return Split(Session.GetOutputWrites());
    };
    auto const First = Timing(0);
    ASSERT_EQ(First.DecodeTimes.size(), 25u);
    EXPECT_EQ(First.DecodeTimes.front(), 0);
    // Where the B-pictures go depends on the pictures, so composition
    // offsets may differ; decode times do not.
    EXPECT_EQ(Timing(4).DecodeTimes, First.DecodeTimes);
}
