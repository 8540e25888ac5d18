// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "mf/IMediaSource.h"
#include "mf/MediaEventGeneratorT.h"
#include "mf/MediaType.h"
#include "mf/OperationQueue.h"
#include "mf/ShutdownAwareT.h"
#include "mf/WorkQueue.h"

namespace Application
{
class SyntheticMediaStream;

// What the synthetic video and audio sources share: a media source with one
// stream (identifier 0) whose type the owner sets, started at a position
// and ended by itself at the duration of the presentation descriptor given
// to Start. Start, Stop and the end of the presentation run as
// operations on the source's serial work queue, allocated at the first Start.
class SyntheticMediaSource : public MF::IMediaSource,
                             public MF::MediaEventGeneratorT<SyntheticMediaSource>,
                             public MF::ShutdownAwareT<SyntheticMediaSource>,
                             public MF::OperationQueue<SyntheticMediaSource>,
                             public std::enable_shared_from_this<SyntheticMediaSource>
{
public:
    ~SyntheticMediaSource() override;

    // Owner: the stream's type, once, before the presentation descriptor is made.
    void SetMediaType(std::shared_ptr<MF::MediaType> Type);

    // IMediaSource. Characteristics: with a duration (known once started)
    // the source can seek and pause (0x86), without it is live (0x81).
    std::uint32_t GetCharacteristics() override;
    std::shared_ptr<MF::PresentationDescriptor> CreatePresentationDescriptor() override;
    void Start(std::shared_ptr<MF::PresentationDescriptor> const& Descriptor, MF::Guid const& TimeFormat, MF::PropVariant const& StartPosition) override;
    void Stop() override;
    void Shutdown() override;

    // By the stream once it delivered its end: the presentation ends too.
    void NotifyEndOfStream();

protected:
    SyntheticMediaSource();

    // The source's stream, made when the presentation descriptor is first needed.
    virtual std::shared_ptr<SyntheticMediaStream> CreateStream(std::shared_ptr<MF::StreamDescriptor> Descriptor) = 0;
    // Whether Start was called: settings that shape the frames are fixed then.
    bool HasWorkQueue() const;
    std::shared_ptr<MF::Attributes> const& SourceAttributes() const noexcept { return m_Attributes; }

private:
    class StartOperation;
    class StopOperation;
    class NotifyEndOfStreamOperation;

    std::shared_ptr<MF::PresentationDescriptor> InternalPresentationDescriptor();
    void DoStart(MF::PresentationDescriptor const& Descriptor, std::optional<std::int64_t> Position);
    void DoStop();
    void DoNotifyEndOfStream();

    std::shared_ptr<MF::Attributes> const m_Attributes = std::make_shared<MF::Attributes>(4);
    std::shared_ptr<MF::MediaType> m_MediaType;
    std::shared_ptr<MF::PresentationDescriptor> m_PresentationDescriptor;
    std::shared_ptr<SyntheticMediaStream> m_Stream;
    std::optional<std::int64_t> m_Duration;
    std::shared_ptr<MF::WorkQueue> m_WorkQueue;
};
} // namespace Application
