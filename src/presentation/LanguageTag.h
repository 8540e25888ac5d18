// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Application
{
// BCP 47 language tags as the subtitle tracks use them.
class LanguageTag
{
public:
    // The longest tag taken; longer ones are refused rather than carried
    // into every playlist line and box.
    static constexpr std::size_t MaximalLength = 35;

    // Whether Text is a well-formed tag (RFC 5646 2.1, without the
    // grandfathered forms): a primary language of 2 to 3 letters (or 5 to 8),
    // then subtags of 1 to 8 letters or digits, each after one '-', within
    // MaximalLength; a script is 4 letters, a region 2 letters or 3 digits,
    // an extension a single letter or digit other than 'x' followed by
    // subtags of 2 to 8, a private use "x" followed by subtags of 1 to 8.
    static bool IsWellFormed(std::string_view Text) noexcept;

    // The language's own name for itself ("Svenska" for "sv", "Deutsch"
    // for "de-AT": by the primary language subtag, case-insensitively); the
    // tag itself for a language the table does not hold.
    static std::string NativeName(std::string_view Tag);
    // NativeName of Tags[Index], which players show in one menu: names that
    // two tags of the list share ("en-US", "en-GB") add the tag.
    static std::string DistinctName(std::vector<std::string> const& Tags, std::size_t Index);
};
} // namespace Application
