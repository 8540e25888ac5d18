// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <deque>
#include <memory>
#include <mutex>

#include "media/EncodedSample.h"
#include "mf/ITransform.h"

namespace Application
{
// What the converter and the encoder transforms share: the media types
// (output first, then input; both checked by the derived transform, which
// configures itself once both are set), the messages of a run, and the queue
// of outputs that ProcessOutput hands out one by one. A derived transform
// makes its outputs in ProcessInput and on drain.
class SynchronousTransform : public virtual MF::ITransform
{
public:
    void SetOutputType(std::shared_ptr<MF::MediaType> const& Type) override;
    void SetInputType(std::shared_ptr<MF::MediaType> const& Type) override;
    std::shared_ptr<MF::MediaType> GetInputCurrentType() override;
    std::shared_ptr<MF::MediaType> GetOutputCurrentType() override;
    void ProcessMessage(MF::MFT_MESSAGE_TYPE Message, std::uint64_t Parameter) override;
    void ProcessInput(std::shared_ptr<MF::Sample> const& Input) override;
    std::shared_ptr<MF::Sample> ProcessOutput() override;

protected:
    SynchronousTransform() = default;

    // MF_E_INVALIDMEDIATYPE for a type the transform cannot take. The input
    // check may compare with the output type, which is set first.
    virtual void CheckOutputType(MF::MediaType const& Type) = 0;
    virtual void CheckInputType(MF::MediaType const& Type) = 0;
    // Both types are set: make the codec and put its private data into the
    // output type.
    virtual void Configure() = 0;
    // A run starts: a codec that has seen samples is made afresh.
    virtual void StartStream() {}
    virtual void Process(MF::Sample& Input) = 0;
    // No more input: everything held comes out.
    virtual void Drain() {}

    MF::MediaType& InputType() { return *m_InputType; }
    MF::MediaType& OutputType() { return *m_OutputType; }
    void Emit(std::shared_ptr<MF::Sample> Output) { m_Outputs.push_back(std::move(Output)); }
    // An encoded sample as a media sample: payload, times, clean point and
    // decode time.
    static std::shared_ptr<MF::Sample> ToSample(EncodedSample&& Encoded);
    // The payload of an input sample as one buffer, at least Size bytes long.
    static std::shared_ptr<MF::MediaBuffer> InputBuffer(MF::Sample& Input, std::size_t Size);

private:
    std::mutex m_Mutex;
    std::shared_ptr<MF::MediaType> m_InputType;
    std::shared_ptr<MF::MediaType> m_OutputType;
    std::deque<std::shared_ptr<MF::Sample>> m_Outputs;
};
} // namespace Application
