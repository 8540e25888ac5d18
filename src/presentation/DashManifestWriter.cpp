// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/DashManifestWriter.h"

#include <algorithm>
#include <numeric>

#include "base/Check.h"
#include "base/StringFormat.h"
#include "base/MulDiv.h"
#include "mp4/Mp4ColourDescription.h"
#include "presentation/BreakMessages.h"
#include "presentation/BreakSections.h"
#include "presentation/DecimalText.h"
#include "presentation/Scte35Section.h"
#include "presentation/QueryNumbers.h"
#include "presentation/SubtitleTrack.h"
#include "presentation/ThumbnailTrack.h"
#include "presentation/Timeline.h"
#include "presentation/UrlBuilder.h"
#include "presentation/XmlText.h"

namespace Application
{
namespace
{
std::string Duration(std::int64_t Value)
{
    return "PT" + FormatDecimal(static_cast<double>(Value) / static_cast<double>(TimeUnitsPerSecond), 2) + "S";
}

constexpr char const* TrickModeScheme = "http://dashif.org/guidelines/trickmode";
// DASH-IF's thumbnail tiles; the value is the grid, columns x rows.
constexpr char const* ThumbnailTileScheme = "http://dashif.org/thumbnail_tile";
// SCTE-35 sections in the MPD (XML with the binary section) and in emsg
// boxes; players match an emsg to its InbandEventStream by scheme and value.
constexpr char const* EventScheme = "urn:scte:scte35:2014:xml+bin";
constexpr char const* Scte35Namespace = "http://www.scte.org/schemas/35/2016";
// An ad period's media requests name the ad.
void AddAd(UrlBuilder& Media, DashPeriodPlan const& Plan)
{
    if(Plan.Ad != 0)
        Media.Add("break", static_cast<std::int32_t>(Plan.Break)).Add("ad", static_cast<std::int32_t>(Plan.Ad));
}
constexpr std::int64_t TimeUnitsPerMillisecond = 10'000;

// A language rendition's roles: the first language is the main one, the
// others dubbed; a description says so twice, as the role and as the
// accessibility purpose ("visually impaired", TV-Anytime's AudioPurposeCS
// 1), the one players read for it, Accessibility first as the schema orders them.
std::string AudioRoles(AudioVariant const& Variant)
{
    if(Variant.Voice->Describes)
        return "<Accessibility schemeIdUri=\"urn:tva:metadata:cs:AudioPurposeCS:2007\" value=\"1\"/>"
               "<Role schemeIdUri=\"urn:mpeg:dash:role:2011\" value=\"description\"/>";
    return StringFormat("<Role schemeIdUri=\"urn:mpeg:dash:role:2011\" value=\"%s\"/>", Variant.Voice->Slot == 0 ? "main" : "dub");
}
// Template numbers start at 1 and name segment index number - 1.
constexpr std::int32_t DynamicBaseIndex = 1;
} // namespace

DashManifestWriter::DashManifestWriter(Configuration const& Asset, bool TrickPlay, bool WriteResponseFiles, std::string LicenceUrl) :
    m_Asset(Asset),
    m_TrickPlay(TrickPlay),
    m_WriteResponseFiles(WriteResponseFiles),
    m_ContentProtection(Asset, std::move(LicenceUrl)),
    m_Periods(DashPeriodPlan::ForAsset(Asset))
{
}

std::int64_t DashManifestWriter::LongestSegmentDuration(Configuration const& Asset) noexcept
{
    std::int64_t Longest = 0;
    if(!Asset.NoVideo)
        for(auto const& Variant : Asset.VariantSet.VideoVariants)
            Longest = std::max(Longest, Variant.SegmentDuration);
    if(!Asset.NoAudio && !Asset.VariantSet.AudioVariants.empty())
        Longest = std::max(Longest, Asset.VariantSet.AudioVariants.front().SegmentDuration);
    return Longest;
}

std::int64_t DashManifestWriter::ShortestSegmentDuration() const noexcept
{
    std::int64_t Shortest = LongestSegmentDuration(m_Asset);
    if(!m_Asset.NoVideo)
        for(auto const& Variant : m_Asset.VariantSet.VideoVariants)
            Shortest = std::min(Shortest, Variant.SegmentDuration);
    return Shortest;
}

std::int64_t DashManifestWriter::AvailabilityTimeOffset(Configuration const& Asset) noexcept
{
    return std::max<std::int64_t>(LongestSegmentDuration(Asset) - Asset.PartDuration, 0);
}

std::vector<std::int64_t> DashManifestWriter::TrackSegmentDurations() const
{
    std::vector<std::int64_t> Durations;
    if(!m_Asset.NoVideo)
        for(auto const& Variant : m_Asset.VariantSet.VideoVariants)
            Durations.push_back(Variant.SegmentDuration);
    if(!m_Asset.NoAudio && !m_Asset.VariantSet.AudioVariants.empty())
        Durations.push_back(m_Asset.VariantSet.AudioVariants.front().SegmentDuration);
    if(!m_Asset.SubtitleLanguages.empty())
        Durations.push_back(SubtitleTrack::VideoRow(m_Asset).SegmentDuration);
    return Durations;
}

void DashManifestWriter::SetEnded()
{
    // Once every track's last segment is complete the event is whole.
    auto const Durations = TrackSegmentDurations();
    std::int64_t Complete = 0;
    std::int64_t Grid = 1;
    for(auto const Duration : Durations)
    {
        Complete = std::max(Complete, Timeline::EventTrackEnd(m_Asset, Duration).value_or(0));
        Grid = std::lcm(Grid, Duration);
    }
    if(*m_PublishTime - m_Asset.BaseLiveTime < Complete)
        return;
    // The window's segments, from a start every track has a segment boundary
    // at, so that one offset places them all; the last ones at least.
    std::int64_t const Length = *m_Asset.EventEnd;
    std::int64_t const Window = m_Asset.LiveWindow.value_or(0);
    std::int64_t const From = Length > Window ? CeilDivide(Length - Window, Grid) * Grid : 0;
    m_EndedFrom = std::min(From, (Length - 1) / Grid * Grid);
}

void DashManifestWriter::SetDynamic(std::int64_t PublishTime, std::string TimeUrl)
{
    m_PublishTime = PublishTime;
    m_TimeUrl = std::move(TimeUrl);
    if(m_Asset.EventEnd)
    {
        SetEnded();
        if(m_EndedFrom)
            return;
    }
    // Ads are periods of their own: the document lists those of its window
    // and of the next updates, each addressed by its own timeline.
    // So are the changes mid-stream.
    if((m_Asset.Breaks && m_Asset.Breaks->Ads > 0) || !m_Asset.Changes.Empty())
    {
        std::int64_t const Elapsed = PublishTime - m_Asset.BaseLiveTime;
        std::int64_t const Lead = m_Asset.Breaks ? m_Asset.Breaks->Lead : 0;
        m_Periods = DashPeriodPlan::ForLive(m_Asset, Elapsed - m_Asset.LiveWindow.value_or(0) - LongestSegmentDuration(m_Asset),
                                            Elapsed + Lead + 2 * UpdatePeriod());
        m_LivePeriods = true;
    }
}

std::string DashManifestWriter::Write() const
{
    if(!m_PublishTime)
        return WriteStatic();
    return m_EndedFrom ? WriteEnded() : WriteDynamic();
}

std::string DashManifestWriter::WriteEnded() const
{
    // What players of the dynamic document knew as the event, from
    // m_EndedFrom on: the document's time 0 is that media time.
    std::int64_t const From = *m_EndedFrom;
    std::string Text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    Text += "<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"" + m_ContentProtection.Namespaces() +
            EventNamespace() + " xsi:schemaLocation=\"urn:mpeg:dash:schema:mpd:2011 DASH-MPD.xsd\" profiles=\"urn:mpeg:dash:profile:isoff-live:2011\"";
    Text += StringFormat(" type=\"static\" mediaPresentationDuration=\"%s\" maxSegmentDuration=\"%s\" minBufferTime=\"%s\">",
                         Duration(*m_Asset.EventEnd - From).c_str(), Duration(LongestSegmentDuration(m_Asset)).c_str(), Duration(MinimalBufferTime).c_str());
    Text += "<ProgramInformation moreInformationURL=\"about\"/><Period id=\"0\" start=\"PT0.00S\">";
    if(m_Asset.Breaks && m_Asset.Breaks->Has(BreakSignal::EventStream))
    {
        // Those that begin inside: an event's time in the period is not negative.
        auto Breaks = m_Asset.Breaks->Schedule.Overlapping(From, *m_Asset.EventEnd);
        std::erase_if(Breaks, [From](AdBreak const& Break) { return Break.Start < From; });
        if(Breaks.size() > MaximalLiveEvents)
            Breaks.erase(Breaks.begin(), Breaks.end() - MaximalLiveEvents);
        WriteEventStream(Text, Breaks, From);
    }
    WriteSets(Text, 0);
    return Text + "</Period></MPD>";
}

std::string DashManifestWriter::WriteStatic() const
{
    std::int64_t TotalDuration = 0;
    for(auto const& Plan : m_Periods)
        TotalDuration += Plan.Period.Duration;
    std::string Text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    Text += "<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"" + m_ContentProtection.Namespaces() +
            EventNamespace() + " xsi:schemaLocation=\"urn:mpeg:dash:schema:mpd:2011 DASH-MPD.xsd\" profiles=\"urn:mpeg:dash:profile:isoff-on-demand:2011\""
            " minBufferTime=\"PT2.00S\" type=\"static\" mediaPresentationDuration=\"" +
            Duration(TotalDuration) + "\">";
    // The server's own about page, relative to the manifest.
    Text += "<ProgramInformation moreInformationURL=\"about\"/>" + SteeringElements();
    for(std::uint32_t Index = 0; Index < m_Periods.size(); ++Index)
        WritePeriod(Text, Index);
    Text += "</MPD>";
    return Text;
}

std::string DashManifestWriter::WriteDynamic() const
{
    std::int64_t const LongestSegment = LongestSegmentDuration(m_Asset);
    if(m_Asset.Dynamic)
    {
        // Segments are offered once complete: a player that starts a longest
        // segment behind the clock finds the segments of every track it
        // needs, and the margin is its buffer.
        std::string Text = DynamicHead("urn:mpeg:dash:profile:isoff-live:2011", LongestSegment + RegularDelayMargin, MinimalBufferTime);
        WriteOnePeriod(Text);
        return Text + "</MPD>";
    }
    // Periods offer their segments only when complete (see WriteLiveTemplate),
    // so the latencies to keep start a longest segment further back.
    std::int64_t const Wait = m_LivePeriods ? LongestSegment : 0;
    std::string Text =
        DynamicHead("urn:mpeg:dash:profile:isoff-live:2011,http://www.dashif.org/guidelines/low-latency-live-v5", Wait + TargetLatency, m_Asset.PartDuration);
    Text += StringFormat("<ServiceDescription id=\"0\"><Latency target=\"%lld\" min=\"%lld\" max=\"%lld\"/><PlaybackRate min=\"%s\" max=\"%s\"/>"
                         "</ServiceDescription>",
                         static_cast<long long>((Wait + TargetLatency) / TimeUnitsPerMillisecond),
                         static_cast<long long>((Wait + MinimalLatency) / TimeUnitsPerMillisecond),
                         static_cast<long long>((Wait + MaximalLatency) / TimeUnitsPerMillisecond), MinimalPlaybackRate, MaximalPlaybackRate);
    if(!m_LivePeriods)
    {
        WriteOnePeriod(Text);
        return Text + "</MPD>";
    }
    // Those to come too: number templates offer each segment by the
    // clock. The last goes on until an update adds the next.
    for(std::uint32_t Index = 0; Index < m_Periods.size(); ++Index)
        WriteLivePeriod(Text, Index, Index + 1 == m_Periods.size());
    WriteClock(Text);
    return Text + "</MPD>";
}

std::string DashManifestWriter::DynamicHead(char const* Profiles, std::int64_t PresentationDelay, std::int64_t BufferTime) const
{
    // The live timeline's segment 0 starts the first period, so segment i
    // of a track begins i segment durations after availabilityStartTime.
    std::string Text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    Text += "<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"" + m_ContentProtection.Namespaces() +
            EventNamespace() + " xsi:schemaLocation=\"urn:mpeg:dash:schema:mpd:2011 DASH-MPD.xsd\" profiles=\"" + Profiles + "\" type=\"dynamic\"";
    // An event says how long it lasts, so that players end there between updates.
    if(m_Asset.EventEnd)
        Text += StringFormat(" mediaPresentationDuration=\"%s\"", Duration(*m_Asset.EventEnd).c_str());
    Text += StringFormat(" availabilityStartTime=\"%s\" publishTime=\"%s\" minimumUpdatePeriod=\"%s\" timeShiftBufferDepth=\"%s\""
                         " suggestedPresentationDelay=\"%s\" maxSegmentDuration=\"%s\" minBufferTime=\"%s\">",
                         Timeline::FormatProgramDateTime(m_Asset.BaseLiveTime).c_str(), Timeline::FormatProgramDateTime(*m_PublishTime).c_str(),
                         Duration(UpdatePeriod()).c_str(), Duration(m_Asset.LiveWindow.value_or(0)).c_str(), Duration(PresentationDelay).c_str(),
                         Duration(LongestSegmentDuration(m_Asset)).c_str(), Duration(BufferTime).c_str());
    return Text + "<ProgramInformation moreInformationURL=\"about\"/>" + SteeringElements();
}

void DashManifestWriter::SetSteering(std::string ServerUrl, std::string Location)
{
    m_SteeringUrl = std::move(ServerUrl);
    m_Location = std::move(Location);
}

std::string DashManifestWriter::SteeringElements() const
{
    if(!m_Asset.Steering)
        return {};
    // A BaseURL's query would be lost under the templates' own, so a
    // pathway is named in the path: "pathway/a/video-body.mp4?asset=1&...".
    std::string Text;
    for(auto const& Pathway : m_Asset.Steering->Pathways)
        Text += StringFormat("<BaseURL serviceLocation=\"%s\">%spathway/%s/</BaseURL>", Pathway.c_str(), EscapeXmlText(m_Location).c_str(), Pathway.c_str());
    // Players begin on the default and ask once playing.
    return Text + StringFormat("<ContentSteering defaultServiceLocation=\"%s\" queryBeforeStart=\"false\">%s</ContentSteering>",
                               m_Asset.Steering->Pathways.front().c_str(), EscapeXmlText(m_SteeringUrl).c_str());
}

void DashManifestWriter::WriteOnePeriod(std::string& Text) const
{
    Text += "<Period id=\"0\" start=\"PT0.00S\">";
    WriteLiveEvents(Text);
    WriteSets(Text, 0);
    Text += "</Period>";
    WriteClock(Text);
}

void DashManifestWriter::WriteClock(std::string& Text) const
{
    Text += StringFormat("<UTCTiming schemeIdUri=\"urn:mpeg:dash:utc:http-iso:2014\" value=\"%s\"/>", m_TimeUrl.c_str());
}

void DashManifestWriter::WriteLivePeriod(std::string& Text, std::uint32_t PeriodIndex, bool Last) const
{
    auto const& Plan = m_Periods[PeriodIndex];
    Text += StringFormat("<Period id=\"%s\" start=\"%s\"", Plan.Id().c_str(), Duration(Plan.Period.Start).c_str());
    if(!Last)
        Text += StringFormat(" duration=\"%s\"", Duration(Plan.Period.Duration).c_str());
    Text += ">";
    if(Plan.Opens && m_Asset.Breaks->Has(BreakSignal::EventStream))
        WriteEventStream(Text, {*Plan.Opens}, Plan.Opens->Start);
    WriteSets(Text, PeriodIndex);
    Text += "</Period>";
}

void DashManifestWriter::WritePeriod(std::string& Text, std::uint32_t PeriodIndex) const
{
    auto const& Plan = m_Periods[PeriodIndex];
    Text += StringFormat("<Period id=\"%u\" start=\"%s\" duration=\"%s\">", PeriodIndex, Duration(Plan.Period.Start).c_str(),
                         Duration(Plan.Period.Duration).c_str());
    // The break's signal at the start of the period it opens.
    if(Plan.Opens && m_Asset.Breaks->Has(BreakSignal::EventStream))
        WriteEventStream(Text, {*Plan.Opens}, Plan.Opens->Start);
    WriteSets(Text, PeriodIndex);
    Text += "</Period>";
}

void DashManifestWriter::WriteSets(std::string& Text, std::uint32_t PeriodIndex) const
{
    Counters Numbers;
    if(!m_Asset.NoVideo)
        WriteVideoSet(Text, PeriodIndex, Numbers);
    if(HasTrickPlaySet())
        WriteTrickPlaySet(Text, PeriodIndex, Numbers);
    if(!m_Asset.NoAudio)
        for(std::uint32_t Row = 0; Row < m_Asset.VariantSet.AudioVariants.size(); ++Row)
            WriteAudioSet(Text, PeriodIndex, Numbers, Row);
    // Ads have pictures and sound only.
    if(m_Periods[PeriodIndex].Ad == 0)
        for(auto const& Language : m_Asset.SubtitleLanguages)
            WriteTextSet(Text, PeriodIndex, Numbers, Language);
    if(m_Asset.Thumbnails && m_Periods[PeriodIndex].Ad == 0 && !m_LivePeriods)
        WriteImageSet(Text, PeriodIndex, Numbers);
}

void DashManifestWriter::WriteImageSet(std::string& Text, std::uint32_t PeriodIndex, Counters& Numbers) const
{
    std::int64_t const TileDuration = m_Asset.Thumbnails->TileDuration();
    Text += StringFormat("<AdaptationSet id=\"%u\" contentType=\"image\" mimeType=\"image/jpeg\">", Numbers.AdaptationSet++);
    // The representation's size is the whole tile's; it carries the grid,
    // where players look for it.
    Text += StringFormat("<Representation id=\"%u\" bandwidth=\"%u\" width=\"%u\" height=\"%u\">", Numbers.Representation++,
                         ThumbnailTrack::Bandwidth(m_Asset), ThumbnailTrack::TileWidth(m_Asset), ThumbnailTrack::TileHeight(m_Asset));
    Text += StringFormat("<EssentialProperty schemeIdUri=\"%s\" value=\"%s\"/>", ThumbnailTileScheme, m_Asset.Thumbnails->GridText().c_str());
    std::string Files;
    if(m_WriteResponseFiles)
        Files = StringFormat(" __period=\"%u\" __media=\"thumbs-p%u-i$Number$.jpg\"", PeriodIndex, PeriodIndex);
    UrlBuilder Media("thumbs.jpg");
    Media.Add("asset", static_cast<std::int32_t>(m_Asset.Asset));
    auto const Timescale = static_cast<unsigned long long>(TimeUnitsPerSecond);
    if(m_PublishTime)
    {
        // By number whatever the other sets use: each tile is offered once complete.
        Media.Add("baseIndex", DynamicBaseIndexOf(PeriodIndex, TileDuration)).Add("index", "$Number$");
        Text += StringFormat("<SegmentTemplate timescale=\"%llu\" duration=\"%llu\" startNumber=\"1\" media=\"%s\"%s/>", Timescale,
                             static_cast<unsigned long long>(TileDuration), Media.EscapedText().c_str(), Files.c_str());
    }
    else
    {
        // Where the whole presentation's timeline stands at the period's
        // start: the fixed periods begin inside the media, the others where
        // they are on it (a restarted decode timeline leaves the pictures' times).
        auto const& Plan = m_Periods[PeriodIndex];
        std::int64_t const Origin = Plan.Fixed ? Plan.Period.Offset : Plan.Period.Start;
        auto const Range = DashPeriod{Plan.Period.Start, Plan.Period.Duration, Origin}.Segments(PeriodIndex, TileDuration);
        if(Plan.Fixed)
            Media.Add("period", static_cast<std::int32_t>(PeriodIndex)).Add("color", static_cast<std::int32_t>(PeriodIndex));
        Media.Add("baseIndex", Range.BaseIndex).Add("index", "$Number$");
        Text += StringFormat("<SegmentTemplate timescale=\"%llu\" presentationTimeOffset=\"%llu\" media=\"%s\"%s>", Timescale,
                             static_cast<unsigned long long>(Origin), Media.EscapedText().c_str(), Files.c_str());
        Text += StringFormat("<SegmentTimeline><S d=\"%llu\" t=\"%llu\" r=\"%u\" /></SegmentTimeline></SegmentTemplate>",
                             static_cast<unsigned long long>(TileDuration), static_cast<unsigned long long>(Range.First * TileDuration), Range.RepeatCount);
    }
    Text += "</Representation></AdaptationSet>";
}

void DashManifestWriter::WriteTextSet(std::string& Text, std::uint32_t PeriodIndex, Counters& Numbers, std::string const& Language) const
{
    // Text stays clear: no protection descriptors. Its segments are the
    // video's (SubtitleTrack::VideoRow), on the same time scale.
    auto const Format = m_Asset.SubtitleCarriage.value_or(SubtitleFormat::Stpp);
    Text += StringFormat("<AdaptationSet id=\"%u\" contentType=\"text\" mimeType=\"application/mp4\" lang=\"%s\" segmentAlignment=\"true\">",
                         Numbers.AdaptationSet++, Language.c_str());
    Text += "<Role schemeIdUri=\"urn:mpeg:dash:role:2011\" value=\"subtitle\"/>";
    Text += StringFormat("<Representation id=\"%u\" bandwidth=\"%u\" codecs=\"%.*s\">", Numbers.Representation++, 2'000u,
                         static_cast<int>(SubtitleTrack::Codecs(Format).size()), SubtitleTrack::Codecs(Format).data());
    std::int64_t const SegmentDuration = SubtitleTrack::VideoRow(m_Asset).SegmentDuration;
    auto const Asset = static_cast<std::int32_t>(m_Asset.Asset);
    UrlBuilder Initialization("subtitles-header.mp4");
    Initialization.Add("asset", Asset).Add("lang", Language);
    std::string Files;
    if(m_WriteResponseFiles)
        Files = StringFormat("__period=\"%u\" __initialization=\"subtitles-header-%s.mp4\" __media=\"subtitles-body-%s-p%u-i$Number$.mp4\"", PeriodIndex,
                             Language.c_str(), Language.c_str(), PeriodIndex);
    UrlBuilder Media("subtitles-body.mp4");
    if(m_PublishTime)
    {
        Media.Add("asset", Asset).Add("lang", Language);
        AddLiveAddress(Media, PeriodIndex, SegmentDuration);
        WriteLiveTemplate(Text, PeriodIndex, SegmentDuration, Initialization.EscapedText(), Media.EscapedText(), Files);
    }
    else
    {
        auto const Range = m_Periods[PeriodIndex].Period.Segments(PeriodIndex, SegmentDuration);
        Media.Add("asset", Asset).Add("lang", Language);
        if(m_Periods[PeriodIndex].Fixed)
            Media.Add("period", static_cast<std::int32_t>(PeriodIndex));
        Media.Add("baseIndex", Range.BaseIndex - OriginIndex(m_Periods[PeriodIndex], SegmentDuration)).Add("index", "$Number$");
        WriteTemplate(Text, PeriodIndex, SegmentDuration, Range, Initialization.EscapedText(), Media.EscapedText(), Files);
    }
    Text += "</Representation></AdaptationSet>";
}

std::string DashManifestWriter::ColourProperties(bool Essential) const
{
    auto const& Rows = m_Asset.VariantSet.VideoVariants;
    DynamicRange const Range = Rows.empty() ? DynamicRange::Sdr : Rows.front().Range;
    if(!IsHighDynamicRange(Range))
        return {};
    auto const Property = [](char const* Element, char const* Name, unsigned Value) {
        return StringFormat("<%s schemeIdUri=\"urn:mpeg:mpegB:cicp:%s\" value=\"%u\"/>", Element, Name, Value);
    };
    // A player that does not know PQ must not choose the set; HLG pictures
    // still look right on a display that takes them for SDR ones.
    bool const TransferEssential = Range == DynamicRange::Pq;
    unsigned const Transfer = Range == DynamicRange::Pq ? Mp4::ColourDescription::TransferPq : Mp4::ColourDescription::TransferHlg;
    if(Essential)
        return TransferEssential ? Property("EssentialProperty", "TransferCharacteristics", Transfer) : std::string();
    std::string Text = Property("SupplementalProperty", "ColourPrimaries", Mp4::ColourDescription::PrimariesBt2020);
    if(!TransferEssential)
        Text += Property("SupplementalProperty", "TransferCharacteristics", Transfer);
    return Text + Property("SupplementalProperty", "MatrixCoefficients", Mp4::ColourDescription::MatrixBt2020NonConstant);
}

void DashManifestWriter::WriteVideoSet(std::string& Text, std::uint32_t PeriodIndex, Counters& Numbers) const
{
    Numbers.MainVideoSet = Numbers.AdaptationSet;
    Text += StringFormat("<AdaptationSet id=\"%u\" contentType=\"video\">", Numbers.AdaptationSet++);
    Text += m_ContentProtection.Descriptors(KeyTrack::Video, KeysOf(PeriodIndex));
    Text += ColourProperties(true) + ColourProperties(false);
    // The caption services the pictures carry ("cc"), before the role as the schema orders them.
    if(m_Asset.Captions != CaptionServices::None)
        Text += "<Accessibility schemeIdUri=\"urn:scte:dash:cc:cea-608:2015\" value=\"CC1=eng\"/>";
    if(m_Asset.Captions == CaptionServices::Cea608And708)
        Text += "<Accessibility schemeIdUri=\"urn:scte:dash:cc:cea-708:2015\" value=\"1=lang:eng\"/>";
    Text += "<Role schemeIdUri=\"urn:mpeg:dash:role:2011\" value=\"main\"/>";
    if(m_Asset.Breaks && m_Asset.Breaks->Has(BreakSignal::Emsg) && m_Periods[PeriodIndex].Ad == 0)
        Text += StringFormat("<InbandEventStream schemeIdUri=\"%s\" value=\"%s\"/>", BreakMessages::Scheme, BreakMessages::Value);
    for(auto const& Row : m_Asset.VariantSet.VideoVariants)
    {
        if(Row.TrickPlay && !m_TrickPlay)
            continue;
        auto const Variant = m_Asset.VideoVariantAt(Row, m_Periods[PeriodIndex].Changes);
        Text += StringFormat("<Representation id=\"%u\" bandwidth=\"%u\" codecs=\"%s\" width=\"%u\" height=\"%u\" frameRate=\"%u/%u\" mimeType=\"video/mp4\" sar=\"1:1\">",
                             Numbers.Representation++, Variant.Bitrate, Variant.Codecs.c_str(), Variant.FrameSizeW, Variant.FrameSizeH, Variant.FrameRateN,
                             Variant.FrameRateD);
        WriteVideoTemplate(Text, PeriodIndex, Variant);
        Text += "</Representation>";
    }
    Text += "</AdaptationSet>";
}

void DashManifestWriter::WriteTrickPlaySet(std::string& Text, std::uint32_t PeriodIndex, Counters& Numbers) const
{
    Text += StringFormat("<AdaptationSet id=\"trickplay-%u\" contentType=\"video\">", Numbers.AdaptationSet++);
    Text += m_ContentProtection.Descriptors(KeyTrack::Video, KeysOf(PeriodIndex));
    // The value names the main adaptation set whose key frames this set
    // carries; players attach the trick-play set to the set with that id.
    Text += StringFormat("<EssentialProperty schemeIdUri=\"%s\" value=\"%u\" />", TrickModeScheme, Numbers.MainVideoSet);
    Text += ColourProperties(true) + ColourProperties(false);
    for(auto const& Row : m_Asset.VariantSet.VideoVariants)
    {
        if(!Row.TrickPlay)
            continue;
        auto const Variant = m_Asset.VideoVariantAt(Row, m_Periods[PeriodIndex].Changes);
        Text += StringFormat("<Representation id=\"trickplay-%u\" mimeType=\"video/mp4\" codecs=\"%s\" width=\"%u\" height=\"%u\" sar=\"1:1\" frameRate=\"%u/%u\" "
                             "startWithSAP=\"1\" maxPlayoutRate=\"%s\" bandwidth=\"%u\">",
                             Numbers.Representation++, Variant.Codecs.c_str(), Variant.FrameSizeW, Variant.FrameSizeH, 1u, 1u, FormatDecimal(16, 2).c_str(),
                             Variant.Bitrate);
        WriteVideoTemplate(Text, PeriodIndex, Variant);
        Text += "</Representation>";
    }
    Text += "</AdaptationSet>";
}

void DashManifestWriter::WriteAudioSet(std::string& Text, std::uint32_t PeriodIndex, Counters& Numbers, std::uint32_t Row) const
{
    auto const& Variant = m_Asset.VariantSet.AudioVariants.at(Row);
    Text += StringFormat("<AdaptationSet id=\"%u\" contentType=\"audio\" lang=\"%s\">", Numbers.AdaptationSet++, Variant.Language.c_str());
    Text += m_ContentProtection.Descriptors(KeyTrack::Audio, KeysOf(PeriodIndex));
    if(Variant.Voice)
        Text += AudioRoles(Variant);
    Text += StringFormat("<Representation id=\"%u\" bandwidth=\"%u\" codecs=\"%s\" mimeType=\"audio/mp4\" audioSamplingRate=\"%u\">", Numbers.Representation++,
                         Variant.Bitrate(), Variant.Codecs.c_str(), AudioSampleRate);
    if(Variant.Subtype == AudioSubtype::Ac3 || Variant.Subtype == AudioSubtype::Ec3)
    {
        // Dolby's scheme, as DASH-IF's guidelines give it for AC-3 and
        // E-AC-3: the channels as a 16-bit mask of loudspeakers in four
        // hexadecimal digits, left (0x8000) and right (0x2000) for stereo;
        // 5.1 adds centre (0x4000), left and right surround (0x1000, 0x0800)
        // and the LFE (0x0001).
        static_assert(AudioChannelCount == 2 && SurroundChannelCount == 6);
        Text += StringFormat("<AudioChannelConfiguration schemeIdUri=\"tag:dolby.com,2014:dash:audio_channel_configuration:2011\" value=\"%s\"/>",
                             Variant.Channels == SurroundChannelCount ? "F801" : "A000");
    }
    else
    {
        // The value of this scheme is the channel count (ISO/IEC 23009-1 5.8.5.4).
        Text += StringFormat("<AudioChannelConfiguration schemeIdUri=\"urn:mpeg:dash:23003:3:audio_channel_configuration:2011\" value=\"%u\"/>",
                             Variant.Channels);
    }
    WriteAudioTemplate(Text, PeriodIndex, Row);
    Text += "</Representation></AdaptationSet>";
}

void DashManifestWriter::WriteVideoTemplate(std::string& Text, std::uint32_t PeriodIndex, VideoVariant const& Variant) const
{
    auto const Asset = static_cast<std::int32_t>(m_Asset.Asset);
    auto const Index = static_cast<std::int32_t>(Variant.Index);
    auto const Period = static_cast<std::int32_t>(PeriodIndex);
    UrlBuilder Initialization("video-header.mp4");
    Initialization.Add("asset", Asset).Add("variant", Index);
    AddHeaderStart(Initialization, PeriodIndex, VideoHeaderChanges, Variant.SegmentDuration);
    std::string Files;
    if(m_WriteResponseFiles)
        Files = StringFormat("__period=\"%u\" __initialization=\"video-header-v%u.mp4\" __media=\"video-body-v%u-p%u-i$Number$.mp4\"", PeriodIndex,
                             Variant.Index, Variant.Index, PeriodIndex);
    UrlBuilder Media("video-body.mp4");
    if(m_PublishTime)
    {
        Media.Add("asset", Asset).Add("variant", Index);
        AddAd(Media, m_Periods[PeriodIndex]);
        AddLiveAddress(Media, PeriodIndex, Variant.SegmentDuration);
        WriteLiveTemplate(Text, PeriodIndex, Variant.SegmentDuration, Initialization.EscapedText(), Media.EscapedText(), Files);
        return;
    }
    auto const& Plan = m_Periods[PeriodIndex];
    auto const Range = Plan.Period.Segments(PeriodIndex, Variant.SegmentDuration);
    Media.Add("asset", Asset).Add("variant", Index);
    if(Plan.Fixed)
        Media.Add("period", Period).Add("color", Period);
    AddAd(Media, Plan);
    Media.Add("baseIndex", Range.BaseIndex - OriginIndex(Plan, Variant.SegmentDuration)).Add("index", "$Number$");
    WriteTemplate(Text, PeriodIndex, Variant.SegmentDuration, Range, Initialization.EscapedText(), Media.EscapedText(), Files);
}

void DashManifestWriter::WriteAudioTemplate(std::string& Text, std::uint32_t PeriodIndex, std::uint32_t Row) const
{
    auto const& Variant = m_Asset.VariantSet.AudioVariants.at(Row);
    std::int64_t const SegmentDuration = Variant.SegmentDuration;
    auto const Asset = static_cast<std::int32_t>(m_Asset.Asset);
    // An asset of several rows names the row's codec and language in its addresses.
    auto const AddRow = [&](UrlBuilder& Url) {
        if(m_Asset.VariantSet.AudioCodecCount() > 1)
            Url.Add("audio", std::string(AudioCodecName(Variant.Subtype)));
        if(m_Asset.VariantSet.HasAudioVoices())
            Url.Add("lang", Variant.Language);
        if(Variant.Voice && Variant.Voice->Describes)
            Url.Add("describes", 1);
    };
    UrlBuilder Initialization("audio-header.mp4");
    Initialization.Add("asset", Asset);
    AddRow(Initialization);
    AddHeaderStart(Initialization, PeriodIndex, AudioHeaderChanges, SegmentDuration);
    std::string Files;
    if(m_WriteResponseFiles)
        Files = StringFormat("__period=\"%u\" __initialization=\"audio-header-v%u.mp4\" __media=\"audio-body-v%u-p%u-i$Number$.mp4\"", PeriodIndex, Row, Row,
                             PeriodIndex);
    UrlBuilder Media("audio-body.mp4");
    Media.Add("asset", Asset);
    AddRow(Media);
    if(m_PublishTime)
    {
        AddAd(Media, m_Periods[PeriodIndex]);
        AddLiveAddress(Media, PeriodIndex, SegmentDuration);
        WriteLiveTemplate(Text, PeriodIndex, SegmentDuration, Initialization.EscapedText(), Media.EscapedText(), Files);
        return;
    }
    auto const& Plan = m_Periods[PeriodIndex];
    auto const Range = Plan.Period.Segments(PeriodIndex, SegmentDuration);
    if(Plan.Fixed)
        Media.Add("period", static_cast<std::int32_t>(PeriodIndex));
    AddAd(Media, Plan);
    Media.Add("baseIndex", Range.BaseIndex - OriginIndex(Plan, SegmentDuration)).Add("index", "$Number$");
    WriteTemplate(Text, PeriodIndex, SegmentDuration, Range, Initialization.EscapedText(), Media.EscapedText(), Files);
}

void DashManifestWriter::WriteTemplate(std::string& Text, std::uint32_t PeriodIndex, std::int64_t SegmentDuration, DashPeriod::SegmentRange const& Range,
                                       std::string const& Initialization, std::string const& Media, std::string const& Files) const
{
    auto const& Period = m_Periods[PeriodIndex].Period;
    Text += StringFormat("<SegmentTemplate timescale=\"%llu\" presentationTimeOffset=\"%llu\" initialization=\"%s\" media=\"%s\" %s>",
                         static_cast<unsigned long long>(TimeUnitsPerSecond), static_cast<unsigned long long>(Period.Offset), Initialization.c_str(),
                         Media.c_str(), Files.c_str());
    Text += StringFormat("<SegmentTimeline><S d=\"%llu\" t=\"%llu\" r=\"%u\" /></SegmentTimeline></SegmentTemplate>",
                         static_cast<unsigned long long>(SegmentDuration), static_cast<unsigned long long>(Range.First * SegmentDuration), Range.RepeatCount);
}

void DashManifestWriter::AddLiveAddress(UrlBuilder& Media, std::uint32_t PeriodIndex, std::int64_t SegmentDuration) const
{
    if(m_Asset.Timeline == DashTimeline::Time)
        Media.Add("time", "$Time$");
    else
        Media.Add("baseIndex", DynamicBaseIndexOf(PeriodIndex, SegmentDuration)).Add("index", "$Number$");
}

void DashManifestWriter::WriteLiveTemplate(std::string& Text, std::uint32_t PeriodIndex, std::int64_t SegmentDuration, std::string const& Initialization,
                                           std::string const& Media, std::string const& Files) const
{
    if(m_EndedFrom)
    {
        WriteEndedTemplate(Text, SegmentDuration, Initialization, Media, Files);
        return;
    }
    if(m_Asset.Timeline != DashTimeline::None)
    {
        WriteLiveTimeline(Text, SegmentDuration, Initialization, Media, Files);
        return;
    }
    Text += StringFormat("<SegmentTemplate timescale=\"%llu\" duration=\"%llu\" startNumber=\"1\"", static_cast<unsigned long long>(TimeUnitsPerSecond),
                         static_cast<unsigned long long>(SegmentDuration));
    if(auto const Offset = DynamicOffsetOf(PeriodIndex); Offset > 0)
        Text += StringFormat(" presentationTimeOffset=\"%llu\"", static_cast<unsigned long long>(Offset));
    if(auto const Offset = AvailabilityTimeOffset(m_Asset); Offset > 0 && !m_LivePeriods && !m_Asset.Dynamic)
        Text += StringFormat(" availabilityTimeOffset=\"%s\" availabilityTimeComplete=\"false\"",
                             FormatDecimal(static_cast<double>(Offset) / static_cast<double>(TimeUnitsPerSecond), 3).c_str());
    Text += StringFormat(" initialization=\"%s\" media=\"%s\"%s%s/>", Initialization.c_str(), Media.c_str(), Files.empty() ? "" : " ", Files.c_str());
}

void DashManifestWriter::WriteLiveTimeline(std::string& Text, std::int64_t SegmentDuration, std::string const& Initialization, std::string const& Media,
                                           std::string const& Files) const
{
    // The complete segments from the oldest that begins inside the
    // time-shift window; the live edge's segment always, even when the
    // window is shorter than a segment.
    std::int64_t const Elapsed = *m_PublishTime - m_Asset.BaseLiveTime;
    std::int64_t const Complete = Elapsed >= 0 ? Elapsed / SegmentDuration : 0;
    std::int64_t const WindowStart = Elapsed - m_Asset.LiveWindow.value_or(0);
    std::int64_t const First = std::clamp<std::int64_t>((WindowStart + SegmentDuration - 1) / SegmentDuration, 0, std::max<std::int64_t>(Complete - 1, 0));
    WriteTimelineTemplate(Text, SegmentDuration, First, Complete, "", Initialization, Media, Files);
}

void DashManifestWriter::WriteTimelineTemplate(std::string& Text, std::int64_t SegmentDuration, std::int64_t First, std::int64_t End,
                                               std::string const& Offset, std::string const& Initialization, std::string const& Media,
                                               std::string const& Files)
{
    // Numbers name segment index + 1, as the number templates' do, from
    // the first listed.
    Text += StringFormat("<SegmentTemplate timescale=\"%llu\" startNumber=\"%lld\"%s initialization=\"%s\" media=\"%s\"%s%s>",
                         static_cast<unsigned long long>(TimeUnitsPerSecond), static_cast<long long>(First + DynamicBaseIndex), Offset.c_str(),
                         Initialization.c_str(), Media.c_str(), Files.empty() ? "" : " ", Files.c_str());
    // Before the first segment is complete, an empty timeline: the next
    // update lists it. Shaka waits on it; a segment listed before it is
    // complete it would ask for at once.
    Text += "<SegmentTimeline>";
    if(End > First)
        Text += StringFormat("<S t=\"%lld\" d=\"%lld\" r=\"%lld\"/>", static_cast<long long>(First * SegmentDuration), static_cast<long long>(SegmentDuration),
                             static_cast<long long>(End - First - 1));
    Text += "</SegmentTimeline></SegmentTemplate>";
}

void DashManifestWriter::WriteEndedTemplate(std::string& Text, std::int64_t SegmentDuration, std::string const& Initialization, std::string const& Media,
                                            std::string const& Files) const
{
    // Every track has a segment boundary at the document's time 0.
    std::int64_t const From = *m_EndedFrom;
    std::int64_t const First = From / SegmentDuration;
    std::string const Offset = From > 0 ? StringFormat(" presentationTimeOffset=\"%lld\"", static_cast<long long>(From)) : std::string();
    if(m_Asset.Timeline != DashTimeline::None)
    {
        WriteTimelineTemplate(Text, SegmentDuration, First, CeilDivide(*m_Asset.EventEnd, SegmentDuration), Offset, Initialization, Media, Files);
        return;
    }
    Text += StringFormat("<SegmentTemplate timescale=\"%llu\" duration=\"%llu\" startNumber=\"%lld\"%s initialization=\"%s\" media=\"%s\"%s%s/>",
                         static_cast<unsigned long long>(TimeUnitsPerSecond), static_cast<unsigned long long>(SegmentDuration),
                         static_cast<long long>(First + DynamicBaseIndex), Offset.c_str(), Initialization.c_str(), Media.c_str(), Files.empty() ? "" : " ",
                         Files.c_str());
}

std::int64_t DashManifestWriter::DynamicOffsetOf(std::uint32_t PeriodIndex) const noexcept
{
    return m_LivePeriods ? m_Periods[PeriodIndex].Period.Offset : 0;
}

std::int32_t DashManifestWriter::DynamicBaseIndexOf(std::uint32_t PeriodIndex, std::int64_t SegmentDuration) const noexcept
{
    // Template number n of a period names the segment that begins n - 1
    // segments after its offset; the offsets of live periods lie on every
    // track's segment boundaries (Configuration::BreakGrid).
    std::int64_t const Origin = m_LivePeriods ? m_Periods[PeriodIndex].Changes.Origin : 0;
    return static_cast<std::int32_t>(DynamicBaseIndex - (DynamicOffsetOf(PeriodIndex) + Origin) / SegmentDuration);
}

ChangeState DashManifestWriter::KeysOf(std::uint32_t PeriodIndex) const
{
    // Keys said in the fragments leave every period the first key.
    if(m_Asset.InbandKeys)
        return {};
    return m_Periods[PeriodIndex].Changes;
}

std::int32_t DashManifestWriter::OriginIndex(DashPeriodPlan const& Plan, std::int64_t SegmentDuration) noexcept
{
    // Segment numbers run on across a restart of the decode timeline.
    return static_cast<std::int32_t>(Plan.Changes.Origin / SegmentDuration);
}

void DashManifestWriter::AddHeaderStart(UrlBuilder& Initialization, std::uint32_t PeriodIndex, std::uint32_t HeaderKinds, std::int64_t SegmentDuration) const
{
    // The segment that first needed the period's initialisation segment
    // names it, as the HLS playlists do.
    if(m_Periods[PeriodIndex].Fixed || m_Periods[PeriodIndex].Ad != 0)
        return;
    if(std::int64_t const Since = m_Asset.Changes.LastUpTo(m_Periods[PeriodIndex].Period.Start, HeaderKinds & m_Asset.PeriodChanges()); Since > 0)
        Initialization.Add("at", static_cast<std::int32_t>(Since / SegmentDuration));
}

std::string DashManifestWriter::EventNamespace() const
{
    if(m_Asset.Breaks && m_Asset.Breaks->Has(BreakSignal::EventStream))
        return StringFormat(" xmlns:scte35=\"%s\"", Scte35Namespace);
    return {};
}

std::int64_t DashManifestWriter::UpdatePeriod() const
{
    // The events of breaks yet to come appear as the live edge nears them:
    // players read the document again within a lead time.
    // The same for the periods of ads, which it lists that far ahead.
    std::int64_t Period = MinimumUpdatePeriod;
    // A timeline grows by a segment of each track: players read it again
    // after the shortest. The regular document keeps that rhythm without
    // one too, as players expect of a dynamic document.
    if(m_Asset.Dynamic)
        Period = ShortestSegmentDuration();
    if(m_Asset.Breaks && (m_Asset.Breaks->Has(BreakSignal::EventStream) || m_Asset.Breaks->Ads > 0))
        Period = std::min(Period, std::max(m_Asset.Breaks->Lead, m_Asset.Breaks->Schedule.Grid()));
    // The periods of changes to come, the same: the next appears within one.
    if(!m_Asset.Changes.Empty())
        Period = std::min(Period, m_Asset.Changes.ShortestPeriod());
    return Period;
}

void DashManifestWriter::WriteEventStream(std::string& Text, std::vector<AdBreak> const& Breaks, std::int64_t PeriodStart) const
{
    if(Breaks.empty())
        return;
    constexpr std::int64_t Scale = BreakMessages::EventTimescale;
    Text += StringFormat("<EventStream schemeIdUri=\"%s\" timescale=\"%lld\">", EventScheme, static_cast<long long>(Scale));
    for(auto const& Break : Breaks)
        Text += StringFormat("<Event presentationTime=\"%lld\" duration=\"%lld\" id=\"%u\"><scte35:Signal><scte35:Binary>%s</scte35:Binary></scte35:Signal></Event>",
                             static_cast<long long>(MulDivRound(Break.Start - PeriodStart, Scale, TimeUnitsPerSecond)),
                             static_cast<long long>(MulDivRound(Break.Duration, Scale, TimeUnitsPerSecond)), Break.Number,
                             Scte35Section::FormatBase64(BreakSections::Out(m_Asset, Break)).c_str());
    Text += "</EventStream>";
}

void DashManifestWriter::WriteLiveEvents(std::string& Text) const
{
    if(!m_Asset.Breaks || !m_Asset.Breaks->Has(BreakSignal::EventStream))
        return;
    // The breaks of the window, and those that begin before the next
    // update is due.
    std::int64_t const Elapsed = *m_PublishTime - m_Asset.BaseLiveTime;
    auto Breaks = m_Asset.Breaks->Schedule.Overlapping(Elapsed - m_Asset.LiveWindow.value_or(0), Elapsed + m_Asset.Breaks->Lead + 2 * UpdatePeriod());
    if(Breaks.size() > MaximalLiveEvents)
        Breaks.erase(Breaks.begin(), Breaks.end() - MaximalLiveEvents);
    WriteEventStream(Text, Breaks, 0);
}

bool DashManifestWriter::HasTrickPlaySet() const
{
    auto const& Variants = m_Asset.VariantSet.VideoVariants;
    return m_TrickPlay && !m_Asset.NoVideo && std::any_of(Variants.begin(), Variants.end(), [](auto const& Variant) { return Variant.TrickPlay; });
}
} // namespace Application
