// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "mp4/Mp4ProtectionSettings.h"
#include "presentation/Configuration.h"

namespace Application
{
using Mp4::ProtectionDataProvider;
using Mp4::ProtectionSystemId;

// The provider of an encrypted asset: its scheme, the fixed key ID, its key.
// It owns copies, so it may outlive the asset record it was made from.
ProtectionDataProvider MakeProtectionDataProvider(EncryptionScheme Scheme, std::vector<std::uint8_t> Key);

// How the packaging encrypts the asset's segments: no scheme (clear output)
// for an asset without a key. The packaging knows two ciphers, so every
// counter-mode scheme is cenc.
Mp4::ProtectionSettings MakeProtectionSettings(Configuration const& Asset);
} // namespace Application
