// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>

#include "mf/IMediaEventGenerator.h"
#include "mf/StreamDescriptor.h"

namespace MF
{
class IMediaSource;

// One stream of a media source (see IMediaSource for the protocol). The
// token of a request, when given, is set on the sample it produces as
// MFSampleExtension_Token.
class IMediaStream : public virtual IMediaEventGenerator
{
public:
    virtual void RequestSample(std::shared_ptr<Object> Token) = 0;
};
} // namespace MF
