// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "mf/StreamSinkT.h"
#include "mp4/RawMediaSink.h"

namespace Mp4
{
// The one stream of a RawMediaSink: it hands each sample's payload to the sink.
class RawMediaSinkStream final : public MF::StreamSinkT<RawMediaSink>
{
public:
    using StreamSinkT::StreamSinkT;

private:
    void WriteSample(std::shared_ptr<MF::Sample> const& Sample, RawMediaSink& Sink) override { Sink.Write(*Sample); }
};
} // namespace Mp4
