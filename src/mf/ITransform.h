// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include "mf/Attributes.h"
#include "mf/MediaType.h"
#include "mf/Object.h"
#include "mf/Sample.h"

namespace MF
{
// Messages to a transform, with the platform's values.
enum MFT_MESSAGE_TYPE : std::uint32_t
{
    MFT_MESSAGE_COMMAND_FLUSH = 0x00000000,         // drop held input and output
    MFT_MESSAGE_COMMAND_DRAIN = 0x00000001,         // release everything held as output
    MFT_MESSAGE_NOTIFY_BEGIN_STREAMING = 0x10000000,
    MFT_MESSAGE_NOTIFY_END_STREAMING = 0x10000001,
    MFT_MESSAGE_NOTIFY_END_OF_STREAM = 0x10000002,  // no more input follows
    MFT_MESSAGE_NOTIFY_START_OF_STREAM = 0x10000003,
};

// A synchronous one-in, one-out transform: the converters and encoders.
//
// Set the output type and then the input type (an encoder derives its
// codec configuration, such as MF_MT_USER_DATA or MF_MT_MPEG_SEQUENCE_HEADER,
// into the current output type when both are set), then stream:
//
//   Transform->ProcessMessage(MFT_MESSAGE_NOTIFY_BEGIN_STREAMING, 0);
//   Transform->ProcessMessage(MFT_MESSAGE_NOTIFY_START_OF_STREAM, 0);
//   for each input sample:
//       Transform->ProcessInput(Input);
//       while(auto Output = Transform->ProcessOutput()) deliver(Output);
//   Transform->ProcessMessage(MFT_MESSAGE_NOTIFY_END_OF_STREAM, 0);
//   Transform->ProcessMessage(MFT_MESSAGE_COMMAND_DRAIN, 0);
//   while(auto Output = Transform->ProcessOutput()) deliver(Output);
//   Transform->ProcessMessage(MFT_MESSAGE_NOTIFY_END_STREAMING, 0);
//
// ProcessOutput returns nullptr when the transform needs more input; so an
// encoder with a delay (lookahead, B-frames, AAC priming) returns nothing
// for its first inputs and gives the held frames back on drain. Every
// output is taken before the next input, so ProcessInput never faces
// pending output. Outputs carry their own times and sample attributes
// (MFSampleExtension_CleanPoint, _DecodeTimestamp ...). The session calls a
// transform from one thread at a time. Failures raise HResultError.
class ITransform : public virtual Object
{
public:
    // MF_E_INVALIDMEDIATYPE for a type the transform cannot take.
    virtual void SetOutputType(std::shared_ptr<MediaType> const& Type) = 0;
    virtual void SetInputType(std::shared_ptr<MediaType> const& Type) = 0;
    // MF_E_TRANSFORM_TYPE_NOT_SET before the type is set.
    virtual std::shared_ptr<MediaType> GetInputCurrentType() = 0;
    virtual std::shared_ptr<MediaType> GetOutputCurrentType() = 0;
    virtual void ProcessMessage(MFT_MESSAGE_TYPE Message, std::uint64_t Parameter) = 0;
    virtual void ProcessInput(std::shared_ptr<Sample> const& Input) = 0;
    virtual std::shared_ptr<Sample> ProcessOutput() = 0;
};
} // namespace MF
