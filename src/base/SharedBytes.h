// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// Bytes made once and then only read, shared by whoever needs them: a movie
// fragment written by a sink goes to the cache, to every client that asked
// for it and to the socket without being copied again.
using SharedBytes = std::shared_ptr<std::vector<std::uint8_t> const>;
