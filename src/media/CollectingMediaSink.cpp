// SPDX-License-Identifier: GPL-2.0-or-later
#include "media/CollectingMediaSink.h"

#include "mf/AttributeKeys.h"

namespace Application
{
class CollectingMediaSink::Stream final : public MF::StreamSinkT<CollectingMediaSink>
{
public:
    using StreamSinkT::StreamSinkT;

private:
    void WriteSample(std::shared_ptr<MF::Sample> const& Sample, CollectingMediaSink& Sink) override { Sink.m_Samples.push_back(Sample); }
};

std::shared_ptr<CollectingMediaSink> CollectingMediaSink::Create(MF::Guid const& MajorType)
{
    auto Sink = std::make_shared<CollectingMediaSink>();
    auto Type = std::make_shared<MF::MediaType>();
    Type->SetGUID(MF::MF_MT_MAJOR_TYPE, MajorType);
    Sink->m_StreamSinks.push_back(std::make_shared<Stream>(Sink, 0, Type, [](MF::MediaType const&) { return true; }));
    return Sink;
}

std::vector<std::shared_ptr<MF::Sample>> CollectingMediaSink::GetSamples()
{
    std::shared_lock Lock(GetLock());
    return m_Samples;
}

std::shared_ptr<MF::IStreamSink> CollectingMediaSink::AddStreamSink(std::uint32_t, std::shared_ptr<MF::MediaType> const&)
{
    throw HResultError(MF_E_STREAMSINKS_FIXED);
}

void CollectingMediaSink::RemoveStreamSink(std::uint32_t)
{
    throw HResultError(MF_E_STREAMSINKS_FIXED);
}
} // namespace Application
