// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "presentation/Configuration.h"
#include "presentation/DashContentProtection.h"
#include "presentation/DashPeriod.h"

namespace Application
{
// The static MPD of an asset: three 6-second periods, each with the video
// set, the optional trick-play set and the audio set, every representation
// addressed by a segment template with an explicit timeline. The asset's
// duration and live flag do not change it; its encryption is signalled only
// when the asset asked for it ("cp", DashContentProtection).
class DashManifestWriter
{
public:
    // With WriteResponseFiles every template also names the files the server
    // saves its segments under ("__period", "__initialization", "__media").
    // LicenceUrl is the absolute address of the asset's Clear Key licence.
    DashManifestWriter(Configuration const& Asset, bool TrickPlay, bool WriteResponseFiles, std::string LicenceUrl = {});

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

    void WritePeriod(std::string& Text, std::uint32_t PeriodIndex) const;
    void WriteVideoSet(std::string& Text, std::uint32_t PeriodIndex, Counters& Numbers) const;
    void WriteTrickPlaySet(std::string& Text, std::uint32_t PeriodIndex, Counters& Numbers) const;
    void WriteAudioSet(std::string& Text, std::uint32_t PeriodIndex, Counters& Numbers) const;
    void WriteVideoTemplate(std::string& Text, std::uint32_t PeriodIndex, VideoVariant const& Variant) const;
    void WriteAudioTemplate(std::string& Text, std::uint32_t PeriodIndex) const;
    void WriteTemplate(std::string& Text, std::uint32_t PeriodIndex, std::int64_t SegmentDuration, DashPeriod::SegmentRange const& Range,
                       std::string const& Initialization, std::string const& Media, std::string const& Files) const;
    bool HasTrickPlaySet() const;

    Configuration const& m_Asset;
    bool m_TrickPlay;
    bool m_WriteResponseFiles;
    DashContentProtection m_ContentProtection;
};
} // namespace Application
