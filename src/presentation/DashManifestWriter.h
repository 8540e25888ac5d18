// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "presentation/Configuration.h"
#include "presentation/DashContentProtection.h"
#include "presentation/DashPeriod.h"
#include "presentation/DashPeriodPlan.h"
#include "presentation/UrlBuilder.h"
#include <vector>

namespace Application
{
// The static MPD of an asset: three 6-second periods, each with the video
// set, the optional trick-play set and the audio set, every representation
// addressed by a segment template with an explicit timeline. The asset's
// duration and live flag do not change it; its encryption is signalled only
// when the asset asked for it ("cp", DashContentProtection).
//
// With "thumbs" a content period ends with an image set of thumbnail tiles
// on the timeline of the whole presentation (ThumbnailTrack); a dynamic
// document offers them by number once complete, and one of several
// periods (live ads or changes) has none.
//
// A live asset with "ll" gets a dynamic MPD instead (SetDynamic): one period
// from the start of the live timeline, segments addressed by number, each
// offered while it is made (availabilityTimeOffset, availabilityTimeComplete
// "false") and sent picture by picture as the pictures fall due (PacedEdge),
// with the latency a player should keep and a clock to keep it by.
//
// A live asset with "dynamic" gets the regular dynamic MPD: the one period,
// each segment offered once complete, addressed by number, or listed in a
// SegmentTimeline of the time-shift window ("segtimeline") and addressed
// by its start time or number; a presentation delay instead of a latency.
//
// A live event with an end ("stop") says its length in the dynamic
// document; once every track's last segment is complete the document is
// static: the event's segments inside the time-shift window, as an
// on-demand presentation.
class DashManifestWriter
{
public:
    // What a player aims for behind the live edge, the band it may drift in
    // and the playback rates it may use to return to its target.
    static constexpr std::int64_t TargetLatency = 20'000'000;
    static constexpr std::int64_t MinimalLatency = 10'000'000;
    static constexpr std::int64_t MaximalLatency = 40'000'000;
    static constexpr char const* MinimalPlaybackRate = "0.90";
    static constexpr char const* MaximalPlaybackRate = "1.20";
    // The document never changes but for its publish time, and a reload
    // makes a new asset: players need not ask again often.
    static constexpr std::int64_t MinimumUpdatePeriod = 600'000'000;
    // The regular dynamic document's presentation delay beyond its longest
    // segment, the buffer players keep ahead, and its minimal buffer.
    static constexpr std::int64_t RegularDelayMargin = 40'000'000;
    static constexpr std::int64_t MinimalBufferTime = 20'000'000;
    // The breaks' events a dynamic document lists at most (the latest).
    static constexpr std::size_t MaximalLiveEvents = 1'000;

    // The longest segment of the asset's tracks (its maxSegmentDuration).
    static std::int64_t LongestSegmentDuration(Configuration const& Asset) noexcept;
    // How long before its end a segment of any track is offered: the
    // longest segment less one part (the asset's "part"). So the longest
    // segments are offered once their first part is made, and shorter ones
    // (video) before they begin: players that place the live edge by the
    // longest segment and the smallest offset (Shaka) still ask for the
    // media being made, and the server holds what is not due yet.
    static std::int64_t AvailabilityTimeOffset(Configuration const& Asset) noexcept;

    // With WriteResponseFiles every template also names the files the server
    // saves its segments under ("__period", "__initialization", "__media").
    // LicenceUrl is the absolute address of the asset's Clear Key licence.
    DashManifestWriter(Configuration const& Asset, bool TrickPlay, bool WriteResponseFiles, std::string LicenceUrl = {});

    // Makes the document the dynamic one of a live asset ("ll" or "dynamic"), as
    // of PublishTime; TimeUrl is the absolute address of the server's clock.
    void SetDynamic(std::int64_t PublishTime, std::string TimeUrl);
    // Content steering ("steer"): a BaseURL per pathway, Location (the
    // server's absolute address) with "pathway/NAME/", the pathway its
    // serviceLocation, the first the default, and the ContentSteering
    // element naming ServerUrl, the absolute address of the asset's steering
    // manifest (players load it against their page). Absolute BaseURLs:
    // dash.js takes the first of several relative ones alone.
    void SetSteering(std::string ServerUrl, std::string Location);

    std::string Write() const;

private:
    // Adaptation set and representation numbers restart in every period; the
    // representation number runs across the period's sets.
    struct Counters
    {
        std::uint32_t AdaptationSet = 0;
        std::uint32_t Representation = 0;
        std::uint32_t MainVideoSet = 0;
    };

    std::string WriteStatic() const;
    std::string WriteDynamic() const;
    // An event that has ended, and where what it lists begins (SetEnded).
    std::string WriteEnded() const;
    void SetEnded();
    std::vector<std::int64_t> TrackSegmentDurations() const;
    // The dynamic document's MPD element and programme information.
    std::string DynamicHead(char const* Profiles, std::int64_t PresentationDelay, std::int64_t BufferTime) const;
    // What follows the programme information in either document: the
    // pathways' BaseURLs and the steering element, when steered.
    std::string SteeringElements() const;
    // The one period from the start of the live timeline, and the clock.
    void WriteOnePeriod(std::string& Text) const;
    void WriteClock(std::string& Text) const;
    std::int64_t ShortestSegmentDuration() const noexcept;
    void WritePeriod(std::string& Text, std::uint32_t PeriodIndex) const;
    void WriteSets(std::string& Text, std::uint32_t PeriodIndex) const;
    // The PQ or HLG rows' colour descriptors: the EssentialProperty ones, or
    // the SupplementalProperty ones, as the schema orders them.
    std::string ColourProperties(bool Essential) const;
    void WriteVideoSet(std::string& Text, std::uint32_t PeriodIndex, Counters& Numbers) const;
    void WriteTrickPlaySet(std::string& Text, std::uint32_t PeriodIndex, Counters& Numbers) const;
    // One set per audio row (its codec), each with its channel configuration.
    void WriteAudioSet(std::string& Text, std::uint32_t PeriodIndex, Counters& Numbers, std::uint32_t Row) const;
    // One set per language of "subs", after the audio.
    void WriteTextSet(std::string& Text, std::uint32_t PeriodIndex, Counters& Numbers, std::string const& Language) const;
    // The thumbnail tiles of "thumbs" (ThumbnailTrack), last.
    void WriteImageSet(std::string& Text, std::uint32_t PeriodIndex, Counters& Numbers) const;
    void WriteVideoTemplate(std::string& Text, std::uint32_t PeriodIndex, VideoVariant const& Variant) const;
    void WriteAudioTemplate(std::string& Text, std::uint32_t PeriodIndex, std::uint32_t Row) const;
    void WriteTemplate(std::string& Text, std::uint32_t PeriodIndex, std::int64_t SegmentDuration, DashPeriod::SegmentRange const& Range,
                       std::string const& Initialization, std::string const& Media, std::string const& Files) const;
    // A dynamic document's template: by number, or with "segtimeline" a
    // timeline of the window's complete segments (WriteLiveTimeline),
    // whose media addresses AddLiveAddress writes.
    void WriteLiveTemplate(std::string& Text, std::uint32_t PeriodIndex, std::int64_t SegmentDuration, std::string const& Initialization,
                           std::string const& Media, std::string const& Files) const;
    void WriteLiveTimeline(std::string& Text, std::int64_t SegmentDuration, std::string const& Initialization, std::string const& Media,
                           std::string const& Files) const;
    // Segments First to End - 1 in a timeline; Offset: the presentation
    // time offset attribute, or nothing.
    static void WriteTimelineTemplate(std::string& Text, std::int64_t SegmentDuration, std::int64_t First, std::int64_t End, std::string const& Offset,
                                      std::string const& Initialization, std::string const& Media, std::string const& Files);
    void WriteEndedTemplate(std::string& Text, std::int64_t SegmentDuration, std::string const& Initialization, std::string const& Media,
                            std::string const& Files) const;
    void AddLiveAddress(UrlBuilder& Media, std::uint32_t PeriodIndex, std::int64_t SegmentDuration) const;
    bool HasTrickPlaySet() const;
    // The breaks' signals: the namespace of their sections, the events of
    // Breaks (times relative to PeriodStart), a dynamic document's events
    // and how often it changes.
    std::string EventNamespace() const;
    void WriteEventStream(std::string& Text, std::vector<AdBreak> const& Breaks, std::int64_t PeriodStart) const;
    void WriteLiveEvents(std::string& Text) const;
    std::int64_t UpdatePeriod() const;
    // A live asset with ads: the dynamic document's periods, content and
    // ads, each with number templates from its own offset; otherwise one
    // period from the timeline's start.
    void WriteLivePeriod(std::string& Text, std::uint32_t PeriodIndex, bool Last) const;
    std::int64_t DynamicOffsetOf(std::uint32_t PeriodIndex) const noexcept;
    std::int32_t DynamicBaseIndexOf(std::uint32_t PeriodIndex, std::int64_t SegmentDuration) const noexcept;
    // How many segments of a track came before the decode timeline of a
    // period restarted; the number of the initialisation segment's first
    // segment where changes made it another ("at").
    static std::int32_t OriginIndex(DashPeriodPlan const& Plan, std::int64_t SegmentDuration) noexcept;
    // The state whose keys a period's descriptors name.
    ChangeState KeysOf(std::uint32_t PeriodIndex) const;
    void AddHeaderStart(UrlBuilder& Initialization, std::uint32_t PeriodIndex, std::uint32_t HeaderKinds, std::int64_t SegmentDuration) const;

    Configuration const& m_Asset;
    bool m_TrickPlay;
    bool m_WriteResponseFiles;
    DashContentProtection m_ContentProtection;
    std::vector<DashPeriodPlan> m_Periods; // the static document's, or a live one's with ads
    bool m_LivePeriods = false;
    std::optional<std::int64_t> m_PublishTime; // set: the dynamic document
    std::optional<std::int64_t> m_EndedFrom;   // set: an ended event's static one
    std::string m_TimeUrl;
    std::string m_SteeringUrl;
    std::string m_Location;
};
} // namespace Application
