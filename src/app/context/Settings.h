// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "http/Limits.h"
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
    // Made media kept in memory, at most this many bytes (0: none).
    std::uint64_t SegmentCacheBytes = std::uint64_t{512} << 20;
    // "redis://host:port": assets and the live time base shared with other
    // instances there; empty keeps them in memory.
    std::string AssetStore;
    // Open connections in all and from one client address (the server's
    // HttpServer::Limits; the held answers' share follows the latter).
    std::size_t MaximalConnections = HttpServer::Limits{}.MaximalConnections;
    std::size_t MaximalConnectionsPerAddress = HttpServer::Limits{}.MaximalConnectionsPerAddress;
    // Addresses of proxies whose X-Forwarded-For names the client, as given.
    std::vector<std::string> TrustedProxies;
};
} // namespace Application
