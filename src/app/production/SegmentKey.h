// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "media/BreakNotice.h"
#include "presentation/ChangeSchedule.h"
#include "presentation/Configuration.h"
#include "presentation/ContentKeys.h"

namespace Application
{
// What determines the bytes of a piece of media, as text: two requests with
// equal keys get identical bytes from this build, whichever asset they name.
// The asset number is part of it only where it shows in the media (the frame
// code). The key names the cache entry, the production requests join, and,
// hashed with the build, the entity tag, so that instances of one build
// answer one segment with one tag.
class SegmentKey
{
public:
    static SegmentKey VideoHeader(VideoVariant const& Variant, Configuration const& Asset);
    // Colour is the box colour override, BaseLiveTime that of a live asset,
    // FrameCodeAsset the asset number of a frame-coded one.
    static SegmentKey VideoBody(VideoVariant const& Variant, std::uint32_t Index, std::optional<std::uint32_t> Colour,
                                std::optional<std::int64_t> BaseLiveTime, std::optional<std::uint32_t> FrameCodeAsset, Configuration const& Asset);
    static SegmentKey AudioHeader(AudioVariant const& Variant, Configuration const& Asset);
    static SegmentKey AudioBody(AudioVariant const& Variant, std::uint32_t Index, bool MarkerTone, Configuration const& Asset);
    // A thumbnail tile of the asset's source row (its first video row):
    // the layout and thumbnail size, the tile, the box colour, and what the
    // pictures show beyond the row (the live clock, the frame code, the
    // breaks, the changes' schedule, the speaker of 5.1).
    static SegmentKey ThumbnailTile(VideoVariant const& Row, ThumbnailLayout const& Layout, std::uint32_t ThumbnailHeight, std::uint32_t Index,
                                    std::uint32_t Colour, std::span<BreakNotice const> Notices, Configuration const& Asset);
    // A progressive file named by its route and the options that shape it.
    static SegmentKey File(std::string_view Route, std::string_view Options);

    // What a body of the ad-break feature depends on beyond the above, named
    // only where it applies, so that every other key (and entity tag) stays
    // as it was: the breaks a video body counts down to or through, the ad
    // a video body pictures (Number of Count), the ad an audio body sounds.
    SegmentKey& AddBreakNotices(std::span<BreakNotice const> Notices);
    SegmentKey& AddAdvert(std::uint32_t Number, std::uint32_t Count);
    SegmentKey& AddAdvertTone(std::uint32_t Number);
    // The voice of a language rendition's audio body: its language (which
    // names the spoken name), pitch slot and whether it is a description.
    SegmentKey& AddVoice(std::string_view Language, AudioVoice const& Voice);
    // The event message boxes a video body carries ahead of its fragments.
    SegmentKey& AddEventMessages(std::span<std::uint8_t const> Boxes);
    // What the asset's changes mid-stream make of a track's media (the
    // other codec and size are in the row already), named only for an asset
    // that changes or has an audio key of its own.
    SegmentKey& AddChanges(Configuration const& Asset, ChangeState const& State, KeyTrack Track);

    // A part of this segment (low-latency HLS): its own entity tag.
    SegmentKey ForPart(std::uint32_t Part) const;
    // The key picture this segment begins with (I-frame playlists): its own entity tag.
    SegmentKey ForKeyPicture() const;

    std::string const& Text() const noexcept { return m_Text; }
    // The strong entity tag: a digest of the build and the key, quoted.
    std::string EntityTag() const;

private:
    explicit SegmentKey(std::string_view Kind);
    SegmentKey& Add(std::string_view Name, std::string_view Value);
    SegmentKey& Add(std::string_view Name, std::int64_t Value);
    SegmentKey& AddVideoVariant(VideoVariant const& Variant);
    SegmentKey& AddAudioVariant(AudioVariant const& Variant);
    SegmentKey& AddKeyFrameInterval(VideoVariant const& Variant, Configuration const& Asset);
    SegmentKey& AddEncryption(Configuration const& Asset);

    std::string m_Text;
};
} // namespace Application
