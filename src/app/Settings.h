// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "presentation/DefaultVariantSets.h"

namespace Application
{
// The server's start-up settings: the command line's options and the
// default variant tables. One instance lives for the whole process.
struct Settings
{
    // The process runs as a service: no local address listing.
    bool IsService = false;
    // Processors the process may run on, one bit each; 0 leaves it as it is.
    std::uint32_t ProcessAffinityMask = 0;
    // The GPU adapter to render and encode on; absent for the software path.
    std::optional<std::uint32_t> AdapterIndex = 0;
    // URL prefixes to serve, in command-line order.
    std::vector<std::string> Locations;
    DefaultVariantSets DefaultVariants;
    // Copies of every produced response body go to the Response folder.
    bool WriteResponseBody = false;
    bool DeletePreviousResponseBodies = false;
};
} // namespace Application
