// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/VariantSet.h"

#include "base/Check.h"
#include "base/StringFormat.h"
#include "presentation/QueryNumbers.h"

namespace Application
{
bool VariantSet::ParseVideoVariant(QueryVector const& Query, VideoVariant& Variant) const
{
    auto const* Pair = FindQueryValue(Query, "variant");
    if(!Pair)
        return false;
    std::size_t Converted = 0;
    auto const Value = static_cast<std::uint32_t>(ConvertInteger(Pair->Value, &Converted));
    if(Converted == 0)
    {
        std::string Message = StringFormat("Failed to convert \"%s\" to integer", Pair->Value.c_str());
        TRACE("%s\n", Message.c_str());
        throw HResultError(E_INVALIDARG, std::move(Message));
    }
    if(Value >= VideoVariants.size())
        return false;
    Variant = VideoVariants[Value];
    return true;
}
} // namespace Application
