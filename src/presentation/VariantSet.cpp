// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/VariantSet.h"

#include <algorithm>

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "presentation/AudioCodecList.h"
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

namespace
{
std::string Listed(std::vector<AudioVariant> const& Rows, AudioSubtype Subtype)
{
    std::vector<std::string> Names;
    for(auto const& Variant : Rows)
        if(Variant.Subtype == Subtype)
            Names.push_back(Variant.Language + (Variant.Voice && Variant.Voice->Describes ? " (description)" : ""));
    return Join(Names, ", ");
}
} // namespace

std::size_t VariantSet::AudioRowOf(QueryVector const& Query) const
{
    CHECK_LINE(!AudioVariants.empty());
    auto const Name = QueryChoice(Query, OptionTable::Get("audio", OptionKind::Choice));
    auto const* Language = FindOption(Query, OptionTable::Addressing("lang"));
    bool const Describes = FindOption(Query, OptionTable::Get("describes", OptionKind::Flag)) != nullptr;
    auto const Subtype = Name ? std::optional<AudioSubtype>() : AudioVariants.front().Subtype;
    for(std::size_t Row = 0; Row < AudioVariants.size(); ++Row)
    {
        auto const& Variant = AudioVariants[Row];
        bool const Described = Variant.Voice && Variant.Voice->Describes;
        if((Name ? AudioCodecName(Variant.Subtype) == *Name : Variant.Subtype == *Subtype) && (!Language || Variant.Language == Language->Value) &&
           Described == Describes)
            return Row;
    }
    if(Name && std::none_of(AudioVariants.begin(), AudioVariants.end(), [&](AudioVariant const& Variant) { return AudioCodecName(Variant.Subtype) == *Name; }))
    {
        std::string Codecs;
        for(std::size_t Row = 0; Row < AudioVariants.size(); ++Row)
            if(Row == 0 || AudioVariants[Row].Subtype != AudioVariants[Row - 1].Subtype)
                Codecs += (Codecs.empty() ? "" : ", ") + std::string(AudioCodecName(AudioVariants[Row].Subtype));
        ThrowCheckFailure(FailureCode::AudioRowUnknown, TRACE_CONTEXT(), "VariantSet::AudioRowOf",
                          StringFormat("The asset has no %.*s audio: its audio is %s", static_cast<int>(Name->size()), Name->data(), Codecs.c_str()));
    }
    std::string const Asked = (Language ? Language->Value : AudioVariants.front().Language) + (Describes ? " (description)" : "");
    ThrowCheckFailure(FailureCode::AudioRowUnknown, TRACE_CONTEXT(), "VariantSet::AudioRowOf",
                      StringFormat("The asset has no %s audio: its audio languages are %s", Asked.c_str(),
                                   Listed(AudioVariants, Name ? *AudioCodecList::Named(*Name) : *Subtype).c_str()));
}

std::string VariantSet::AudioRowQuery(AudioVariant const& Variant) const
{
    std::string Query;
    if(AudioCodecCount() > 1)
        Query += "&audio=" + std::string(AudioCodecName(Variant.Subtype));
    if(HasAudioVoices())
        Query += "&lang=" + Variant.Language;
    if(Variant.Voice && Variant.Voice->Describes)
        Query += "&describes=1";
    return Query;
}

std::size_t VariantSet::AudioCodecCount() const
{
    std::vector<AudioSubtype> Codecs;
    for(auto const& Variant : AudioVariants)
        if(std::find(Codecs.begin(), Codecs.end(), Variant.Subtype) == Codecs.end())
            Codecs.push_back(Variant.Subtype);
    return Codecs.size();
}

bool VariantSet::HasAudioVoices() const
{
    return std::any_of(AudioVariants.begin(), AudioVariants.end(), [](AudioVariant const& Variant) { return Variant.Voice.has_value(); });
}
} // namespace Application
