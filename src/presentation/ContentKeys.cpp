// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/ContentKeys.h"

#include <algorithm>
#include <array>
#include <limits>

#include "base/Check.h"
#include "mp4/Mp4AesCipher.h"

namespace Application
{
namespace
{
constexpr std::uint8_t AudioIdMask = 0xFF;

std::uint32_t Counter(std::span<std::uint8_t const> Id) noexcept
{
    return (std::uint32_t{Id[12]} << 24) | (std::uint32_t{Id[13]} << 16) | (std::uint32_t{Id[14]} << 8) | Id[15];
}
} // namespace

KeyBytes ContentKeys::IdOf(Configuration const& Asset, KeyTrack Track, std::uint32_t Epoch)
{
    KeyBytes Id = FixedKeyId;
    std::uint32_t const Value = Counter(Id) + Epoch;
    for(std::size_t Index = 0; Index < 4; ++Index)
        Id[12 + Index] = static_cast<std::uint8_t>(Value >> (24 - 8 * Index));
    if(Track == KeyTrack::Audio && HasAudioKey(Asset))
        Id[0] ^= AudioIdMask;
    return Id;
}

ContentKey ContentKeys::Of(Configuration const& Asset, KeyTrack Track, std::uint32_t Epoch)
{
    CHECK_LINE(Asset.Key.size() == 16);
    ContentKey Result{IdOf(Asset, Track, Epoch), Track == KeyTrack::Audio && HasAudioKey(Asset) ? Asset.AudioKey : Asset.Key};
    if(Epoch == 0)
        return Result;
    std::array<std::uint8_t, 16> Block = Result.Id;
    std::array<std::uint8_t, 16> const Zero{};
    auto Cipher = Mp4::AesCipher::CipherBlockChaining(std::span<std::uint8_t const, 16>(Result.Key.data(), 16), Zero);
    Cipher.Encrypt(Block);
    Result.Key.assign(Block.begin(), Block.end());
    return Result;
}

std::uint32_t ContentKeys::LastEpoch(Configuration const& Asset)
{
    auto const Period = Asset.Changes.PeriodOf(ChangeKind::Key);
    if(!Period)
        return 0;
    if(Asset.Live || !Asset.Duration)
        return std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>((*Asset.Duration - 1) / *Period);
}

std::optional<ContentKey> ContentKeys::Find(Configuration const& Asset, std::span<std::uint8_t const> Id)
{
    if(Asset.Key.empty() || Id.size() != 16)
        return std::nullopt;
    for(auto const Track : {KeyTrack::Video, KeyTrack::Audio})
    {
        if(Track == KeyTrack::Audio && !HasAudioKey(Asset))
            break;
        auto const Epoch = Counter(Id) - Counter(FixedKeyId);
        if(Epoch > LastEpoch(Asset))
            continue;
        if(auto const Expected = IdOf(Asset, Track, Epoch); std::equal(Expected.begin(), Expected.end(), Id.begin()))
            return Of(Asset, Track, Epoch);
    }
    return std::nullopt;
}
} // namespace Application
