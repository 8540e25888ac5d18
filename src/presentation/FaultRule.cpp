// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/FaultRule.h"

namespace Application
{
bool FaultSelection::Contains(std::uint32_t Number) const noexcept
{
    switch(Kind)
    {
    case Form::Index:
        return Number == First;
    case Form::Range:
        return Number >= First && Number <= Last;
    case Form::All:
        return true;
    case Form::Every:
        return First != 0 && Number % First == 0;
    }
    return false;
}

bool FaultRule::Matches(FaultTrack RequestTrack, std::uint32_t Number, std::string_view RequestPathway) const noexcept
{
    bool const TrackMatches = Track == RequestTrack || (Track == FaultTrack::Any && RequestTrack != FaultTrack::Playlist);
    return TrackMatches && Selection.Contains(Number) && OnPathway(RequestPathway);
}
} // namespace Application
