// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/LanguageTag.h"

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

namespace Application
{
namespace
{
bool IsLetter(char Character) noexcept
{
    return (Character >= 'a' && Character <= 'z') || (Character >= 'A' && Character <= 'Z');
}

bool IsDigit(char Character) noexcept
{
    return Character >= '0' && Character <= '9';
}

bool AllOf(std::string_view Text, bool (*Test)(char) noexcept) noexcept
{
    return !Text.empty() && std::all_of(Text.begin(), Text.end(), Test);
}

bool IsAlphanumeric(char Character) noexcept
{
    return IsLetter(Character) || IsDigit(Character);
}

std::vector<std::string_view> Subtags(std::string_view Text)
{
    std::vector<std::string_view> Parts;
    std::size_t Begin = 0;
    for(;;)
    {
        auto const Dash = Text.find('-', Begin);
        Parts.push_back(Text.substr(Begin, Dash == std::string_view::npos ? std::string_view::npos : Dash - Begin));
        if(Dash == std::string_view::npos)
            return Parts;
        Begin = Dash + 1;
    }
}

std::string Lower(std::string_view Text)
{
    std::string Result(Text);
    for(auto& Character : Result)
        Character = static_cast<char>(std::tolower(static_cast<unsigned char>(Character)));
    return Result;
}

// Common languages of subtitle tracks, each in its own words (UTF-8).
constexpr std::pair<std::string_view, std::string_view> NativeNames[]{
    {"ar", "العربية"},  {"cs", "Čeština"},   {"da", "Dansk"},     {"de", "Deutsch"},    {"el", "Ελληνικά"},  {"en", "English"},
    {"es", "Español"},  {"fi", "Suomi"},     {"fr", "Français"},  {"he", "עברית"},      {"hi", "हिन्दी"},      {"hu", "Magyar"},
    {"it", "Italiano"}, {"ja", "日本語"},    {"ko", "한국어"},    {"nb", "Norsk bokmål"}, {"nl", "Nederlands"}, {"no", "Norsk"},
    {"pl", "Polski"},   {"pt", "Português"}, {"ru", "Русский"},   {"sv", "Svenska"},    {"tr", "Türkçe"},    {"uk", "Українська"},
    {"zh", "中文"},
};
} // namespace

bool LanguageTag::IsWellFormed(std::string_view Text) noexcept
{
    if(Text.empty() || Text.size() > MaximalLength)
        return false;
    auto const Parts = Subtags(Text);
    auto const& Language = Parts.front();
    if(!AllOf(Language, IsLetter) || Language.size() == 4 || Language.size() < 2 || Language.size() > 8)
        return false;
    // After the language: extended languages, script, region and variants,
    // then extensions (a singleton and subtags of 2 to 8) and private use
    // ("x" and subtags of 1 to 8). The order of the first ones is not
    // checked beyond what makes a subtag well-formed.
    enum class Zone
    {
        Main,
        Extension,
        Private,
    } Where = Zone::Main;
    bool NeedSubtag = false;
    for(std::size_t Index = 1; Index < Parts.size(); ++Index)
    {
        auto const& Part = Parts[Index];
        if(!AllOf(Part, IsAlphanumeric) || Part.size() > 8)
            return false;
        if(Where == Zone::Private)
        {
            NeedSubtag = false;
            continue;
        }
        if(Part.size() == 1)
        {
            if(NeedSubtag)
                return false;
            Where = Part == "x" || Part == "X" ? Zone::Private : Zone::Extension;
            NeedSubtag = true;
            continue;
        }
        if(Where == Zone::Extension)
        {
            NeedSubtag = false;
            continue;
        }
        bool const Script = Part.size() == 4 && AllOf(Part, IsLetter);
        bool const Region = (Part.size() == 2 && AllOf(Part, IsLetter)) || (Part.size() == 3 && AllOf(Part, IsDigit));
        bool const Extlang = Part.size() == 3 && AllOf(Part, IsLetter);
        bool const Variant = Part.size() >= 5 || (Part.size() == 4 && IsDigit(Part.front()));
        if(!Script && !Region && !Extlang && !Variant)
            return false;
    }
    return !NeedSubtag;
}

std::string LanguageTag::NativeName(std::string_view Tag)
{
    auto const Primary = Lower(Tag.substr(0, Tag.find('-')));
    for(auto const& [Code, Name] : NativeNames)
        if(Code == Primary)
            return std::string(Name);
    return std::string(Tag);
}
} // namespace Application

namespace Application
{
std::string LanguageTag::DistinctName(std::vector<std::string> const& Tags, std::size_t Index)
{
    std::string Name = NativeName(Tags.at(Index));
    for(std::size_t Other = 0; Other < Tags.size(); ++Other)
        if(Other != Index && NativeName(Tags[Other]) == Name)
            return Name + " (" + Tags[Index] + ")";
    return Name;
}
} // namespace Application
