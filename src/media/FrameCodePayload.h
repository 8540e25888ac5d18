// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "media/BreakMoment.h"

namespace Application
{
// Which picture of which presentation a frame is: the asset number and the
// video variant index the frame code names.
struct FrameCodeIdentity
{
    std::uint32_t Asset = 0;
    std::uint32_t Variant = 0;
};

// The text of the QR code that pictures of a "framecode" asset carry:
//
//   QVF1;a=<asset>;v=<variant>;f=<frame>;t=<media ms>;u=<UTC ms or ->
//
// "QVF1" names this layout; a reader refuses other versions. f is the frame's
// index on the variant's frame grid, t its presentation time in whole
// milliseconds (rounded down), u the UTC time of the frame in milliseconds
// since 1970 for live presentations (the base live time plus t) and "-" for
// on-demand ones. Fields are decimal, in this order, separated by ";".
//
// Three fields may follow, in this order, only where they apply (so the
// codes of pictures without them stay as they were):
//
//   ;b=<break>   inside ad break <break>; ";b=-<break>" in the countdown
//                before it
//   ;ad=<number> a picture of ad <number> of its break
//   ;c=<epoch>   a picture of change epoch <epoch> (from 0) of a stream
//                that changes on a schedule (ChangeNotice)
class FrameCodePayload
{
public:
    static constexpr std::string_view Version = "QVF1";

    // Time in 100-ns units; BaseLiveTime in 100-ns units from 1601-01-01 UTC.
    static std::string Format(FrameCodeIdentity const& Identity, std::int64_t Index, std::int64_t Time, std::optional<std::int64_t> BaseLiveTime,
                              std::optional<BreakMoment> const& Break = std::nullopt, std::optional<std::uint32_t> Advert = std::nullopt,
                              std::optional<std::uint32_t> Change = std::nullopt);
};
} // namespace Application
