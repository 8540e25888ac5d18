// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/OptionTable.h"

#include <limits>
#include <vector>

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "presentation/ChangeSchedule.h"
#include "presentation/Configuration.h"
#include "presentation/DashPeriod.h"
#include "presentation/DeliveryDirectives.h"
#include "presentation/JsonText.h"
#include "presentation/QueryNumbers.h"
#include "presentation/SegmentIndex.h"
#include "presentation/Timeline.h"

namespace Application
{
namespace
{
using Names = std::vector<std::string_view>;

constexpr OptionGroup GroupRows[]{
    {"presentation", "Presentation"},
    {"live", "Live and low latency"},
    {"codecs", "Codecs"},
    {"text", "Text and captions"},
    {"breaks", "Ad breaks and events"},
    {"changes", "Changes mid-stream"},
    {"encryption", "Encryption"},
    {"steering", "Content steering"},
    {"faults", "Faults"},
    {"clock", "Clock and frame code"},
    // Keys that name things after the manifest; the home page's form leaves them out.
    {"addressing", "Addressing"},
};

Names const Manifests{"master.m3u8", "manifest.mpd"};
// The playlists that block and skip at low latency, and the segments they list in parts.
Names const LowLatencyPlaylists{"video.m3u8", "audio.m3u8", "subtitles.m3u8"};
Names const PartedSegments{"video-body.mp4", "audio-body.mp4", "subtitles.vtt", "subtitles-body.mp4"};
Names const AllSegments{"video-body.mp4", "audio-body.mp4", "subtitles.vtt", "subtitles-body.mp4", "thumbs.jpg"};
Names const SubtitleRequests{"subtitles.m3u8", "subtitles.vtt", "subtitles-header.mp4", "subtitles-body.mp4"};
Names const AudioRequests{"audio.m3u8", "audio-header.mp4", "audio-body.mp4"};
Names const LanguageRequests{"subtitles.m3u8", "subtitles.vtt", "subtitles-header.mp4", "subtitles-body.mp4", "audio.m3u8", "audio-header.mp4", "audio-body.mp4"};
Names const MediaRequests{"video.m3u8", "iframes.m3u8", "audio.m3u8", "video-header.mp4", "video-body.mp4", "audio-header.mp4", "audio-body.mp4"};
Names const AssetRoutes{"video.m3u8", "iframes.m3u8", "audio.m3u8", "subtitles.m3u8", "key", "clearkey", "video-header.mp4", "video-body.mp4", "audio-header.mp4",
                        "audio-body.mp4", "subtitles.vtt", "subtitles-header.mp4", "subtitles-body.mp4", "thumbs.m3u8", "thumbs.jpg", "session", "adlist.json",
                        "ad.m3u8", "steering"};
// What a pathway serves: the playlists, keys and media, never the asset's own routes.
Names const PathwayRoutes{"video.m3u8", "iframes.m3u8", "audio.m3u8", "subtitles.m3u8", "key", "video-header.mp4", "video-body.mp4", "audio-header.mp4",
                          "audio-body.mp4", "subtitles.vtt", "subtitles-header.mp4", "subtitles-body.mp4"};

constexpr double MaximalSeconds = MaximalTimeSeconds;
constexpr double Int32Maximum = std::numeric_limits<std::int32_t>::max();
constexpr double Int32Minimum = std::numeric_limits<std::int32_t>::min();
constexpr double Uint32Maximum = std::numeric_limits<std::uint32_t>::max();
// The largest integer a double holds exactly: 28 years in 100 ns units.
constexpr double MaximalSegmentTime = 9'007'199'254'740'992.0;
// A time's smallest step, 100 ns: "above zero".
constexpr double OneTimeUnit = 1.0 / TimeUnitsPerSecond;

QueryOption FlagRow(std::string_view Name, std::string_view Group, Names Routes, std::string_view Help)
{
    QueryOption Option;
    Option.Name = Name;
    Option.Group = Group;
    Option.Kind = OptionKind::Flag;
    Option.Routes = std::move(Routes);
    Option.Help = Help;
    return Option;
}

QueryOption NumberRow(std::string_view Name, std::string_view Group, OptionKind Kind, std::optional<double> Minimum, std::optional<double> Maximum,
                   std::string_view Default, Names Routes, std::string_view Help)
{
    QueryOption Option = FlagRow(Name, Group, std::move(Routes), Help);
    Option.Kind = Kind;
    Option.Minimum = Minimum;
    Option.Maximum = Maximum;
    Option.Default = Default;
    return Option;
}

// A number that names a thing: digits only, refused with Failure.
QueryOption DigitsRow(std::string_view Name, double Minimum, double Maximum, std::string_view Default, Names Routes, HRESULT Failure, std::string_view Help)
{
    QueryOption Option = NumberRow(Name, "addressing", OptionKind::Integer, Minimum, Maximum, Default, std::move(Routes), Help);
    Option.Digits = OptionDigits::Strict;
    Option.Failure = Failure;
    return Option;
}

QueryOption TextRow(std::string_view Name, std::string_view Group, Names Routes, HRESULT Failure, std::string_view Help, std::string_view Example)
{
    QueryOption Option = FlagRow(Name, Group, std::move(Routes), Help);
    Option.Kind = OptionKind::Text;
    Option.Failure = Failure;
    Option.Example = Example;
    return Option;
}

QueryOption HexRow(std::string_view Name, std::string_view Default, std::string_view Help)
{
    QueryOption Option = FlagRow(Name, "encryption", Manifests, Help);
    Option.Kind = OptionKind::Hex;
    Option.Bytes = 16;
    Option.Default = Default;
    return Option;
}

QueryOption KeyIdRow(std::string_view Name, std::string_view Help)
{
    QueryOption Option = HexRow(Name, "", Help);
    Option.Group = "addressing";
    Option.Routes = {"key"};
    Option.Failure = FailureCode::KeyUnknown;
    return Option;
}

QueryOption ChoiceRow(std::string_view Name, std::string_view Group, Names Choices, std::string_view Default, Names Routes, HRESULT Failure,
                   std::string_view Help)
{
    QueryOption Option = FlagRow(Name, Group, std::move(Routes), Help);
    Option.Kind = OptionKind::Choice;
    Option.Choices = std::move(Choices);
    Option.Default = Default;
    Option.Failure = Failure;
    return Option;
}

QueryOption OnlyOn(QueryOption Option, std::string_view Choice, std::string_view Route)
{
    Option.ChoiceRoutes.emplace_back(Choice, Route);
    return Option;
}

QueryOption FaultRow(std::string_view Name, std::string_view Help, std::string_view Example)
{
    return TextRow(Name, "faults", Manifests, FailureCode::FaultRuleInvalid, Help, Example);
}

std::vector<QueryOption> MakeRows()
{
    auto const Ratio = static_cast<double>(TimeUnitsPerSecond);
    std::vector<QueryOption> Rows{
        FlagRow("noaudio", "presentation", Manifests, "no audio track"),
        FlagRow("novideo", "presentation", Manifests, "no video track"),
        NumberRow("duration", "presentation", OptionKind::Integer, 1, MaximalDurationSeconds, "18 (on-demand)", {"master.m3u8", "manifest.mpd", "audio.mp4", "audio.mp4.html"},
               "length in whole seconds (audio.mp4: at most 3600); live: where the presentation ends"),
        NumberRow("atd", "presentation", OptionKind::Time, OneTimeUnit, MaximalSeconds, "the segment duration", Manifests,
               "audio target duration: the longest an audio segment is said to last"),
        NumberRow("vtd", "presentation", OptionKind::Time, OneTimeUnit, MaximalSeconds, "the segment duration", Manifests,
               "video target duration: the longest a video segment is said to last"),
        FlagRow("trickplay", "presentation", {"manifest.mpd"}, "adds the 1 fps trick-play video representation"),
        TextRow("thumbs", "presentation", Manifests, FailureCode::ThumbnailsInvalid,
                "JPEG tiles of thumbnails of the pictures, CxR@S: C columns and R rows (1 to 10) of 256-pixel-wide thumbnails, one every S whole "
                "seconds (1 to 60); either part may be left out, empty is 5x5@2 (an HLS image playlist, a DASH image adaptation set)",
                "5x5@2"),
        FlagRow("iframes", "presentation", {"master.m3u8"},
                "an I-frame playlist for every video variant, listing the key picture each segment begins with (not with ll or novideo)"),

        FlagRow("live", "live", Manifests, "a live presentation: playlists list a window that slides with the clock"),
        NumberRow("lv", "live", OptionKind::Time, 0, static_cast<double>(MaximalLiveWindow) / Ratio, "30", Manifests,
               "live only: the window, in seconds, the playlists list"),
        NumberRow("ls", "live", OptionKind::Time, -MaximalSeconds, MaximalSeconds, "10 (with now)", Manifests,
               "live only: the timeline begins this many seconds before the manifest's clock reading (else before the server's start)"),
        TextRow("start", "live", Manifests, FailureCode::EventInvalid,
                "live only: a live event begins then (segment 0), a UTC time or seconds from the manifest's clock reading, within a day of it; "
                "DASH with dynamic or ll; not with ls",
                "2026-12-08T22:00:00Z"),
        TextRow("stop", "live", Manifests, FailureCode::EventInvalid,
                "live only: the live event ends then, a UTC time or seconds from the manifest's clock reading, within a day of it and after start: "
                "the playlists end, the DASH manifest turns static; DASH with dynamic or ll; not with duration",
                "3600"),
        NumberRow("pdt", "live", OptionKind::Time, -MaximalSeconds, MaximalSeconds, "", Manifests,
               "live only: EXT-X-PROGRAM-DATE-TIME on a segment every so many seconds (0: on every segment)"),
        FlagRow("ll", "live", Manifests, "live only: low latency, HLS parts and blocking reloads, a dynamic DASH manifest"),
        FlagRow("dynamic", "live", {"manifest.mpd"},
                "live only: a regular dynamic DASH manifest (no low latency), segments by number, each offered once complete; not with ll, ads or changes"),
        ChoiceRow("segtimeline", "live", {"time", "number"}, "time", {"manifest.mpd"}, E_INVALIDARG,
                  "with dynamic: a SegmentTimeline of the window's segments, addressed by their start time ($Time$) or by number"),
        NumberRow("part", "live", OptionKind::Time, static_cast<double>(MinimalPartDuration) / Ratio, static_cast<double>(MaximalPartDuration) / Ratio, "0.5", Manifests, "with ll: the length of a part"),

        FlagRow("hvc1", "codecs", {"master.m3u8"}, "HEVC video instead of H.264"),
        FlagRow("av1", "codecs", Manifests, "AV1 video instead of H.264 (without captions)"),
        FlagRow("vp9", "codecs", Manifests, "VP9 video instead of H.264 (without captions)"),
        ChoiceRow("hdr", "codecs", {"pq", "hlg"}, "", Manifests, E_INVALIDARG,
                  "10-bit BT.2020 video with the PQ (HDR10: mastering display and light levels) or HLG transfer: HEVC Main10 in both manifests, "
                  "or AV1 10-bit with av1; not with vp9 or codecswitch"),
        FlagRow("flac", "codecs", {"master.m3u8", "audio.mp4", "audio.mp4.html"}, "FLAC audio instead of AAC"),
        ChoiceRow("ch", "codecs", {"2", "6"}, "2", Manifests, E_INVALIDARG,
                  "audio channels: 6 is 5.1, each second's tone from the next speaker round the room and the pictures naming it (not with flac)"),
        TextRow("audio", "codecs", Manifests, E_INVALIDARG,
                "the audio in 1 to 3 codecs of aac, opus, ac3, ec3, comma-separated, each the same content: an audio group (HLS) or adaptation set (DASH) each, "
                "for players to choose among",
                "aac,ec3"),

        TextRow("lang", "codecs", Manifests, E_INVALIDARG,
                "1 to 8 BCP 47 language tags, comma-separated, each different: an audio rendition each (in each codec of audio), the first the default, "
                "each with a pitch of its own and its name spoken every 10 s",
                "en,fr,de"),
        TextRow("describes", "codecs", Manifests, E_INVALIDARG,
                "a language tag of lang (en without it): adds that language's audio description rendition", "en"),
        TextRow("subs", "text", Manifests, FailureCode::SubtitlesInvalid,
             "1 to 8 BCP 47 language tags, comma-separated, each different: a generated subtitle track each, the first the default", "en,sv"),
        NumberRow("subsdur", "text", OptionKind::Integer, 100, 1000, "900", Manifests, "with subs: how many milliseconds each cue shows (one starts every second)"),
        ChoiceRow("subsreg", "text", {"top", "bottom"}, "bottom", Manifests, E_INVALIDARG, "with subs: where the cues show"),
        OnlyOn(ChoiceRow("subsformat", "text", {"stpp", "wvtt", "vtt"}, "vtt (HLS), stpp (DASH)", Manifests, E_INVALIDARG,
                         "with subs: IMSC1 in MP4, WebVTT in MP4, or WebVTT files (HLS only)"),
               "vtt", "master.m3u8"),
        ChoiceRow("cc", "text", {"608", "608,708"}, "", Manifests, E_INVALIDARG,
               "captions in the video: CEA-608 on CC1 (608,708: and CEA-708 service 1) naming the media time"),

        TextRow("breaks", "breaks", Manifests, FailureCode::BreaksInvalid,
             "ad breaks on segment boundaries: D seconds every P seconds (P:D), or at given times (@S:D,@S:D), whole seconds", "60:10"),
        TextRow("signal", "breaks", Manifests, FailureCode::BreaksInvalid,
             "with breaks: the signals, a subset of daterange and cue (HLS), eventstream and emsg (DASH); all by default", "daterange,emsg"),
        NumberRow("lead", "breaks", OptionKind::Time, 0, static_cast<double>(BreakSettings::MaximalLead) / Ratio, "4", Manifests,
               "with breaks: how many seconds before a break the segment with its first emsg begins"),
        ChoiceRow("scte", "breaks", {"insert", "timesignal"}, "insert", Manifests, E_INVALIDARG,
               "with breaks: SCTE-35 splice_insert, or time_signal with placement opportunity descriptors"),
        NumberRow("ads", "breaks", OptionKind::Integer, 1, BreakSettings::MaximalAds, "", Manifests,
               "with breaks: that many generated ads fill each break (HLS interstitials, DASH ad periods)"),

        NumberRow("disc", "changes", OptionKind::Integer, 1, ChangeSchedule::MaximalSeconds, "", Manifests,
               "every so many seconds of media the decode timeline restarts at 0 (HLS discontinuities, DASH periods)"),
        TextRow("codecswitch", "changes", Manifests, FailureCode::ChangesInvalid,
             "every so many seconds the video switches between H.264 and HEVC (S or S:hevc), AV1 (S:av1) or VP9 (S:vp9)", "30"),
        NumberRow("sizeswitch", "changes", OptionKind::Integer, 1, ChangeSchedule::MaximalSeconds, "", Manifests,
               "every so many seconds every video row switches between its size and half of it"),
        NumberRow("clearlead", "changes", OptionKind::Integer, 1, ChangeSchedule::MaximalSeconds, "", Manifests,
               "with key: the first so many seconds are clear, encryption begins after them"),
        NumberRow("rotate", "changes", OptionKind::Integer, 1, ChangeSchedule::MaximalSeconds, "", Manifests,
               "with key: a new key and key ID every so many seconds, worked out from the key"),
        FlagRow("inband", "changes", {"manifest.mpd"},
                "with clearlead or rotate: no period per key; the fragments name their keys ('seig' sample groups, a 'pssh' in each moof)"),

        HexRow("key", "", "encrypts the media with this 16-byte key (key ID A3F1C6D2847B4E09B5E2D7C8196F3A40)"),
        ChoiceRow("scheme", "encryption", {"cenc", "cbcs"}, "cenc", Manifests, E_INVALIDARG, "with key: AES-CTR (cenc) or AES-CBC pattern encryption (cbcs)"),
        HexRow("initializationvector", "5C2E9A17B3D04F68E1A7C93B2D5F0A84", "with key: the initialisation vector"),
        TextRow("keyformat", "encryption", {"master.m3u8"}, E_INVALIDARG,
             "with key: the HLS key tags, c adds one naming the key route, p leaves out the PlayReady one", "cp"),
        HexRow("audiokey", "", "with key: the audio's own 16-byte key (key ID of the video's with its first byte inverted)"),
        FlagRow("cp", "encryption", {"manifest.mpd"}, "with key: content protection descriptors in the manifest, so players need no key configuration"),

        TextRow("steer", "steering", Manifests, FailureCode::SteeringInvalid,
                "content steering: 1 to 4 pathways (CDNs), names of letters and digits, comma-separated, the first the default; every variant "
                "and rendition once per pathway (HLS), a BaseURL each (DASH), and the steering route",
                "a,b"),
        NumberRow("steerrotate", "steering", OptionKind::Integer, 1, MaximalDurationSeconds, "", Manifests,
                  "with steer: the steering manifest puts the next pathway first every so many seconds of the asset's clock"),
        NumberRow("steerttl", "steering", OptionKind::Integer, 1, 3600, "10", Manifests, "with steer: the seconds a player keeps a steering manifest (TTL)"),

        FaultRow("fail", "answers the selected requests with a status (400 to 599), xN: the first N requests only", "503x1@video:5"),
        FaultRow("delay", "sends the first byte so many milliseconds later (up to 600000)", "800@audio:*"),
        FaultRow("throttle", "sends at most so many bytes per second", "64000@video:%3"),
        FaultRow("hang", "sends the head and then nothing until the client leaves", "@video:7"),
        FaultRow("truncate", "ends the body after that share or that many bytes", "50%@video:2"),
        FaultRow("corrupt", "inverts bytes inside the media data, every box kept", "@video:4"),
        FaultRow("gap", "EXT-X-GAP on the segment in the HLS playlists, 404 on its request", "@video:3"),
        FaultRow("stale", "answers a playlist asked for within so many milliseconds with the last one again", "6000@playlist:*"),

        TextRow("now", "clock", {"master.m3u8", "manifest.mpd", "video.m3u8", "iframes.m3u8", "audio.m3u8", "subtitles.m3u8", "thumbs.m3u8", "video-body.mp4", "audio-body.mp4", "subtitles.vtt", "subtitles-body.mp4", "thumbs.jpg", "time", "steering"},
             FailureCode::NowInvalid,
             "the time to take instead of the clock, milliseconds since 1970 or UTC (any route refuses a malformed one)", "2026-12-06T10:00:00Z"),
        FlagRow("framecode", "clock", Manifests, "every picture carries a QR code saying which frame it is, the audio a marker every second"),

        NumberRow("asset", "addressing", OptionKind::Integer, std::nullopt, std::nullopt, "", AssetRoutes, "the asset a manifest made"),
        NumberRow("variant", "addressing", OptionKind::Integer, std::nullopt, std::nullopt, "", {"video.m3u8", "iframes.m3u8", "video-header.mp4", "video-body.mp4"},
               "the video variant, from 0"),
        FlagRow("iframe", "addressing", {"video-body.mp4"}, "the segment's key picture alone, its first fragment: an entry of an I-frame playlist"),
        DigitsRow("index", 0, Uint32Maximum, "", AllSegments, FailureCode::SegmentNumberMalformed, "the segment number"),
        DigitsRow("baseIndex", Int32Minimum, Int32Maximum, "0", AllSegments, FailureCode::SegmentNumberMalformed,
               "subtracted from index (DASH periods that begin past segment 0)"),
        DigitsRow("time", 0, MaximalSegmentTime, "", {"video-body.mp4", "audio-body.mp4", "subtitles-body.mp4", "thumbs.jpg"}, FailureCode::SegmentNumberMalformed,
                  "instead of index: the segment's start in 100 ns units ($Time$ of a SegmentTimeline)"),
        DigitsRow("part", 0, Int32Maximum, "", PartedSegments, FailureCode::PartInvalid, "low latency: the part of the segment, from 0"),
        DigitsRow("period", 0, static_cast<double>(DashPeriods.size() - 1), "0", AllSegments, FailureCode::PeriodInvalid, "the DASH period"),
        DigitsRow("at", 0, Uint32Maximum, "0", {"video-header.mp4", "audio-header.mp4"}, FailureCode::SegmentNumberMalformed,
               "the initialisation segment of the media from this segment on (changes mid-stream)"),
        KeyIdRow("kid", "the key of this key ID (key rotation, audiokey); the first key without"),
        TextRow("lang", "addressing", LanguageRequests, FailureCode::SubtitleLanguageUnknown,
                "the subtitle track or the audio rendition, by the language tag subs or lang gave", "sv"),
        FlagRow("describes", "addressing", AudioRequests, "with lang: the audio description rendition of that language"),
        DigitsRow("break", 1, Uint32Maximum, "", {"adlist.json", "ad.m3u8", "video.m3u8", "audio.m3u8", "video-body.mp4", "audio-body.mp4"},
               FailureCode::BreakUnknown, "an ad break, from 1"),
        DigitsRow("ad", 1, BreakSettings::MaximalAds, "", {"ad.m3u8", "video.m3u8", "audio.m3u8", "video-body.mp4", "audio-body.mp4"},
               FailureCode::BreakUnknown, "an ad of a break, from 1"),
        ChoiceRow("audio", "addressing", {"aac", "opus", "ac3", "ec3"}, "", AudioRequests, FailureCode::AudioRowUnknown,
                  "the audio row of an asset with several, by its codec; the first without"),
        NumberRow("color", "addressing", OptionKind::Integer, std::nullopt, std::nullopt, "", {"video-body.mp4", "thumbs.jpg"}, "picks one of the three box colours"),
        DigitsRow(ExtraVideoSegmentsKey, 0, static_cast<double>(MaximalListedSegmentCount), "0", {"video.m3u8", "video-body.mp4"},
               FailureCode::SegmentNumberMalformed, "lists that many segments past the end, which makes them the asset's"),
        DigitsRow(DeliveryDirectives::MsnKey, 0, Uint32Maximum, "", LowLatencyPlaylists, FailureCode::DeliveryDirectiveInvalid,
               "low latency: answer once the playlist holds this segment"),
        DigitsRow(DeliveryDirectives::PartKey, 0, Uint32Maximum, "", LowLatencyPlaylists, FailureCode::DeliveryDirectiveInvalid,
               "low latency, with the segment number: answer once the playlist holds this part of it"),
        ChoiceRow(DeliveryDirectives::SkipKey, "addressing", {"YES", "v2"}, "", LowLatencyPlaylists, FailureCode::DeliveryDirectiveInvalid,
               "low latency: a delta update, without the older segments (v2: and date ranges)"),
        NumberRow("Variant", "addressing", OptionKind::Integer, std::nullopt, std::nullopt, "0", {"webcodecs-videodecoder-A.html"}, "the default H.264 variant whose settings the page starts from"),
        NumberRow("FrameSizeW", "addressing", OptionKind::Integer, std::nullopt, std::nullopt, "", {"webcodecs-videodecoder-A.html"},
               "with FrameSizeH: the picture width, even, up to 3840"),
        NumberRow("FrameSizeH", "addressing", OptionKind::Integer, std::nullopt, std::nullopt, "", {"webcodecs-videodecoder-A.html"},
               "with FrameSizeW: the picture height, even, up to 2160"),
        NumberRow("FrameRateN", "addressing", OptionKind::Integer, std::nullopt, std::nullopt, "", {"webcodecs-videodecoder-A.html"},
               "with FrameRateD: the frame rate's numerator"),
        NumberRow("FrameRateD", "addressing", OptionKind::Integer, std::nullopt, std::nullopt, "", {"webcodecs-videodecoder-A.html"},
               "with FrameRateN: the frame rate's denominator"),
        NumberRow("SegmentDuration", "addressing", OptionKind::Integer, std::nullopt, std::nullopt, "", {"webcodecs-videodecoder-A.html"},
               "the segment's length in whole seconds, at most 1500 pictures"),
        NumberRow("frame", "addressing", OptionKind::Integer, std::nullopt, std::nullopt, "", {"webcodecs-videodecoder-A"}, "a picture of the last page, from 0"),
        ChoiceRow("format", "addressing", {"json", "csv"}, "json", {"session"}, FailureCode::SessionQueryInvalid, "the form of the requests' record"),
        DigitsRow("from", 0, Uint32Maximum, "0", {"session"}, FailureCode::SessionQueryInvalid, "only records numbered from this one on"),
        TextRow("pathway", "addressing", PathwayRoutes, FailureCode::PathwayUnknown,
                "with steer: the pathway the request came by (DASH puts it in the path, pathway/NAME/)", "b"),
        TextRow("prefer", "addressing", {"steering"}, FailureCode::PathwayUnknown,
                "puts this pathway first in the asset's steering manifests from now on (empty: the order of steer again)", "b"),
        TextRow("_HLS_pathway", "addressing", {"steering"}, FailureCode::SteeringInvalid, "the pathway the HLS player is on (the player adds it)", "a"),
        DigitsRow("_HLS_throughput", 0, MaximalSegmentTime, "", {"steering"}, FailureCode::SteeringInvalid,
                  "the HLS player's throughput in bits per second (the player adds it)"),
        TextRow("_DASH_pathway", "addressing", {"steering"}, FailureCode::SteeringInvalid,
                "the service locations the DASH player used, quoted, the latest last (the player adds it)", "\"a,b\""),
        TextRow("_DASH_throughput", "addressing", {"steering"}, FailureCode::SteeringInvalid,
                "the DASH player's throughput on each of them in bits per second, empty where unknown (the player adds it)", "4800000,"),
        TextRow("CMCD", "addressing", MediaRequests, E_INVALIDARG, "Common Media Client Data of the player, recorded with the request (never changes the answer)",
             "bl=12300,br=2400,ot=v,sid=\"6e2c\""),
    };
    return Rows;
}

std::vector<QueryOption> const& Rows()
{
    static std::vector<QueryOption> const Made = MakeRows();
    return Made;
}

std::string JsonNumber(std::optional<double> Value)
{
    return Value ? QueryOption::FormatNumber(*Value) : "null";
}

std::string JsonStrings(std::vector<std::string_view> const& Texts)
{
    std::string Result = "[";
    for(std::size_t Index = 0; Index < Texts.size(); ++Index)
        (Result += Index == 0 ? "" : ",") += JsonString(Texts[Index]);
    return Result + "]";
}

// {"choice":"route",...}
std::string JsonChoiceRoutes(std::vector<std::pair<std::string_view, std::string_view>> const& Pairs)
{
    std::string Result = "{";
    for(std::size_t Index = 0; Index < Pairs.size(); ++Index)
        ((Result += Index == 0 ? "" : ",") += JsonString(Pairs[Index].first) + ":") += JsonString(Pairs[Index].second);
    return Result + "}";
}
} // namespace

std::span<OptionGroup const> OptionTable::Groups()
{
    return GroupRows;
}

std::span<QueryOption const> OptionTable::Options()
{
    return Rows();
}

namespace
{
enum class RowUse
{
    Any,
    Kept,
    Addressing,
};

QueryOption const& Find(std::string_view Name, std::optional<OptionKind> Kind, RowUse Use)
{
    QueryOption const* Found = nullptr;
    std::size_t Count = 0;
    for(auto const& Option : Rows())
        if(Option.Named(Name) && (!Kind || Option.Kind == *Kind) && (Use == RowUse::Any || (Option.Group == "addressing") == (Use == RowUse::Addressing)))
        {
            Found = &Option;
            ++Count;
        }
    if(Count != 1)
        ThrowCheckFailure(E_UNEXPECTED, TRACE_CONTEXT(), "OptionTable::Get",
                          StringFormat("The query key \"%.*s\"%s is read but %s", static_cast<int>(Name.size()), Name.data(),
                                       Kind ? (" (" + std::string(OptionKindName(*Kind)) + ")").c_str() : "",
                                       Count == 0 ? "has no row in the option table" : "names several rows of the option table"));
    return *Found;
}
} // namespace

QueryOption const& OptionTable::Get(std::string_view Name, std::optional<OptionKind> Kind)
{
    return Find(Name, Kind, RowUse::Any);
}

QueryOption const& OptionTable::Kept(std::string_view Name, std::optional<OptionKind> Kind)
{
    return Find(Name, Kind, RowUse::Kept);
}

QueryOption const& OptionTable::Addressing(std::string_view Name, std::optional<OptionKind> Kind)
{
    return Find(Name, Kind, RowUse::Addressing);
}

std::string OptionTable::Json()
{
    std::string Text = "{\"groups\":[";
    for(std::size_t Index = 0; Index < std::size(GroupRows); ++Index)
        Text += StringFormat("%s{\"id\":%s,\"title\":%s}", Index == 0 ? "" : ",", JsonString(GroupRows[Index].Id).c_str(),
                             JsonString(GroupRows[Index].Title).c_str());
    Text += "],\n\"options\":[";
    bool First = true;
    for(auto const& Option : Rows())
    {
        Text += First ? "\n" : ",\n";
        First = false;
        Text += "{\"name\":" + JsonString(Option.Name) + ",\"alias\":" + JsonString(Option.Alias) + ",\"group\":" + JsonString(Option.Group) +
                ",\"kind\":" + JsonString(OptionKindName(Option.Kind)) + ",\"minimum\":" + JsonNumber(Option.Minimum) +
                ",\"maximum\":" + JsonNumber(Option.Maximum) + ",\"default\":" + JsonString(Option.Default) + ",\"choices\":" + JsonStrings(Option.Choices) +
                ",\"routes\":" + JsonStrings(Option.Routes) + ",\"choiceRoutes\":" + JsonChoiceRoutes(Option.ChoiceRoutes) +
                ",\"help\":" + JsonString(Option.Help) + ",\"example\":" + JsonString(Option.Example) + "}";
    }
    return Text + "]}\n";
}
} // namespace Application
