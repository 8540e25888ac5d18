// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "mp4/Mp4ProtectionSettings.h"
#include "presentation/ChangeSchedule.h"
#include "presentation/Configuration.h"
#include "presentation/ContentKeys.h"

namespace Application
{
using Mp4::ProtectionDataProvider;
using Mp4::ProtectionSystemId;

// The provider of one key of an encrypted asset: its scheme, key ID and key.
// It owns copies, so it may outlive the asset record it was made from.
ProtectionDataProvider MakeProtectionDataProvider(EncryptionScheme Scheme, KeyBytes const& KeyId, std::vector<std::uint8_t> Key);

// How the packaging encrypts a track's media in State (by default the
// first): no scheme (clear output) for an asset without a key or within its
// clear lead, else the key of the track and the state's key epoch. The
// packaging knows two ciphers, so every counter-mode scheme is cenc.
Mp4::ProtectionSettings MakeProtectionSettings(Configuration const& Asset, KeyTrack Track, ChangeState const& State = {});
} // namespace Application
