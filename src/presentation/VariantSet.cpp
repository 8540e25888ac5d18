// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/VariantSet.h"

#include "base/Check.h"
#include "base/FailureCodes.h"
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

std::size_t VariantSet::AudioRowOf(QueryVector const& Query) const
{
    CHECK_LINE(!AudioVariants.empty());
    auto const Name = QueryChoice(Query, OptionTable::Get("audio", OptionKind::Choice));
    if(!Name)
        return 0;
    for(std::size_t Row = 0; Row < AudioVariants.size(); ++Row)
        if(AudioCodecName(AudioVariants[Row].Subtype) == *Name)
            return Row;
    std::string Codecs;
    for(auto const& Variant : AudioVariants)
        Codecs += (Codecs.empty() ? "" : ", ") + std::string(AudioCodecName(Variant.Subtype));
    ThrowCheckFailure(FailureCode::AudioRowUnknown, TRACE_CONTEXT(), "VariantSet::AudioRowOf",
                      StringFormat("The asset has no %.*s audio: its audio is %s", static_cast<int>(Name->size()), Name->data(), Codecs.c_str()));
}

std::string VariantSet::AudioRowQuery(AudioVariant const& Variant) const
{
    if(AudioVariants.size() <= 1)
        return {};
    return "&audio=" + std::string(AudioCodecName(Variant.Subtype));
}
} // namespace Application
