// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>

namespace Application
{
// The process's limit on open files (RLIMIT_NOFILE) against the connection
// limit: every connection and every refused socket that lingers is a file,
// and the usual soft limit of 1,024 would make accepting fail long before a
// raised connection limit is reached.
class OpenFileLimit
{
public:
    // Files the program holds besides its connections and lingering sockets:
    // standard streams, listening sockets, the I/O loop's, the asset store's
    // socket, response-body files, the crash watcher's socket and pipes, with
    // room to spare.
    static constexpr std::size_t OwnFiles = 192;

    // Raises the soft limit to what Connections and LingeringSockets need
    // with OwnFiles, within the hard limit, and returns the connections that
    // fit: Connections, or fewer when the hard limit is too low, which a
    // console line then explains.
    static std::size_t Fit(std::size_t Connections, std::size_t LingeringSockets);
};
} // namespace Application
