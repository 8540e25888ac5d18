// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "media/SyntheticMediaSource.h"
#include "media/SyntheticMediaStream.h"
#include "media/VideoFrameComposer.h"
#include "media/VideoFrameGrid.h"

namespace Application
{
// The synthetic video source: ARGB32 frames drawn by VideoFrameComposer (or
// A2R10G10B10 ones with the PQ or HLG MF_MT_TRANSFER_FUNCTION of the type),
// frame n at its place on the frame grid of the type's rate, from the frame
// nearest to the start position up to the last one before the duration.
// Frames are top-down: a type whose MF_MT_DEFAULT_STRIDE says otherwise is
// refused.
class VideoMediaSource final : public SyntheticMediaSource
{
public:
    class Stream;

    // Frames drawn ahead at the most: the pool of drawing resources.
    static constexpr MF::AttributeKey PipelineSampleCount{"VideoMediaSource_PipelineSampleCount"};
    static constexpr std::uint32_t DefaultPipelineSampleCount = 4;
    // The box colours of variants 0 to 5: dark blue, green, red, orange, magenta, cyan.
    static constexpr std::uint32_t BackgroundColors[] = {0x00008B, 0x006400, 0x8B0000, 0xFF8C00, 0x8B008B, 0x008B8B};
    // Around the box of ads 1 to 6 (more repeat them): olive, indigo, dark
    // grey, steel blue, rose and spring green, hues apart from every box
    // colour and dark enough for the text that may reach beyond the box.
    static constexpr std::uint32_t AdvertColors[] = {0x6B6B00, 0x4B0082, 0x404040, 0x1E5A96, 0x8B1A5A, 0x00754A};

    static std::shared_ptr<VideoMediaSource> Create();
    VideoMediaSource();

    // Owner settings, before the first Start: the box colour (0x00RRGGBB)
    // and the base live time that makes the time text the wall clock
    // (100-ns units from 1601-01-01 UTC).
    void SetBackgroundColor(std::uint32_t Color);
    void SetBaseLiveTime(std::int64_t Value);
    // The QR code of every picture names this asset and variant.
    void SetFrameCode(FrameCodeIdentity Identity);
    // The ad breaks the pictures count down to and through.
    void SetBreakNotices(std::vector<BreakNotice> Notices);
    // The pictures of an ad: its colour around the box and its line of text.
    void SetAdvert(AdvertIdentity Identity);
    // The change epoch the pictures name, in their text and their frame code.
    void SetChangeNotice(ChangeNotice Notice);
    // The audio is 5.1: every picture names the speaker sounding.
    void SetSurround();

    static std::uint32_t AdvertColor(std::uint32_t Number) noexcept;
    // The box colour of a variant (longer lists repeat the table), and the
    // one of the first three a chosen number picks, whatever its sign.
    static std::uint32_t VariantColor(std::uint32_t Index) noexcept;
    static std::uint32_t ChosenColor(std::int64_t Value) noexcept;

protected:
    std::shared_ptr<SyntheticMediaStream> CreateStream(std::shared_ptr<MF::StreamDescriptor> Descriptor) override;

private:
    // Shared with the stream, which takes them when it is first started.
    std::shared_ptr<VideoFrameComposer::Parameters> const m_Settings = std::make_shared<VideoFrameComposer::Parameters>();
};

class VideoMediaSource::Stream final : public SyntheticMediaStream
{
public:
    // The drawing resources of one frame in flight.
    struct ResourceSet
    {
        std::unique_ptr<VideoFrameComposer> Composer;
    };

    Stream(std::weak_ptr<SyntheticMediaSource> Source, std::shared_ptr<MF::StreamDescriptor> Descriptor,
           std::shared_ptr<VideoFrameComposer::Parameters const> Settings, std::shared_ptr<MF::Attributes const> SourceAttributes);

protected:
    void OnActivate(MF::MediaType const& Type) override;
    void OnStart(std::optional<std::int64_t> Position, std::optional<std::int64_t> Duration) override;
    void PrepareOperation(ComposeSampleOperation& Operation) override;
    void Compose(ComposeSampleOperation& Operation) override;

private:
    std::shared_ptr<VideoFrameComposer::Parameters const> const m_Settings;
    VideoFrameComposer::Parameters m_Parameters;
    std::shared_ptr<MF::Attributes const> const m_SourceAttributes;
    std::optional<VideoFrameGrid> m_Grid;
    std::optional<std::int64_t> m_Duration;
    std::int64_t m_NextSampleIndex = 0;
    Pool::PoolT<ResourceSet, Pool::Strategy::StaticStrategy> m_ResourceSetPool;
};
} // namespace Application
