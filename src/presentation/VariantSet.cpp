// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/VariantSet.h"

#include "base/Check.h"
#include "base/StringFormat.h"
#include "presentation/OptionTable.h"
#include "presentation/QueryNumbers.h"

namespace Application
{
bool VariantSet::ParseVideoVariant(QueryVector const& Query, VideoVariant& Variant) const
{
    auto const& Option = OptionTable::Get("variant");
    auto const* Pair = FindOption(Query, Option);
    if(!Pair)
        return false;
    // Leniently, as every integer of a query is read, but text without any
    // digit names no variant, not variant 0.
    std::size_t Converted = 0;
    auto const Value = static_cast<std::uint32_t>(ConvertInteger(Pair->Value, &Converted));
    if(Converted == 0)
        Option.Refuse(Pair->Value);
    if(Value >= VideoVariants.size())
        return false;
    Variant = VideoVariants[Value];
    return true;
}
} // namespace Application
