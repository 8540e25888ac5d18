// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/SharedBytes.h"
#include "media/MediaSessionHelper.h"
#include "media/SegmentWindow.h"
#include "mf/IMediaSink.h"
#include "mf/IStreamSink.h"
#include "mf/MediaType.h"
#include "mf/TopologyNode.h"
#include "mp4/Mp4ProtectionSettings.h"

namespace Mp4
{
class MemorySinkByteStream;
class Mp4MediaSink;
} // namespace Mp4

namespace Application
{
// One run of a short pipeline that makes one segment of one track: the
// initialisation segment ("header") or the fragments of one media segment
// ("body"), as fragmented MP4, clear or encrypted. AudioSession and
// VideoSession build the source and encoder; this class adds the sink over
// an in-memory byte stream, runs the pipeline with the session runner and
// hands over what the sink wrote:
//
//   VideoSession Session(Context, Variant, Index);
//   Session.SetEncryption(MakeProtectionSettings(Asset));
//   Session.SetDataCallback([&](std::vector<SharedBytes> Fragments) { return Send(std::move(Fragments)); });
//   Session.Run();
//
// A run's first write is the initialisation segment: a header run keeps only
// it, a body run everything after it, one write per movie fragment. With a
// data callback the fragments go out while the pipeline runs, each as the
// sink wrote it: shared, never copied. A session is run once.
class SegmentSession
{
public:
    // Takes the writes made since the last call (whole fragments of a
    // body) while the pipeline runs; false when no one is left to take them,
    // which stops the run (Run then raises E_ABORT).
    using DataCallback = std::function<bool(std::vector<SharedBytes> Writes)>;

    virtual ~SegmentSession();
    SegmentSession(SegmentSession const&) = delete;
    SegmentSession& operator=(SegmentSession const&) = delete;

    // Settings without a scheme keep the output clear.
    void SetEncryption(Mp4::ProtectionSettings Settings);
    // The media time (100-ns units, not negative) the fragments' decode and
    // presentation times count from, 0 unless set: a body whose timeline
    // restarts there (Mp4::Mp4MediaSink::SetTimeOrigin). The pictures and
    // the sound keep the times of the whole timeline. At most the segment's
    // start; a header or raw run has no times and ignores it.
    void SetTimeOrigin(std::int64_t Origin);
    void SetDataCallback(DataCallback Value) { m_DataCallback = std::move(Value); }
    // Called on a platform thread when the presentation has ended.
    void SetEndedCallback(std::function<void()> Value) { m_EndedCallback = std::move(Value); }

    // Raises the pipeline's failure (its status), "Pipeline streaming stall
    // suspicion" for a pipeline that stopped making progress, E_ABORT when the
    // data callback gave up or the run was cancelled. Bytes delivered before
    // a failure stay delivered.
    void Run();
    // From any thread: stops the run in progress, or the one about to start,
    // which then raises E_ABORT (no one wants the segment any more).
    void Cancel();

    // Without a data callback: what the run made, write by write (a body's
    // fragments are one write each, a raw run's samples too).
    std::vector<SharedBytes> const& GetOutputWrites() const noexcept { return m_Output; }
    // The same as one run of bytes (a copy).
    std::vector<std::uint8_t> GetOutput() const;
    // The RFC 6381 codecs text of the encoded stream, known once the run ended.
    std::string GetCodecsString() const;
    // The stream sink the run wrote through, kept after the run.
    std::shared_ptr<MF::IStreamSink> const& GetStreamSink() const noexcept { return m_StreamSink; }

protected:
    // The nodes up to the encoder, added to the runner's topology.
    struct Chain
    {
        std::shared_ptr<MF::TopologyNode> Encoder;
        std::shared_ptr<MF::MediaType> EncodedType;
        SegmentWindow Window;
    };

    explicit SegmentSession(bool Body) : m_Body(Body) {}

    // Builds source → (converter →) encoder and sets the start position.
    virtual Chain BuildChain(MediaSessionHelper& Helper) = 0;
    // Held from before BuildChain until the pipeline is torn down, on the
    // thread that runs it: empty unless the encoder's library takes one run
    // at a time.
    virtual std::unique_lock<std::mutex> AdmitRun() { return {}; }
    // The encoded samples go to the byte stream unchanged, one write each,
    // with no initialisation segment (the WebCodecs page's frames).
    void UseRawSink(std::string CodecsString);

    // A source-stream node for stream 0 of a source, its presentation ending at Duration.
    static std::shared_ptr<MF::TopologyNode> AddSourceNode(MediaSessionHelper& Helper, std::shared_ptr<MF::IMediaSource> const& Source,
                                                           std::int64_t Duration);
    static std::shared_ptr<MF::TopologyNode> AddTransformNode(MediaSessionHelper& Helper, std::shared_ptr<MF::TopologyNode> const& Upstream,
                                                              std::shared_ptr<MF::ITransform> const& Transform);

private:
    void ConnectSink(MediaSessionHelper& Helper, Chain const& Value);
    std::shared_ptr<MF::IMediaSink> CreateMp4Sink(std::uint32_t FirstSequenceNumber);
    void OnEnded();
    void CheckOutcome(MediaSessionHelper& Helper, bool Closed);
    // Hands pending bytes to the data callback; when it gives up, cancels
    // the run of Helper (none after the run).
    void DeliverPending(MediaSessionHelper* Helper);
    void CollectOutput();
    // The writes of a take after the initialisation segment, which a run
    // writes first and a body leaves out.
    void SkipInitializationSegment(std::vector<SharedBytes>& Writes);

    bool const m_Body;
    bool m_Raw = false;
    bool m_Ran = false;
    Mp4::ProtectionSettings m_Protection;
    std::int64_t m_TimeOrigin = 0;
    DataCallback m_DataCallback;
    std::function<void()> m_EndedCallback;
    std::shared_ptr<Mp4::MemorySinkByteStream> m_ByteStream;
    std::shared_ptr<MF::IMediaSink> m_MediaSink;
    std::shared_ptr<Mp4::Mp4MediaSink> m_Mp4Sink;
    std::shared_ptr<MF::IStreamSink> m_StreamSink;
    // Whether the initialisation segment has been taken from the byte stream.
    bool m_InitializationSegmentTaken = false;
    // The data callback gave up (or failed): later bytes are dropped.
    bool m_ReceiverGone = false;
    std::exception_ptr m_DeliveryFailure;
    std::vector<SharedBytes> m_Output;
    mutable std::mutex m_CodecsMutex;
    std::string m_CodecsString;
    std::mutex m_CancelMutex;
    bool m_Cancelled = false;
    std::weak_ptr<MediaSessionHelper> m_Runner;
};
} // namespace Application
