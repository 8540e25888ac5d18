// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include "mf/Attributes.h"
#include "mf/IByteStream.h"
#include "mf/MediaSinkT.h"
#include "mf/MediaType.h"

namespace Mp4
{
class RawMediaSinkStream;

// The simplest media sink: one stream sink whose samples are written,
// payload unchanged, to a byte stream with one write per sample (or
// discarded when there is no byte stream). It ends a topology where no
// container is wanted.
class RawMediaSink final : public MF::MediaSinkT<RawMediaSink>
{
public:
    static constexpr std::uint32_t StreamIdentifier = 0;

    // E_INVALIDARG without a media type; Attributes and ByteStream may be null.
    static std::shared_ptr<RawMediaSink> Create(std::shared_ptr<MF::MediaType> const& Type, std::shared_ptr<MF::Attributes> const& Attributes,
                                                std::shared_ptr<MF::IByteStream> ByteStream);
    RawMediaSink(std::shared_ptr<MF::Attributes> Attributes, std::shared_ptr<MF::IByteStream> ByteStream);
    ~RawMediaSink() override;

    // IMediaSink: the one stream sink is fixed.
    std::uint32_t GetCharacteristics() override;
    std::shared_ptr<MF::IStreamSink> AddStreamSink(std::uint32_t Identifier, std::shared_ptr<MF::MediaType> const& Type) override;
    void RemoveStreamSink(std::uint32_t Identifier) override;

    std::shared_ptr<MF::Attributes> const& GetAttributes() const noexcept { return m_Attributes; }

private:
    friend class RawMediaSinkStream;

    void OnShutdown() override { m_ByteStream.reset(); }
    // Called by the stream under the sink's exclusive lock.
    void Write(MF::Sample& Sample);

    std::shared_ptr<MF::Attributes> m_Attributes;
    std::shared_ptr<MF::IByteStream> m_ByteStream;
};
} // namespace Mp4
