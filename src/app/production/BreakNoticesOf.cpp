// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/production/BreakNoticesOf.h"

#include "media/BreakMoment.h"

namespace Application
{
std::vector<BreakNotice> BreakNoticesOf(Configuration const& Asset, std::int64_t Start, std::int64_t End)
{
    std::vector<BreakNotice> Notices;
    if(Asset.Breaks)
        for(auto const& Break : Asset.Breaks->Schedule.Overlapping(Start, End + BreakMoment::CountdownDuration))
            Notices.push_back({Break.Number, Break.Start, Break.Duration});
    return Notices;
}
} // namespace Application
