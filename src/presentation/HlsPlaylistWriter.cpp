// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/HlsPlaylistWriter.h"

#include <algorithm>
#include <limits>

#include "base/Check.h"
#include "base/StringFormat.h"
#include "presentation/Base64.h"
#include "presentation/DecimalText.h"
#include "presentation/HlsBreakTags.h"
#include "presentation/HlsChangeTags.h"
#include "presentation/LanguageTag.h"
#include "presentation/LowLatencyPlaylist.h"
#include "presentation/PlayReadyHeader.h"
#include "presentation/QueryNumbers.h"
#include "presentation/SegmentIndex.h"
#include "presentation/SubtitleTrack.h"
#include "presentation/ThumbnailTrack.h"
#include "presentation/Timeline.h"

namespace Application
{
namespace
{
class PlaylistText
{
public:
    void Line(std::string_view Text)
    {
        m_Text += Text;
        m_Text += "\r\n";
    }
    std::string Take() { return std::move(m_Text); }

private:
    std::string m_Text;
};

std::string QuotedCodecs(std::string const& Codecs)
{
    return "CODECS=\"" + Codecs + "\"";
}

// "&pathway=a" in every address of a pathway's playlists; nothing without.
std::string PathwayQuery(std::string const& Pathway)
{
    return Pathway.empty() ? std::string() : "&pathway=" + Pathway;
}

// A pathway has rendition groups of its own ("audio-a"): a player that moves
// to another pathway moves its renditions with its variants.
std::string GroupOf(std::string Group, std::string const& Pathway)
{
    return Pathway.empty() ? Group : Group + "-" + Pathway;
}

// The group of an audio row's rendition: "audio", or with several codecs one
// group a codec ("audio-ec3"), so that a variant names the codecs of its own.
std::string AudioGroupId(Configuration const& Asset, AudioVariant const& Audio, std::string const& Pathway)
{
    if(Asset.VariantSet.AudioCodecCount() <= 1)
        return GroupOf("audio", Pathway);
    return GroupOf("audio-" + std::string(AudioCodecName(Audio.Subtype)), Pathway);
}

// The codecs of a video row's pictures: a codec switch puts both codecs in
// its segments.
std::vector<std::string> PictureCodecs(Configuration const& Asset, VideoVariant const& Variant)
{
    std::vector<std::string> Codecs;
    if(!Variant.Codecs.empty())
        Codecs.push_back(Variant.Codecs);
    if(Variant.Index < Asset.OtherCodecVariants.size() && !Asset.OtherCodecVariants[Variant.Index].Codecs.empty())
        Codecs.push_back(Asset.OtherCodecVariants[Variant.Index].Codecs);
    return Codecs;
}

std::string Resolution(VideoVariant const& Variant)
{
    return StringFormat("RESOLUTION=%ux%u", Variant.FrameSizeW, Variant.FrameSizeH);
}

// Players that cannot show PQ or HLG leave these variants alone.
std::string VideoRange(VideoVariant const& Variant)
{
    return Variant.Range == DynamicRange::Pq ? "VIDEO-RANGE=PQ" : "VIDEO-RANGE=HLG";
}

// Audio: the row of the variant's audio group, none with "noaudio".
std::string VideoStreamAttributes(Configuration const& Asset, VideoVariant const& Variant, AudioVariant const* Audio, std::string const& Pathway)
{
    std::vector<std::string> Items;
    if(Variant.Bitrate != 0)
        Items.push_back(StringFormat("BANDWIDTH=%u", Variant.Bitrate));
    if(Variant.FrameSizeW != 0 && Variant.FrameSizeH != 0)
        Items.push_back(Resolution(Variant));
    if(Variant.FrameRateN != 0 && Variant.FrameRateD != 0)
        Items.push_back("FRAME-RATE=" + FormatDecimal(static_cast<double>(Variant.FrameRateN) / Variant.FrameRateD, 3));
    std::vector<std::string> Codecs = PictureCodecs(Asset, Variant);
    if(Audio && !Audio->Codecs.empty())
        Codecs.push_back(Audio->Codecs);
    // Text in MP4 is a format of the stream too; WebVTT files are not.
    if(!Asset.SubtitleLanguages.empty() && Asset.SubtitleFormatOf(true) != SubtitleFormat::Vtt)
        Codecs.push_back(std::string(SubtitleTrack::Codecs(Asset.SubtitleFormatOf(true))));
    if(!Codecs.empty())
        Items.push_back(QuotedCodecs(Join(Codecs, ",")));
    if(IsHighDynamicRange(Variant.Range))
        Items.push_back(VideoRange(Variant));
    if(Audio)
        Items.push_back("AUDIO=\"" + AudioGroupId(Asset, *Audio, Pathway) + "\"");
    if(!Asset.SubtitleLanguages.empty())
        Items.push_back("SUBTITLES=\"" + GroupOf("subs", Pathway) + "\"");
    // The captions travel in the pictures: one group serves every pathway.
    if(Asset.Captions != CaptionServices::None)
        Items.push_back("CLOSED-CAPTIONS=\"cc\"");
    if(!Pathway.empty())
        Items.push_back("PATHWAY-ID=\"" + Pathway + "\"");
    return Join(Items, ",");
}

// A row's I-frame playlist moves one key picture a segment duration D: its
// bits a second are the key picture's share of the row's segment, of
// Bitrate x D bits, over D, the row's BANDWIDTH times that share. The
// encoders work at constant quality, so a row's BANDWIDTH bounds what its
// segments hold rather than setting it, and the share makes the same bound
// of the key picture. In a row of key pictures alone (the one picture a
// second) they share a segment about equally: a quarter above an equal
// share covers their differences (the first of three holds up to 35 %).
// Elsewhere the key picture a segment begins with, one of three in it,
// holds 5 to 11 % of it (the most in the PQ rows, whose other pictures
// cost the least): MixedKeyPictureShare bounds it with that margin too.
std::uint32_t KeyPictureBandwidth(VideoVariant const& Variant)
{
    constexpr double MixedKeyPictureShare = 0.15;
    constexpr double EqualShareMargin = 1.25;
    double Share = MixedKeyPictureShare;
    if(Variant.TrickPlay && Variant.FrameRateD != 0)
    {
        double const Pictures = static_cast<double>(Variant.SegmentDuration) * Variant.FrameRateN / (static_cast<double>(Variant.FrameRateD) * TimeUnitsPerSecond);
        Share = std::min(1.0, EqualShareMargin / std::max(Pictures, 1.0));
    }
    return static_cast<std::uint32_t>(Variant.Bitrate * Share);
}

// BANDWIDTH: the bits a second of the I-frame playlist, one key picture a
// segment (KeyPictureBandwidth); RESOLUTION, CODECS and VIDEO-RANGE those
// of the row's pictures.
std::string IFrameStreamAttributes(Configuration const& Asset, VideoVariant const& Variant, std::string const& Pathway)
{
    std::vector<std::string> Items{StringFormat("BANDWIDTH=%u", KeyPictureBandwidth(Variant)), Resolution(Variant)};
    if(auto const Codecs = PictureCodecs(Asset, Variant); !Codecs.empty())
        Items.push_back(QuotedCodecs(Join(Codecs, ",")));
    if(IsHighDynamicRange(Variant.Range))
        Items.push_back(VideoRange(Variant));
    Items.push_back("URI=\"iframes.m3u8?" + Asset.AssetQuery() + PathwayQuery(Pathway) + StringFormat("&variant=%u\"", Variant.Index));
    if(!Pathway.empty())
        Items.push_back("PATHWAY-ID=\"" + Pathway + "\"");
    return Join(Items, ",");
}

// The caption services in the video ("cc"): CC1, and 708 service 1.
std::vector<std::string> CaptionRenditions(Configuration const& Asset)
{
    std::vector<std::string> Lines;
    if(Asset.Captions == CaptionServices::None)
        return Lines;
    Lines.push_back("#EXT-X-MEDIA:TYPE=CLOSED-CAPTIONS,GROUP-ID=\"cc\",LANGUAGE=\"en\",NAME=\"English\",AUTOSELECT=YES,DEFAULT=YES,INSTREAM-ID=\"CC1\"");
    if(Asset.Captions == CaptionServices::Cea608And708)
        Lines.push_back("#EXT-X-MEDIA:TYPE=CLOSED-CAPTIONS,GROUP-ID=\"cc\",LANGUAGE=\"en\",NAME=\"English (708)\",AUTOSELECT=YES,INSTREAM-ID=\"SERVICE1\"");
    return Lines;
}

std::string AudioPlaylistUri(Configuration const& Asset, AudioVariant const& Variant, std::string const& Pathway)
{
    return "audio.m3u8?" + Asset.AssetQuery() + PathwayQuery(Pathway) + Asset.VariantSet.AudioRowQuery(Variant);
}

// The first row of each codec: the rows of its group follow it.
std::vector<AudioVariant const*> AudioGroupLeaders(Configuration const& Asset)
{
    std::vector<AudioVariant const*> Leaders;
    for(auto const& Variant : Asset.VariantSet.AudioVariants)
        if(Leaders.empty() || Leaders.back()->Subtype != Variant.Subtype)
            Leaders.push_back(&Variant);
    return Leaders;
}

// LANGUAGE, NAME, DEFAULT and CHARACTERISTICS of a row: the programme's is
// English; a language rendition is named in its own language (the first of
// its group the default), a description after its language.
std::vector<std::string> AudioLanguageAttributes(Configuration const& Asset, AudioVariant const& Variant)
{
    if(!Variant.Voice)
        return {"LANGUAGE=\"en\"", "NAME=\"English\"", "AUTOSELECT=YES", "DEFAULT=YES"};
    std::vector<std::string> Tags;
    std::size_t Index = 0;
    bool First = true;
    for(auto const& Other : Asset.VariantSet.AudioVariants)
        if(Other.Subtype == Variant.Subtype && Other.Voice && Other.Voice->Describes == Variant.Voice->Describes)
        {
            if(&Other == &Variant)
                Index = Tags.size();
            Tags.push_back(Other.Language);
        }
    for(auto const& Other : Asset.VariantSet.AudioVariants)
        if(Other.Subtype == Variant.Subtype)
        {
            First = &Other == &Variant;
            break;
        }
    std::string Name = LanguageTag::DistinctName(Tags, Index);
    std::vector<std::string> Items{"LANGUAGE=\"" + Variant.Language + "\"", "", "AUTOSELECT=YES", First ? "DEFAULT=YES" : "DEFAULT=NO"};
    if(Variant.Voice->Describes)
    {
        Name += " (AD)";
        Items.push_back("CHARACTERISTICS=\"public.accessibility.describes-video\"");
    }
    Items[1] = "NAME=\"" + Name + "\"";
    return Items;
}

std::string AudioRenditionAttributes(Configuration const& Asset, AudioVariant const& Variant, std::string const& Pathway)
{
    std::vector<std::string> Items{"TYPE=AUDIO", "GROUP-ID=\"" + AudioGroupId(Asset, Variant, Pathway) + "\""};
    for(auto& Item : AudioLanguageAttributes(Asset, Variant))
        Items.push_back(std::move(Item));
    Items.push_back(StringFormat("CHANNELS=\"%u\"", Variant.Channels));
    Items.push_back(StringFormat("BANDWIDTH=%u", Variant.Bitrate()));
    if(!Variant.Codecs.empty())
        Items.push_back(QuotedCodecs(Variant.Codecs));
    Items.push_back("URI=\"" + AudioPlaylistUri(Asset, Variant, Pathway) + "\"");
    return Join(Items, ",");
}

// The names of a group's renditions must differ: languages of one name
// ("en-US", "en-GB") add their tags.
std::string SubtitleRenditionAttributes(Configuration const& Asset, std::size_t Index, std::string const& Pathway)
{
    auto const& Language = Asset.SubtitleLanguages[Index];
    std::vector<std::string> Items{"TYPE=SUBTITLES", "GROUP-ID=\"" + GroupOf("subs", Pathway) + "\"", "LANGUAGE=\"" + Language + "\"",
                                   "NAME=\"" + LanguageTag::DistinctName(Asset.SubtitleLanguages, Index) + "\"",
                                   Index == 0 ? "DEFAULT=YES" : "DEFAULT=NO", "AUTOSELECT=YES",
                                   StringFormat("URI=\"subtitles.m3u8?asset=%u%s&lang=%s\"", Asset.Asset, PathwayQuery(Pathway).c_str(), Language.c_str())};
    return Join(Items, ",");
}

// What the video and audio media playlists share; they differ in their URIs
// and in the audio playlist's independent-segments line.
struct MediaPlaylistForm
{
    std::int64_t TargetDuration;
    std::string MapUri; // empty: no initialisation segment (WebVTT files)
    std::string SegmentUriPrefix; // the segment index follows
    bool IndependentSegments;
    FaultTrack Track;
    // Text stays clear in an encrypted asset: its playlists have no key tags.
    bool Clear = false;
    // The track's segment duration (the tags of the asset's breaks and changes).
    std::int64_t SegmentDuration = 0;
    // What the asset's changes mid-stream do to the track (ChangeSchedule.h).
    std::uint32_t DiscontinuityKinds = 0;
    std::uint32_t HeaderKinds = 0;
    KeyTrack Keys = KeyTrack::Video;
    // The pathway whose addresses the playlist holds (content steering).
    std::string Pathway;
    // An I-frame playlist: the key pictures of the track's segments. It
    // leaves the break tags to the media playlists, as a trick-play view
    // schedules no ads.
    bool IFramesOnly = false;
};

// What a live playlist of a low-latency asset adds: its parts, and the
// other renditions of the master it reports on.
struct LowLatencyForm
{
    PartLayout Layout;
    std::vector<Rendition> Others;
    PlaylistSkip Skip;
};

std::string MediaPlaylist(Configuration const& Asset, SegmentList const& List, MediaPlaylistForm const& Form, std::int64_t Elapsed,
                          std::optional<LowLatencyForm> const& LowLatency)
{
    std::optional<LowLatencyPlaylist> Parts;
    if(LowLatency)
    {
        Parts.emplace(LowLatency->Layout, Form.TargetDuration, Elapsed, Form.SegmentUriPrefix, LowLatency->Skip);
        Parts->SetList(List, List.EndList);
    }
    PlaylistText Text;
    Text.Line("#EXTM3U");
    // Gap rules mark missing segments, which takes protocol version 8.
    bool const Gaps = Asset.Faults && Asset.Faults->HasGaps(Form.Track, Form.Pathway);
    int const Version = Gaps ? 8 : 6;
    // A delta update that leaves nothing out is the full playlist.
    std::size_t const Skipped = Parts ? Parts->SkippedSegments(List) : 0;
    Text.Line(StringFormat("#EXT-X-VERSION:%d", Skipped > 0 ? Parts->Version(Version) : Version));
    HlsChangeTags const Changes(Asset, Form.SegmentDuration, Form.DiscontinuityKinds, Form.HeaderKinds, Form.MapUri,
                                Form.Clear ? std::nullopt : std::optional(Form.Keys), Form.Pathway);
    std::uint32_t const First = List.Segments.empty() ? List.MediaSequence : List.Segments.front().Index;
    for(auto const& Tag : Changes.KeyTags(First))
        Text.Line(Tag);
    if(!Asset.Live)
        Text.Line("#EXT-X-PLAYLIST-TYPE:VOD");
    else if(List.Event)
        Text.Line("#EXT-X-PLAYLIST-TYPE:EVENT");
    Text.Line("#EXT-X-TARGETDURATION:" + FormatSeconds(Form.TargetDuration));
    if(Parts)
        for(auto const& Line : Parts->HeaderLines())
            Text.Line(Line);
    Text.Line(StringFormat("#EXT-X-MEDIA-SEQUENCE:%u", List.MediaSequence));
    if(auto const Sequence = Changes.SequenceTag(First); !Sequence.empty())
        Text.Line(Sequence);
    if(Form.IFramesOnly)
        Text.Line("#EXT-X-I-FRAMES-ONLY");
    if(!Asset.Live && Form.IndependentSegments)
        Text.Line("#EXT-X-INDEPENDENT-SEGMENTS");
    if(auto const Map = Changes.MapTag(First); !Map.empty())
        Text.Line(Map);
    std::optional<HlsBreakTags> Breaks;
    if(Asset.Breaks && Form.Track != FaultTrack::Text && !Form.IFramesOnly && !List.Segments.empty())
        Breaks.emplace(Asset, Form.SegmentDuration, List.Segments.front().Index, List.Segments.back().Index);
    if(Skipped > 0)
    {
        Text.Line(Parts->SkipLine(Skipped));
        for(auto const& Line : Changes.Restate(First, List.Segments[Skipped].Index))
            Text.Line(Line);
        // A client that asked for "v2" keeps the date ranges it has; one that
        // asked for "YES" is sent those of the segments left out.
        if(Breaks && LowLatency->Skip == PlaylistSkip::Segments)
            for(std::size_t Position = 0; Position < Skipped; ++Position)
                for(auto const& Line : Breaks->DateRanges(List.Segments[Position].Index))
                    Text.Line(Line);
    }
    for(std::size_t Position = Skipped; Position < List.Segments.size(); ++Position)
    {
        auto const& Segment = List.Segments[Position];
        if(Position > Skipped)
            for(auto const& Line : Changes.Before(Segment.Index))
                Text.Line(Line);
        if(Breaks)
        {
            for(auto const& Line : Breaks->DateRanges(Segment.Index))
                Text.Line(Line);
            for(auto const& Line : Breaks->Cues(Segment.Index))
                Text.Line(Line);
        }
        if(!Segment.ProgramDateTime.empty())
            Text.Line("#EXT-X-PROGRAM-DATE-TIME:" + Segment.ProgramDateTime);
        bool const Gap = Gaps && Asset.Faults->IsGap(Form.Track, Segment.Index, Form.Pathway);
        if(Gap)
            Text.Line("#EXT-X-GAP");
        if(Parts)
            for(auto const& Line : Parts->SegmentParts(Segment.Index, Gap))
                Text.Line(Line);
        Text.Line("#EXTINF:" + FormatSeconds(Segment.Duration) + ",");
        Text.Line(Form.SegmentUriPrefix + std::to_string(Segment.Index));
    }
    if(Parts)
    {
        auto const Open = Parts->OpenSegmentParts();
        if(!Open.empty() && !List.Segments.empty())
            for(auto const& Line : Changes.Before(Parts->OpenSegment()))
                Text.Line(Line);
        if(!Open.empty() && Parts->OpenParts() > 0)
            if(auto const DateTime = Timeline(Asset, Asset.BaseLiveTime + Elapsed).ProgramDateTimeOf(Parts->OpenSegment(), LowLatency->Layout.SegmentDuration());
               !DateTime.empty())
                Text.Line("#EXT-X-PROGRAM-DATE-TIME:" + DateTime);
        for(auto const& Line : Open)
            Text.Line(Line);
        for(auto const& Other : LowLatency->Others)
            Text.Line(LowLatencyPlaylist::RenditionReport(Other, Elapsed));
    }
    if(List.EndList)
        Text.Line("#EXT-X-ENDLIST");
    return Text.Take();
}

// Segments listed past the end are within the asset for the URLs that say
// so. KeyPicture: the URLs name the key picture of each segment alone.
std::string VideoSegmentUriPrefix(Configuration const& Asset, VideoVariant const& Variant, std::int32_t ExtraSegments, std::string const& Pathway,
                                  bool KeyPicture = false)
{
    std::string Prefix = "video-body.mp4?" + Asset.AssetQuery() + PathwayQuery(Pathway) + StringFormat("&variant=%u&", Variant.Index);
    if(ExtraSegments > 0)
        Prefix += StringFormat("%.*s=%d&", static_cast<int>(ExtraVideoSegmentsKey.size()), ExtraVideoSegmentsKey.data(), ExtraSegments);
    if(KeyPicture)
        Prefix += "iframe&";
    return Prefix + "index=";
}

MediaPlaylistForm VideoPlaylistForm(Configuration const& Asset, VideoVariant const& Variant, std::int32_t ExtraSegments, std::string const& Pathway)
{
    return {Timeline::TargetDuration(Asset.VideoTargetDuration, Variant.SegmentDuration),
            StringFormat("video-header.mp4?asset=%u%s&variant=%u", Asset.Asset, PathwayQuery(Pathway).c_str(), Variant.Index),
            VideoSegmentUriPrefix(Asset, Variant, ExtraSegments, Pathway),
            false,
            FaultTrack::Video,
            false,
            Variant.SegmentDuration,
            VideoDiscontinuities,
            VideoHeaderChanges,
            KeyTrack::Video,
            Pathway};
}

bool IsLowLatency(Configuration const& Asset)
{
    return Asset.Live && Asset.LowLatency;
}

// The renditions of the master playlist other than the one being written,
// a video playlist's (VideoIndex), an audio playlist's (Audio) or a subtitle
// playlist's (Language). The reports name the renditions of the same pathway.
std::vector<Rendition> OtherRenditions(Configuration const& Asset, std::string const& Pathway, std::optional<std::uint32_t> VideoIndex,
                                       AudioVariant const* Audio = nullptr, std::string const* Language = nullptr)
{
    std::vector<Rendition> Others;
    if(Asset.NoVideo)
        return Others;
    // An event's renditions report no segment past their last.
    auto const Add = [&](std::string Uri, PartLayout const& Layout) {
        auto const End = Timeline::EventTrackEnd(Asset, Layout.SegmentDuration());
        Others.push_back({std::move(Uri), Layout, End.value_or(std::numeric_limits<std::int64_t>::max())});
    };
    std::string const Named = StringFormat("asset=%u", Asset.Asset) + PathwayQuery(Pathway);
    for(auto const& Variant : Asset.VariantSet.VideoVariants)
        if(!VideoIndex || Variant.Index != *VideoIndex)
            Add(StringFormat("video.m3u8?%s&variant=%u", Named.c_str(), Variant.Index), PartLayout::ForVideo(Variant, Asset.PartDuration));
    for(auto const& Variant : Asset.VariantSet.AudioVariants)
        if(!Audio || Asset.VariantSet.AudioRowQuery(Variant) != Asset.VariantSet.AudioRowQuery(*Audio))
            Add("audio.m3u8?" + Named + Asset.VariantSet.AudioRowQuery(Variant), PartLayout::ForAudio(Variant, Asset.PartDuration));
    // The subtitle playlists have the parts of the video row they follow.
    for(auto const& Other : Asset.SubtitleLanguages)
        if(!Language || Other != *Language)
            Add(StringFormat("subtitles.m3u8?%s&lang=%s", Named.c_str(), Other.c_str()), SubtitleTrack::Parts(Asset));
    return Others;
}

// The variants and renditions of one pathway (all of them without steering).
void WriteVariants(PlaylistText& Text, Configuration const& Asset, std::string const& Pathway)
{
    auto const& AudioVariants = Asset.VariantSet.AudioVariants;
    std::string const PathwayId = Pathway.empty() ? std::string() : ",PATHWAY-ID=\"" + Pathway + "\"";
    if(Asset.NoVideo && Asset.VariantSet.HasAudioVoices())
    {
        // A variant of audio alone for each codec, its languages the
        // renditions of its group.
        for(auto const* Audio : AudioGroupLeaders(Asset))
        {
            std::vector<std::string> Items{StringFormat("BANDWIDTH=%u", Audio->Bitrate())};
            if(!Audio->Codecs.empty())
                Items.push_back(QuotedCodecs(Audio->Codecs));
            Items.push_back("AUDIO=\"" + AudioGroupId(Asset, *Audio, Pathway) + "\"");
            Text.Line("#EXT-X-STREAM-INF:" + Join(Items, ",") + PathwayId);
            Text.Line(AudioPlaylistUri(Asset, *Audio, Pathway));
        }
        for(auto const& Variant : AudioVariants)
            Text.Line("#EXT-X-MEDIA:" + AudioRenditionAttributes(Asset, Variant, Pathway));
        return;
    }
    if(Asset.NoVideo)
    {
        // A variant of audio alone for each row.
        for(auto const& Audio : AudioVariants)
        {
            std::vector<std::string> Items{StringFormat("BANDWIDTH=%u", Audio.Bitrate())};
            if(!Audio.Codecs.empty())
                Items.push_back(QuotedCodecs(Audio.Codecs));
            Text.Line("#EXT-X-STREAM-INF:" + Join(Items, ",") + PathwayId);
            Text.Line(AudioPlaylistUri(Asset, Audio, Pathway));
        }
        return;
    }
    // Every video variant once with each audio group: the codecs of a
    // variant are those of its pictures and of its group's audio.
    auto const Groups = Asset.NoAudio ? std::vector<AudioVariant const*>{nullptr} : AudioGroupLeaders(Asset);
    for(auto const* Group : Groups)
        for(auto const& Variant : Asset.VariantSet.VideoVariants)
        {
            Text.Line("#EXT-X-STREAM-INF:" + VideoStreamAttributes(Asset, Variant, Group, Pathway));
            Text.Line("video.m3u8?" + Asset.AssetQuery() + PathwayQuery(Pathway) + StringFormat("&variant=%u", Variant.Index));
        }
    // Once a row, whatever the audio groups: key pictures have no sound.
    if(Asset.IFrames)
        for(auto const& Variant : Asset.VariantSet.VideoVariants)
            Text.Line("#EXT-X-I-FRAME-STREAM-INF:" + IFrameStreamAttributes(Asset, Variant, Pathway));
    // Written with "noaudio" too: the rendition stays available, only the
    // streams stop referring to it.
    for(auto const& Variant : Asset.VariantSet.AudioVariants)
        Text.Line("#EXT-X-MEDIA:" + AudioRenditionAttributes(Asset, Variant, Pathway));
    for(std::size_t Index = 0; Index < Asset.SubtitleLanguages.size(); ++Index)
        Text.Line("#EXT-X-MEDIA:" + SubtitleRenditionAttributes(Asset, Index, Pathway));
}
} // namespace

std::string HlsPlaylistWriter::Master(Configuration& Asset, std::int64_t Now)
{
    Timeline::SetLiveEndTime(Asset, Now);
    PlaylistText Text;
    Text.Line("#EXTM3U");
    // INSTREAM-ID "SERVICE1" takes protocol version 7; other masters name none.
    if(Asset.Captions == CaptionServices::Cea608And708 && !Asset.NoVideo)
        Text.Line("#EXT-X-VERSION:7");
    if(!Asset.Steering)
        WriteVariants(Text, Asset, {});
    else
    {
        // Players start on the first pathway and ask the steering route
        // (relative to this playlist) which to use.
        Text.Line(StringFormat("#EXT-X-CONTENT-STEERING:SERVER-URI=\"steering?asset=%u\",PATHWAY-ID=\"%s\"", Asset.Asset,
                               Asset.Steering->Pathways.front().c_str()));
        for(auto const& Pathway : Asset.Steering->Pathways)
            WriteVariants(Text, Asset, Pathway);
    }
    if(!Asset.NoVideo)
        for(auto const& Line : CaptionRenditions(Asset))
            Text.Line(Line);
    // RESOLUTION is one thumbnail's, as players read it (they multiply it
    // by the layout of the tiles for the tile image). One image stream
    // serves every pathway: tiles are not steered.
    if(Asset.Thumbnails)
        Text.Line(StringFormat("#EXT-X-IMAGE-STREAM-INF:BANDWIDTH=%u,RESOLUTION=%ux%u,CODECS=\"jpeg\",URI=\"%s\"", ThumbnailTrack::Bandwidth(Asset),
                               ThumbnailTrack::ThumbnailWidth(Asset), ThumbnailTrack::ThumbnailHeight(Asset), ThumbnailTrack::PlaylistUri(Asset).c_str()));
    return Text.Take();
}

std::string HlsPlaylistWriter::Video(Configuration const& Asset, VideoVariant const& Variant, std::int32_t ExtraSegments, std::int64_t Now,
                                     PlaylistSkip Skip, std::string const& Pathway)
{
    Timeline const Clock(Asset, Now);
    auto const List = Clock.VideoSegments(Variant, ExtraSegments);
    std::optional<LowLatencyForm> LowLatency;
    if(IsLowLatency(Asset))
        LowLatency = LowLatencyForm{PartLayout::ForVideo(Variant, Asset.PartDuration), OtherRenditions(Asset, Pathway, Variant.Index), Skip};
    return MediaPlaylist(Asset, List, VideoPlaylistForm(Asset, Variant, ExtraSegments, Pathway), Clock.Elapsed(), LowLatency);
}

std::string HlsPlaylistWriter::IFrames(Configuration const& Asset, VideoVariant const& Variant, std::int64_t Now, std::string const& Pathway)
{
    // Each segment begins with a key picture, the only one listed of it: the
    // entry lasts until the next segment's, the segment's duration.
    Timeline const Clock(Asset, Now);
    auto Form = VideoPlaylistForm(Asset, Variant, 0, Pathway);
    Form.SegmentUriPrefix = VideoSegmentUriPrefix(Asset, Variant, 0, Pathway, true);
    Form.IFramesOnly = true;
    return MediaPlaylist(Asset, Clock.VideoSegments(Variant, 0), Form, Clock.Elapsed(), std::nullopt);
}

std::string HlsPlaylistWriter::Audio(Configuration const& Asset, AudioVariant const& Variant, std::int64_t Now, PlaylistSkip Skip, std::string const& Pathway)
{
    Timeline const Clock(Asset, Now);
    auto const List = Clock.AudioSegments();
    std::optional<LowLatencyForm> LowLatency;
    if(IsLowLatency(Asset))
        LowLatency = LowLatencyForm{PartLayout::ForAudio(Variant, Asset.PartDuration), OtherRenditions(Asset, Pathway, std::nullopt, &Variant), Skip};
    std::string const Row = PathwayQuery(Pathway) + Asset.VariantSet.AudioRowQuery(Variant);
    return MediaPlaylist(Asset, List,
                         {Timeline::TargetDuration(Asset.AudioTargetDuration, Variant.SegmentDuration),
                          StringFormat("audio-header.mp4?asset=%u", Asset.Asset) + Row, "audio-body.mp4?" + Asset.AssetQuery() + Row + "&index=", true,
                          FaultTrack::Audio, false, Variant.SegmentDuration, AudioDiscontinuities, AudioHeaderChanges, KeyTrack::Audio, Pathway},
                         Clock.Elapsed(), LowLatency);
}

std::string HlsPlaylistWriter::Subtitles(Configuration const& Asset, std::string const& Language, std::int64_t Now, PlaylistSkip Skip,
                                         std::string const& Pathway)
{
    // The video's segments, as its first variant lists them: the same
    // numbers, durations, window and program date-times.
    auto const& Variant = SubtitleTrack::VideoRow(Asset);
    Timeline const Clock(Asset, Now);
    auto const List = Clock.VideoSegments(Variant, 0);
    bool const Files = Asset.SubtitleFormatOf(true) == SubtitleFormat::Vtt;
    std::string const Track = StringFormat("asset=%u%s&lang=%s", Asset.Asset, PathwayQuery(Pathway).c_str(), Language.c_str());
    MediaPlaylistForm Form{Timeline::TargetDuration(Asset.VideoTargetDuration, Variant.SegmentDuration),
                           Files ? std::string() : "subtitles-header.mp4?" + Track,
                           (Files ? "subtitles.vtt?" : "subtitles-body.mp4?") + Track + "&index=",
                           false,
                           FaultTrack::Text,
                           true,
                           Variant.SegmentDuration,
                           TextDiscontinuities};
    Form.Pathway = Pathway;
    std::optional<LowLatencyForm> LowLatency;
    if(IsLowLatency(Asset))
        LowLatency = LowLatencyForm{SubtitleTrack::Parts(Asset), OtherRenditions(Asset, Pathway, std::nullopt, nullptr, &Language), Skip};
    return MediaPlaylist(Asset, List, Form, Clock.Elapsed(), LowLatency);
}

std::string HlsPlaylistWriter::Thumbnails(Configuration const& Asset, std::int64_t Now)
{
    CHECK_LINE(Asset.Thumbnails.has_value());
    auto const& Layout = *Asset.Thumbnails;
    Timeline const Clock(Asset, Now);
    auto const List = Clock.ImageSegments(Layout.TileDuration());
    PlaylistText Text;
    Text.Line("#EXTM3U");
    Text.Line("#EXT-X-VERSION:7");
    if(!Asset.Live)
        Text.Line("#EXT-X-PLAYLIST-TYPE:VOD");
    Text.Line("#EXT-X-TARGETDURATION:" + FormatSeconds(Layout.TileDuration()));
    Text.Line(StringFormat("#EXT-X-MEDIA-SEQUENCE:%u", List.MediaSequence));
    Text.Line("#EXT-X-IMAGES-ONLY");
    // A short last tile holds fewer thumbnails, each as long as the others.
    std::string const Tiles = StringFormat("#EXT-X-TILES:RESOLUTION=%ux%u,LAYOUT=%s,DURATION=%s", ThumbnailTrack::ThumbnailWidth(Asset),
                                           ThumbnailTrack::ThumbnailHeight(Asset), Layout.GridText().c_str(), FormatSeconds(Layout.Interval).c_str());
    for(auto const& Segment : List.Segments)
    {
        if(!Segment.ProgramDateTime.empty())
            Text.Line("#EXT-X-PROGRAM-DATE-TIME:" + Segment.ProgramDateTime);
        Text.Line(Tiles);
        Text.Line("#EXTINF:" + FormatSeconds(Segment.Duration) + ",");
        Text.Line(StringFormat("thumbs.jpg?asset=%u&index=%u", Asset.Asset, Segment.Index));
    }
    if(List.EndList)
        Text.Line("#EXT-X-ENDLIST");
    return Text.Take();
}

std::vector<std::string> HlsPlaylistWriter::KeyTags(Configuration const& Asset, KeyTrack Track, ChangeState const& State, std::string const& Pathway)
{
    std::vector<std::string> Tags;
    if(Asset.Key.empty())
        return Tags;
    if(State.Clear)
    {
        // Said only where encryption has not begun yet: a clear lead is the start.
        return Tags;
    }
    auto const Key = ContentKeys::Of(Asset, Track, State.KeyEpoch);
    // The first key keeps the address it always had.
    std::string const Named = StringFormat("key?asset=%u", Asset.Asset) + PathwayQuery(Pathway);
    std::string const KeyUri = Key.Id == FixedKeyId ? Named : Named + "&kid=" + Configuration::FormatBase16(Key.Id);
    // On fragmented MP4, SAMPLE-AES names the 'cbcs' scheme and SAMPLE-AES-CTR
    // the 'cenc' scheme (HLS, RFC 8216bis 4.4.4.4); a player that is told the
    // wrong one asks its decryptor for the wrong cipher.
    std::string const Method = Asset.EncryptionScheme == EncryptionScheme::Cbcs ? "METHOD=SAMPLE-AES" : "METHOD=SAMPLE-AES-CTR";
    if(Asset.KeyFormat.find('c') != std::string::npos)
    {
        std::vector<std::string> Items{Method, "URI=\"" + KeyUri + "\"", "KEYID=0x" + Configuration::FormatBase16(Key.Id)};
        if(!Asset.InitializationVector.empty())
            Items.push_back("IV=0x" + Configuration::FormatBase16(Asset.InitializationVector));
        Tags.push_back("#EXT-X-KEY:" + Join(Items, ","));
    }
    if(static_cast<std::uint32_t>(Asset.EncryptionScheme) != 0 && Asset.KeyFormat.find('p') == std::string::npos)
    {
        auto const Object = PlayReadyHeader::BuildObject(Asset.EncryptionScheme, Key.Id, Key.Key);
        std::vector<std::string> Items{Method, "URI=\"data:text/plain;charset=UTF-16;base64," + EncodeBase64(Object) + "\"",
                                       "KEYFORMAT=\"com.microsoft.playready\"", "KEYFORMATVERSIONS=\"1\""};
        Tags.push_back("#EXT-X-KEY:" + Join(Items, ","));
    }
    return Tags;
}
} // namespace Application
