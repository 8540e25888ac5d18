// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "presentation/Configuration.h"

namespace Application
{
using ProtectionSystemId = std::array<std::uint8_t, 16>; // in the byte order of a pssh box

// Gives the payload of the protection-system box for a system: the PlayReady
// header object for PlayReady, an empty vector (no box) for any other.
using ProtectionDataProvider = std::function<std::vector<std::uint8_t>(ProtectionSystemId const& SystemId)>;

// The provider of an encrypted asset: its scheme, the fixed key ID, its key.
// It owns copies, so it may outlive the asset record it was made from.
ProtectionDataProvider MakeProtectionDataProvider(EncryptionScheme Scheme, std::vector<std::uint8_t> Key);
} // namespace Application
