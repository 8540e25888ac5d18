// SPDX-License-Identifier: GPL-2.0-or-later
#include "mp4/Mp4InitializationSegment.h"

#include <algorithm>
#include <utility>

#include "base/Check.h"
#include "mp4/Mp4BoxWriter.h"
#include "mp4/Mp4ProtectionSignalling.h"

namespace Mp4
{
std::vector<std::uint8_t> InitializationSegment::Build(std::vector<Track> const& TrackVector, ProtectionSettings const& Settings)
{
    return Build(TrackVector, Settings, {MakeFourCc("iso8"), MakeFourCc("mp41"), MakeFourCc("dash"), MakeFourCc("avc1"), MakeFourCc("cmfc")});
}

std::vector<std::uint8_t> InitializationSegment::Build(std::vector<Track> const& TrackVector, ProtectionSettings const& Settings,
                                                       std::vector<std::uint32_t> CompatibleBrandVector)
{
    CHECK_LINE(!TrackVector.empty());
    FtypBox Ftyp;
    Ftyp.SetPresent();
    Ftyp.m_MajorBrand = MakeFourCc("isom");
    Ftyp.m_MinorVersion = 0;
    Ftyp.m_CompatibleBrandVector = std::move(CompatibleBrandVector);

    auto const Video = std::find_if(TrackVector.begin(), TrackVector.end(), [](Track const& Value) { return Value.m_Kind == TrackKind::Video; });
    std::uint32_t const MovieTimescale = (Video != TrackVector.end() ? *Video : TrackVector.front()).m_Timescale;
    MoovBox Moov;
    Moov.SetPresent();
    Moov.m_MvhdBox.SetPresent();
    Moov.m_MvhdBox.m_Timescale = MovieTimescale;
    Moov.m_MvhdBox.m_NextTrackId = static_cast<std::uint32_t>(TrackVector.size() + 1);
    for(auto const& Value : TrackVector)
    {
        Moov.m_TrakBoxList.push_back(Value.m_TrakBox);
        Moov.m_MvexBox.m_TrexBoxList.push_back(Value.m_TrexBox);
    }
    Moov.m_MvexBox.SetPresent();
    Moov.m_MvexBox.m_MehdBox.SetPresent();
    if(Settings.IsActive())
        ProtectionSignalling::AddPsshBoxes(Moov, Settings);

    BoxWriter Writer;
    Ftyp.Write(Writer);
    Moov.Write(Writer);
    return Writer.TakeData();
}
} // namespace Mp4
