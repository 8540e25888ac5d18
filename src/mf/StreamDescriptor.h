// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include "mf/Attributes.h"
#include "mf/IMediaTypeHandler.h"

namespace MF
{
// Describes one stream of a media source: its identifier, its media type
// handler (whose current type is the stream's type) and attributes.
class StreamDescriptor : public Attributes
{
public:
    StreamDescriptor(std::uint32_t Identifier, std::shared_ptr<IMediaTypeHandler> Handler);

    std::uint32_t GetStreamIdentifier() const noexcept { return m_Identifier; }
    std::shared_ptr<IMediaTypeHandler> const& GetMediaTypeHandler() const noexcept { return m_Handler; }

private:
    std::uint32_t const m_Identifier;
    std::shared_ptr<IMediaTypeHandler> const m_Handler;
};
} // namespace MF
