// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "mf/Attributes.h"
#include "mf/MediaBuffer.h"

namespace MF
{
// A media sample: presentation time and duration in 100-ns units, a list of
// buffers and the sample attributes of AttributeKeys.h
// (MFSampleExtension_CleanPoint, _DecodeTimestamp, _Discontinuity, _Token ...).
// A sample has one owner at a time: the producer fills it and hands it on.
//
//   auto Sample = MF::Sample::Create();
//   Sample->AddBuffer(MF::MediaBuffer::CreateFrom(Payload));
//   Sample->SetSampleTime(Time);
//   Sample->SetSampleDuration(Duration);
//   Sample->SetUINT32(MF::MFSampleExtension_CleanPoint, 1);
class Sample : public Attributes
{
public:
    static std::shared_ptr<Sample> Create() { return std::make_shared<Sample>(); }

    // MF_E_NO_SAMPLE_TIMESTAMP when never set.
    std::int64_t GetSampleTime() const;
    std::optional<std::int64_t> FindSampleTime() const noexcept { return m_Time; }
    void SetSampleTime(std::int64_t Value) noexcept { m_Time = Value; }
    // MF_E_NO_SAMPLE_DURATION when never set.
    std::int64_t GetSampleDuration() const;
    std::optional<std::int64_t> FindSampleDuration() const noexcept { return m_Duration; }
    void SetSampleDuration(std::int64_t Value) noexcept { m_Duration = Value; }

    void AddBuffer(std::shared_ptr<MediaBuffer> Buffer);
    // The sum of the buffers' current lengths.
    std::size_t GetTotalLength() const noexcept;
    // The payload as one buffer: the only buffer as it is, or the buffers
    // joined into a new one that then replaces them; an empty buffer when
    // the sample has none.
    std::shared_ptr<MediaBuffer> ConvertToContiguousBuffer();

private:
    std::optional<std::int64_t> m_Time;
    std::optional<std::int64_t> m_Duration;
    std::vector<std::shared_ptr<MediaBuffer>> m_Buffers;
};
} // namespace MF
