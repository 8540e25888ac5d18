// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "presentation/Configuration.h"

namespace Application
{
// The W3C Clear Key licence exchange (Encrypted Media Extensions, Clear Key
// license request and license formats): the request names key IDs in
// base64url ({"kids":[...],"type":...}); the licence gives each its key as a
// JSON Web Key ({"keys":[{"kty":"oct","kid":...,"k":...}],"type":"temporary"}).
class ClearKeyLicence
{
public:
    // A request names at most this many key IDs; its JSON nests at most this
    // deep (the parser recurses, and the body can be 64 KiB of brackets).
    static constexpr std::size_t MaximalKeyIds = 64;
    static constexpr unsigned MaximalNesting = 8;

    // The licence for an asset whose key is asked for: every key ID of the
    // request must be the asset's. A malformed request or another key ID
    // raises E_INVALIDARG with a message, a clear asset 0x80FF0C06.
    static std::string Answer(Configuration const& Asset, std::string_view Request);
};
} // namespace Application
