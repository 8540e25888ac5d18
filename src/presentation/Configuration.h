// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/QueryStringNameValue.h"
#include "presentation/BreakSettings.h"
#include "presentation/ChangeSchedule.h"
#include "presentation/FaultPlan.h"
#include "presentation/QueryReads.h"
#include "presentation/SteeringSettings.h"
#include "presentation/SubtitleFormat.h"
#include "presentation/ThumbnailLayout.h"
#include "presentation/VariantSet.h"

namespace Application
{
// The cipher of an encrypted asset; the values are the ones the packaging and
// the PlayReady header versions are keyed on.
enum class EncryptionScheme : std::uint32_t
{
    Cbcs = 1,            // AES-CBC pattern encryption, header version 4.3.0.0
    CencPlayReady42 = 2, // AES-CTR with a version 4.2.0.0 header; no query selects it
    Cenc = 4,            // AES-CTR, header version 4.0.0.0
};

using KeyBytes = std::array<std::uint8_t, 16>;

// Every encrypted asset uses this key ID; it is not configurable.
constexpr KeyBytes FixedKeyId{0xA3, 0xF1, 0xC6, 0xD2, 0x84, 0x7B, 0x4E, 0x09, 0xB5, 0xE2, 0xD7, 0xC8, 0x19, 0x6F, 0x3A, 0x40};
// Used when the query gives no "initializationvector".
constexpr KeyBytes DefaultInitializationVector{0x5C, 0x2E, 0x9A, 0x17, 0xB3, 0xD0, 0x4F, 0x68, 0xE1, 0xA7, 0xC9, 0x3B, 0x2D, 0x5F, 0x0A, 0x84};

// An on-demand playlist lists every segment of the presentation, so its length
// bounds the playlist's size (a day is 28,800 video entries); a live window
// bounds the live playlists the same way.
constexpr std::int32_t MaximalDurationSeconds = 86'400;
constexpr std::int64_t MaximalLiveWindow = std::int64_t{86'400} * 10'000'000;
constexpr std::int64_t DefaultPartDuration = 5'000'000;
// A part shorter than this would be a fraction of one picture at the highest
// frame rate; one longer than a segment is no part.
constexpr std::int64_t MinimalPartDuration = 1'000'000;
constexpr std::int64_t MaximalPartDuration = 100'000'000;
// Generated subtitle tracks: at most this many languages, each cue shown
// this long by default ("subsdur", milliseconds).
constexpr std::size_t MaximalSubtitleLanguages = 8;
constexpr std::int64_t DefaultSubtitleCueDuration = 9'000'000;

// "cc": the caption services the pictures carry (none by default).
enum class CaptionServices : std::uint32_t
{
    None,
    Cea608,
    Cea608And708,
};

// "segtimeline": how a regular dynamic DASH manifest addresses its segments.
enum class DashTimeline : std::uint32_t
{
    None,   // a template by number, no timeline
    Time,   // a SegmentTimeline, segments named by their start ($Time$)
    Number, // a SegmentTimeline, segments named by number ($Number$)
};

// One asset: the options of the manifest request that created it, its copy
// of the variant rows, and the live end point the master playlist sets.
struct Configuration
{
    std::uint32_t Asset = 0;
    std::int64_t BaseLiveTime = 0; // absolute time of segment 0 of the live timeline
    bool NoAudio = false;
    bool NoVideo = false;
    // "ch": the channels of every audio row, 2 or 6 (5.1, whose pictures
    // name the speaker sounding: SurroundSpeakers).
    std::uint32_t AudioChannels = AudioChannelCount;
    bool Surround() const noexcept { return AudioChannels == SurroundChannelCount && !NoAudio; }
    Application::VariantSet VariantSet;
    std::optional<std::int64_t> Duration;
    std::optional<std::int64_t> AudioTargetDuration;
    std::optional<std::int64_t> VideoTargetDuration;
    bool Live = false;
    std::optional<std::int64_t> LiveWindow;
    std::optional<std::int64_t> ProgramDateTimePeriod;
    std::string Scheme; // "cenc" or "cbcs" when encrypted
    Application::EncryptionScheme EncryptionScheme = Application::EncryptionScheme::Cbcs;
    std::vector<std::uint8_t> Key; // empty: clear asset
    std::vector<std::uint8_t> InitializationVector;
    std::string KeyFormat;
    // Relative to BaseLiveTime; set by the master playlist of a live asset
    // with a duration (Timeline::SetLiveEndTime), nothing until then.
    std::optional<std::int64_t> LiveEndTime;
    // "stop": the end of a live event, relative to BaseLiveTime ("start"
    // moves BaseLiveTime to the event's beginning). Its playlists list the
    // segments that begin before it and end there (Timeline), its dynamic
    // DASH manifest turns static.
    std::optional<std::int64_t> EventEnd;
    // "cp": the DASH manifest of an encrypted asset signals its protection
    // (DashContentProtection); by default players learn it from the media.
    bool ContentProtection = false;
    // "ll": low latency for a live asset; HLS playlists list parts of
    // PartDuration ("part", seconds, default half a second) and answer
    // blocking reloads, the DASH manifest is dynamic.
    bool LowLatency = false;
    // "dynamic" (DASH, live only): the regular dynamic manifest, without
    // low latency; its segments are offered once complete. Timeline is
    // "segtimeline", which it alone takes.
    bool Dynamic = false;
    Application::DashTimeline Timeline = Application::DashTimeline::None;
    std::int64_t PartDuration = DefaultPartDuration;
    // "iframes" (HLS only): the master playlist names an I-frame playlist
    // for every video row, listing the key picture each segment begins with
    // ("iframes.m3u8", the segment route's "iframe").
    bool IFrames = false;
    // "subs": one generated subtitle track per language (BCP 47 tags, in
    // the order given, the first the default); empty: none. Each cue lasts
    // SubtitleCueDuration ("subsdur") and shows at the top with "subsreg=top".
    // SubtitleCarriage is "subsformat" as given; SubtitleFormatOf says what a
    // protocol makes of its absence.
    std::vector<std::string> SubtitleLanguages;
    std::int64_t SubtitleCueDuration = DefaultSubtitleCueDuration;
    bool SubtitlesAtTop = false;
    std::optional<Application::SubtitleFormat> SubtitleCarriage;

    // WebVTT files for HLS, IMSC1 in MP4 for DASH, unless "subsformat" said.
    Application::SubtitleFormat SubtitleFormatOf(bool Hls) const noexcept
    {
        return SubtitleCarriage.value_or(Hls ? Application::SubtitleFormat::Vtt : Application::SubtitleFormat::Stpp);
    }
    bool HasSubtitle(std::string_view Language) const noexcept;
    // "cc": CEA-608 captions on CC1 (and CEA-708 service 1) in every
    // picture, signalled in the master playlist and the manifest.
    Application::CaptionServices Captions = Application::CaptionServices::None;
    // An ad's presentation (AdAssets): ad Number of the Count that fill
    // break Break of the asset. Its requests name it ("break", "ad").
    struct AdvertIdentity
    {
        std::uint32_t Break = 0;
        std::uint32_t Number = 0;
        std::uint32_t Count = 0;
    };
    std::optional<AdvertIdentity> Advert;
    // "asset=N", and for an ad "&break=K&ad=I": what names this presentation in its URLs.
    std::string AssetQuery() const;
    // "breaks" and the keys that go with it; nothing without.
    std::optional<BreakSettings> Breaks;
    // The segment duration breaks snap to: the first video row's, else the
    // audio's; with ads, the least common multiple of both (6 s for the
    // default rows).
    std::int64_t BreakGrid() const;

    // Changes mid-stream ("disc", "codecswitch", "sizeswitch", "clearlead",
    // "rotate"); empty: none. Snapped to ChangeGrid by the registry.
    ChangeSchedule Changes;
    // "codecswitch": the rows of the other video codec, one for each of
    // VariantSet's video rows, used in the schedule's odd periods.
    std::vector<VideoVariant> OtherCodecVariants;
    // "codecswitch=S:CODEC": the codec the video alternates with (HEVC,
    // AV1 or VP9; H.264 where the asset's own rows are of it already).
    VideoSubtype SwitchCodec = VideoSubtype::Hevc;
    // "audiokey": the audio's own key (ContentKeys); empty: the asset's.
    std::vector<std::uint8_t> AudioKey;
    // "inband" (DASH): the clear lead and the keys are said in the
    // fragments, not by periods.
    bool InbandKeys = false;
    // The kinds of change that begin a DASH period.
    std::uint32_t PeriodChanges() const noexcept;
    // The segment duration changes snap to: the least common multiple of
    // the first video row's and the audio row's (6 s for the default rows).
    std::int64_t ChangeGrid() const;
    // The video row of Variant's index as the media at Time has it: the
    // other codec's, and half the size, where the schedule says so.
    VideoVariant VideoVariantAt(VideoVariant const& Variant, ChangeState const& State) const;

    // "thumbs": tiles of thumbnails of the pictures (ThumbnailTrack); none without.
    std::optional<ThumbnailLayout> Thumbnails;
    // "steer": the pathways of content steering and how the steering
    // route orders them; nothing without.
    std::optional<SteeringSettings> Steering;

    // Test aids kept with the asset. "framecode": every picture carries a QR
    // code saying which frame it is, and the audio a marker at every whole
    // second (FrameCodePayload, ToneBurstSignal).
    bool FrameCode = false;
    // Fault rules ("fail", "delay", "throttle", "hang", "truncate",
    // "corrupt", "gap", "stale"; FaultParser); null without any. Shared by
    // copies, as it counts requests.
    std::shared_ptr<FaultPlan> Faults;

    Configuration() = default;
    // Parses every query key of a manifest request; the variant lists stay
    // empty. Now is the request's one clock reading (for "ls").
    Configuration(std::uint32_t Asset, std::int64_t BaseLiveTime, QueryVector const& Query, std::int64_t Now);
    // The same, noting in Query which keys the parse read.
    Configuration(std::uint32_t Asset, std::int64_t BaseLiveTime, QueryReads& Query, std::int64_t Now);

    // The reduced configuration of the progressive audio routes: audio only,
    // not live, "duration" and "flac" only.
    static Configuration ForAudioFile(QueryVector const& Query, std::vector<AudioVariant> const& DefaultAudioVariants);

    // Pairs of hexadecimal digits (either case) into bytes; with Length the
    // text must hold exactly that many bytes.
    static std::vector<std::uint8_t> ParseBase16(std::string_view Value, std::optional<std::size_t> Length = std::nullopt);
    // Bytes as pairs of upper-case hexadecimal digits.
    static std::string FormatBase16(std::span<std::uint8_t const> Bytes);

private:
    void ParseDuration(QueryReads& Query);
    void ParseLiveKeys(QueryReads& Query, std::int64_t Now);
    void ParseEventKeys(QueryReads& Query, std::int64_t Now);
    void ParseEncryptionKeys(QueryReads& Query);
    void ParseTestAids(QueryReads& Query);
    void ParseLowLatencyKeys(QueryReads& Query);
    void ParseSubtitleKeys(QueryReads& Query);
    void ParseBreakKeys(QueryReads& Query);
    void ParseChangeKeys(QueryReads& Query);
    void ParseThumbnails(QueryReads& Query);
    void ParseSteeringKeys(QueryReads& Query);
    // A fault rule limited to a pathway names one of "steer".
    void RefuseUnknownPathways() const;
};
} // namespace Application
