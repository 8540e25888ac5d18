// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/FrameCodePayload.h"

#include "base/MediaTime.h"
#include "base/MulDiv.h"
#include "base/StringFormat.h"

namespace Application
{
namespace
{
constexpr std::int64_t UnitsPerMillisecond = 10'000;

std::string Milliseconds(std::int64_t Time)
{
    return StringFormat("%lld", static_cast<long long>(MulDivFloor(Time, 1, UnitsPerMillisecond)));
}
} // namespace

std::string FrameCodePayload::Format(FrameCodeIdentity const& Identity, std::int64_t Index, std::int64_t Time, std::optional<std::int64_t> BaseLiveTime,
                                     std::optional<BreakMoment> const& Break, std::optional<std::uint32_t> Advert, std::optional<std::uint32_t> Change)
{
    std::string const Utc = BaseLiveTime ? Milliseconds(*BaseLiveTime + Time - UnixEpochAbsoluteTime) : "-";
    std::string Text = StringFormat("%.*s;a=%u;v=%u;f=%lld;t=%s;u=%s", static_cast<int>(Version.size()), Version.data(), Identity.Asset, Identity.Variant,
                                    static_cast<long long>(Index), Milliseconds(Time).c_str(), Utc.c_str());
    // A sign rather than a field of its own: a reader that knows only "b"
    // still tells the countdown from the break.
    if(Break)
        Text += StringFormat(";b=%s%u", Break->During ? "" : "-", Break->Number);
    if(Advert)
        Text += StringFormat(";ad=%u", *Advert);
    if(Change)
        Text += StringFormat(";c=%u", *Change);
    return Text;
}
} // namespace Application
