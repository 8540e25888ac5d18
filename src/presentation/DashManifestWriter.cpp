// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/DashManifestWriter.h"

#include <algorithm>

#include "base/Check.h"
#include "base/StringFormat.h"
#include "presentation/DecimalText.h"
#include "presentation/QueryNumbers.h"
#include "presentation/UrlBuilder.h"

namespace Application
{
namespace
{
std::string Duration(std::int64_t Value)
{
    return "PT" + FormatDecimal(static_cast<double>(Value) / static_cast<double>(TimeUnitsPerSecond), 2) + "S";
}

constexpr char const* TrickModeScheme = "http://dashif.org/guidelines/trickmode";
} // namespace

DashManifestWriter::DashManifestWriter(Configuration const& Asset, bool TrickPlay, bool WriteResponseFiles, std::string LicenceUrl) :
    m_Asset(Asset), m_TrickPlay(TrickPlay), m_WriteResponseFiles(WriteResponseFiles), m_ContentProtection(Asset, std::move(LicenceUrl))
{
}

std::string DashManifestWriter::Write() const
{
    std::int64_t TotalDuration = 0;
    for(auto const& Period : DashPeriods)
        TotalDuration += Period.Duration;
    std::string Text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    Text += "<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"" + m_ContentProtection.Namespaces() +
            " xsi:schemaLocation=\"urn:mpeg:dash:schema:mpd:2011 DASH-MPD.xsd\" profiles=\"urn:mpeg:dash:profile:isoff-on-demand:2011\""
            " minBufferTime=\"PT2.00S\" type=\"static\" mediaPresentationDuration=\"" +
            Duration(TotalDuration) + "\">";
    // The server's own about page, relative to the manifest.
    Text += "<ProgramInformation moreInformationURL=\"about\"/>";
    for(std::uint32_t Index = 0; Index < DashPeriods.size(); ++Index)
        WritePeriod(Text, Index);
    Text += "</MPD>";
    return Text;
}

void DashManifestWriter::WritePeriod(std::string& Text, std::uint32_t PeriodIndex) const
{
    auto const& Period = DashPeriods[PeriodIndex];
    Text += StringFormat("<Period id=\"%u\" start=\"%s\" duration=\"%s\">", PeriodIndex, Duration(Period.Start).c_str(), Duration(Period.Duration).c_str());
    Counters Numbers;
    if(!m_Asset.NoVideo)
        WriteVideoSet(Text, PeriodIndex, Numbers);
    if(HasTrickPlaySet())
        WriteTrickPlaySet(Text, PeriodIndex, Numbers);
    if(!m_Asset.NoAudio)
        WriteAudioSet(Text, PeriodIndex, Numbers);
    Text += "</Period>";
}

void DashManifestWriter::WriteVideoSet(std::string& Text, std::uint32_t PeriodIndex, Counters& Numbers) const
{
    Numbers.MainVideoSet = Numbers.AdaptationSet;
    Text += StringFormat("<AdaptationSet id=\"%u\" contentType=\"video\">", Numbers.AdaptationSet++);
    Text += m_ContentProtection.Descriptors();
    Text += "<Role schemeIdUri=\"urn:mpeg:dash:role:2011\" value=\"main\"/>";
    for(auto const& Variant : m_Asset.VariantSet.VideoVariants)
    {
        if(Variant.TrickPlay && !m_TrickPlay)
            continue;
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
    Text += m_ContentProtection.Descriptors();
    // The value names the main adaptation set whose key frames this set
    // carries; players attach the trick-play set to the set with that id.
    Text += StringFormat("<EssentialProperty schemeIdUri=\"%s\" value=\"%u\" />", TrickModeScheme, Numbers.MainVideoSet);
    for(auto const& Variant : m_Asset.VariantSet.VideoVariants)
    {
        if(!Variant.TrickPlay)
            continue;
        Text += StringFormat("<Representation id=\"trickplay-%u\" mimeType=\"video/mp4\" codecs=\"%s\" width=\"%u\" height=\"%u\" sar=\"1:1\" frameRate=\"%u/%u\" "
                             "startWithSAP=\"1\" maxPlayoutRate=\"%s\" bandwidth=\"%u\">",
                             Numbers.Representation++, Variant.Codecs.c_str(), Variant.FrameSizeW, Variant.FrameSizeH, 1u, 1u, FormatDecimal(16, 2).c_str(),
                             Variant.Bitrate);
        WriteVideoTemplate(Text, PeriodIndex, Variant);
        Text += "</Representation>";
    }
    Text += "</AdaptationSet>";
}

void DashManifestWriter::WriteAudioSet(std::string& Text, std::uint32_t PeriodIndex, Counters& Numbers) const
{
    CHECK_LINE(!m_Asset.VariantSet.AudioVariants.empty());
    auto const& Variant = m_Asset.VariantSet.AudioVariants.front();
    Text += StringFormat("<AdaptationSet id=\"%u\" contentType=\"audio\" lang=\"%s\">", Numbers.AdaptationSet++, Variant.Language.c_str());
    Text += m_ContentProtection.Descriptors();
    Text += StringFormat("<Representation id=\"%u\" bandwidth=\"%u\" codecs=\"%s\" mimeType=\"audio/mp4\" audioSamplingRate=\"%u\">", Numbers.Representation++,
                         128'000u, Variant.Codecs.c_str(), AudioSampleRate);
    // The value of this scheme is the channel count (ISO/IEC 23009-1 5.8.5.4).
    Text += StringFormat("<AudioChannelConfiguration schemeIdUri=\"urn:mpeg:dash:23003:3:audio_channel_configuration:2011\" value=\"%u\"/>", AudioChannelCount);
    WriteAudioTemplate(Text, PeriodIndex);
    Text += "</Representation></AdaptationSet>";
}

void DashManifestWriter::WriteVideoTemplate(std::string& Text, std::uint32_t PeriodIndex, VideoVariant const& Variant) const
{
    auto const Range = DashPeriods[PeriodIndex].Segments(PeriodIndex, Variant.SegmentDuration);
    auto const Asset = static_cast<std::int32_t>(m_Asset.Asset);
    auto const Index = static_cast<std::int32_t>(Variant.Index);
    auto const Period = static_cast<std::int32_t>(PeriodIndex);
    UrlBuilder Initialization("video-header.mp4");
    Initialization.Add("asset", Asset).Add("variant", Index);
    UrlBuilder Media("video-body.mp4");
    Media.Add("asset", Asset).Add("variant", Index).Add("period", Period).Add("color", Period).Add("baseIndex", Range.BaseIndex).Add("index", "$Number$");
    std::string Files;
    if(m_WriteResponseFiles)
        Files = StringFormat("__period=\"%u\" __initialization=\"video-header-v%u.mp4\" __media=\"video-body-v%u-p%u-i$Number$.mp4\"", PeriodIndex,
                             Variant.Index, Variant.Index, PeriodIndex);
    WriteTemplate(Text, PeriodIndex, Variant.SegmentDuration, Range, Initialization.EscapedText(), Media.EscapedText(), Files);
}

void DashManifestWriter::WriteAudioTemplate(std::string& Text, std::uint32_t PeriodIndex) const
{
    std::int64_t const SegmentDuration = m_Asset.VariantSet.AudioVariants.front().SegmentDuration;
    auto const Range = DashPeriods[PeriodIndex].Segments(PeriodIndex, SegmentDuration);
    auto const Asset = static_cast<std::int32_t>(m_Asset.Asset);
    UrlBuilder Initialization("audio-header.mp4");
    Initialization.Add("asset", Asset);
    UrlBuilder Media("audio-body.mp4");
    Media.Add("asset", Asset).Add("period", static_cast<std::int32_t>(PeriodIndex)).Add("baseIndex", Range.BaseIndex).Add("index", "$Number$");
    std::string Files;
    if(m_WriteResponseFiles)
        Files = StringFormat("__period=\"%u\" __initialization=\"audio-header-v%u.mp4\" __media=\"audio-body-v%u-p%u-i$Number$.mp4\"", PeriodIndex, 0u, 0u,
                             PeriodIndex);
    WriteTemplate(Text, PeriodIndex, SegmentDuration, Range, Initialization.EscapedText(), Media.EscapedText(), Files);
}

void DashManifestWriter::WriteTemplate(std::string& Text, std::uint32_t PeriodIndex, std::int64_t SegmentDuration, DashPeriod::SegmentRange const& Range,
                                       std::string const& Initialization, std::string const& Media, std::string const& Files) const
{
    auto const& Period = DashPeriods[PeriodIndex];
    Text += StringFormat("<SegmentTemplate timescale=\"%llu\" presentationTimeOffset=\"%llu\" initialization=\"%s\" media=\"%s\" %s>",
                         static_cast<unsigned long long>(TimeUnitsPerSecond), static_cast<unsigned long long>(Period.Offset), Initialization.c_str(),
                         Media.c_str(), Files.c_str());
    Text += StringFormat("<SegmentTimeline><S d=\"%llu\" t=\"%llu\" r=\"%u\" /></SegmentTimeline></SegmentTemplate>",
                         static_cast<unsigned long long>(SegmentDuration), static_cast<unsigned long long>(Range.First * SegmentDuration), Range.RepeatCount);
}

bool DashManifestWriter::HasTrickPlaySet() const
{
    auto const& Variants = m_Asset.VariantSet.VideoVariants;
    return m_TrickPlay && !m_Asset.NoVideo && std::any_of(Variants.begin(), Variants.end(), [](auto const& Variant) { return Variant.TrickPlay; });
}
} // namespace Application
