// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <vector>

#include "mf/Guid.h"
#include "mf/MediaSinkT.h"
#include "mf/Sample.h"

namespace Application
{
// A media sink for tests: one stream sink that takes any type of its major
// type and keeps every sample it is given, in order, asking for the next one
// each time.
class CollectingMediaSink final : public MF::MediaSinkT<CollectingMediaSink>
{
public:
    // The stream sink reports MajorType, and takes any type.
    static std::shared_ptr<CollectingMediaSink> Create(MF::Guid const& MajorType);

    std::shared_ptr<MF::IStreamSink> GetStream() { return GetStreamSinkByIndex(0); }
    std::vector<std::shared_ptr<MF::Sample>> GetSamples();

    // IMediaSink: the one stream sink is fixed.
    std::uint32_t GetCharacteristics() override { return MF::MEDIASINK_FIXED_STREAMS | MF::MEDIASINK_RATELESS; }
    std::shared_ptr<MF::IStreamSink> AddStreamSink(std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type) override;
    void RemoveStreamSink(std::uint32_t Identifier) override;

private:
    class Stream;

    // Guarded by the lock.
    std::vector<std::shared_ptr<MF::Sample>> m_Samples;
};
} // namespace Application
