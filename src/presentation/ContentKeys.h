// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "presentation/Configuration.h"

namespace Application
{
// Whose key: the video's, or the audio's (the same unless "audiokey").
enum class KeyTrack : std::uint32_t
{
    Video,
    Audio,
};

// One key of an asset and its ID.
struct ContentKey
{
    KeyBytes Id{};
    std::vector<std::uint8_t> Key;
};

// The keys of an encrypted asset. Without rotation and without "audiokey"
// there is one: the asset's key under FixedKeyId. Otherwise:
//
//   key ID of epoch e = FixedKeyId with its last four bytes, read as a
//                       big-endian number, increased by e (modulo 2^32);
//                       the audio's with "audiokey" has its first byte
//                       inverted as well
//   key of epoch 0    = the track's key ("key", or "audiokey" for audio)
//   key of epoch e    = AES-128 of the epoch's key ID under the track's key
//                       (one block, as ECB: openssl enc -aes-128-ecb -nopad)
//
// so that anyone holding the asset's keys can work out every later one.
class ContentKeys
{
public:
    static bool HasAudioKey(Configuration const& Asset) noexcept { return !Asset.AudioKey.empty(); }
    static KeyBytes IdOf(Configuration const& Asset, KeyTrack Track, std::uint32_t Epoch);
    static ContentKey Of(Configuration const& Asset, KeyTrack Track, std::uint32_t Epoch);
    // The key the asset has under Id, if any: an epoch it has, of a track
    // with a key of its own.
    static std::optional<ContentKey> Find(Configuration const& Asset, std::span<std::uint8_t const> Id);
    // The last key epoch of an on-demand asset; a live one has them all.
    static std::uint32_t LastEpoch(Configuration const& Asset);
};
} // namespace Application
