// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace Application
{
// A relative segment URL of the DASH manifest: a path and ordered query pairs.
class UrlBuilder
{
public:
    explicit UrlBuilder(std::string Path);

    UrlBuilder& Add(std::string Name, std::int32_t Value);
    UrlBuilder& Add(std::string Name, std::string Value);

    // "path?a=1&b&c=x": "=" only for non-empty values.
    std::string Text() const;
    // The text for an XML attribute value: "&" becomes "&amp;" (the names and
    // values the manifest uses hold no other character XML reserves).
    std::string EscapedText() const;

private:
    std::string m_Path;
    std::vector<std::pair<std::string, std::string>> m_Pairs;
};
} // namespace Application
