// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <string_view>

#include "app/sessions/CmcdData.h"
#include "base/QueryStringNameValue.h"
#include "http/Request.h"

namespace Application
{
// Reads Common Media Client Data (CTA-5004): comma-separated key=value
// pairs, strings in double quotes (with \" and \\ escapes), numbers as
// decimal integers (pr: a decimal), a key alone meaning true (?0 and ?1 are
// read as the structured-field booleans). Only the keys of CmcdData are
// kept. What a client sends here never makes an answer fail: a malformed
// pair, a value too long or a number out of range is skipped, the rest of
// the text still read; a text longer than MaximalTextLength is not read.
class CmcdReader
{
public:
    static constexpr std::size_t MaximalTextLength = 4096;
    static constexpr std::size_t MaximalStringLength = 64;
    static constexpr std::size_t MaximalObjectTypeLength = 2;
    static constexpr double MaximalPlaybackRate = 1000.0;
    // The header fields that carry the data instead of the query key.
    static constexpr std::string_view HeaderFields[] = {"CMCD-Request", "CMCD-Object", "CMCD-Status", "CMCD-Session"};
    static constexpr std::string_view QueryKey = "CMCD";

    // Adds what Text says to Into; a key given again replaces the earlier one.
    static void Read(std::string_view Text, CmcdData& Into);
    // The data of a request: its four header fields, then its query key.
    static CmcdData FromRequest(HttpServer::Request const& Request, ::QueryVector const& Query);
};
} // namespace Application
