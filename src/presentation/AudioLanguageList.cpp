// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/AudioLanguageList.h"

#include <algorithm>
#include <cctype>

#include "base/Check.h"
#include "base/StringFormat.h"
#include "presentation/LanguageTag.h"

namespace Application
{
namespace
{
[[noreturn]] void Refuse(std::string_view Option, std::string_view Text, std::string const& Reason)
{
    ThrowCheckFailure(E_INVALIDARG, TRACE_CONTEXT(), "AudioLanguageList",
                      StringFormat("Invalid \"%.*s\" \"%.*s\": %s", static_cast<int>(Option.size()), Option.data(), static_cast<int>(Text.size()), Text.data(),
                                   Reason.c_str()));
}

// Tags name one language whatever their case ("en-GB", "en-gb").
bool SameTag(std::string_view One, std::string_view Other)
{
    return One.size() == Other.size() && std::equal(One.begin(), One.end(), Other.begin(), [](char A, char B) {
               return std::tolower(static_cast<unsigned char>(A)) == std::tolower(static_cast<unsigned char>(B));
           });
}

AudioVariant Rendition(AudioVariant Row, std::string const& Language, std::uint32_t Slot, bool Describes)
{
    Row.Language = Language;
    Row.Voice = AudioVoice{Slot, LanguageTag::NativeName(Language), Describes};
    return Row;
}
} // namespace

std::vector<std::string> AudioLanguageList::Parse(std::string_view Text)
{
    std::vector<std::string> Languages;
    std::string_view Rest = Text;
    for(;;)
    {
        auto const Comma = Rest.find(',');
        auto const Tag = Rest.substr(0, Comma);
        auto const Quoted = StringFormat("\"%.*s\"", static_cast<int>(Tag.size()), Tag.data());
        if(!LanguageTag::IsWellFormed(Tag))
            Refuse("lang", Text, Quoted + " is no BCP 47 language tag");
        if(std::any_of(Languages.begin(), Languages.end(), [Tag](std::string const& Other) { return SameTag(Other, Tag); }))
            Refuse("lang", Text, Quoted + " is given twice");
        if(Languages.size() == MaximalLanguages)
            Refuse("lang", Text, StringFormat("at most %zu languages", MaximalLanguages));
        Languages.emplace_back(Tag);
        if(Comma == std::string_view::npos)
            return Languages;
        Rest.remove_prefix(Comma + 1);
    }
}

std::vector<AudioVariant> AudioLanguageList::Renditions(std::vector<AudioVariant> const& Rows, std::vector<std::string> const& Languages,
                                                        std::optional<std::string_view> Describes)
{
    std::string Described;
    if(Describes)
    {
        auto const Found = std::find_if(Languages.begin(), Languages.end(), [&](std::string const& Tag) { return SameTag(Tag, *Describes); });
        if(Found != Languages.end())
            Described = *Found;
        else if(Languages.empty() && !Rows.empty() && SameTag(Rows.front().Language, *Describes))
            Described = Rows.front().Language;
        else
            Refuse("describes", *Describes,
                   "the audio description is of one of the audio's languages (" + (Languages.empty() ? Rows.front().Language : Join(Languages, ",")) + ")");
    }
    std::vector<AudioVariant> Renditions;
    for(auto const& Row : Rows)
    {
        if(Languages.empty())
            Renditions.push_back(Row);
        for(std::size_t Slot = 0; Slot < Languages.size(); ++Slot)
            Renditions.push_back(Rendition(Row, Languages[Slot], static_cast<std::uint32_t>(Slot), false));
        if(Describes)
            Renditions.push_back(Rendition(Row, Described, static_cast<std::uint32_t>(Languages.size()), true));
    }
    return Renditions;
}
} // namespace Application
