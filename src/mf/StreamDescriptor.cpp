// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/StreamDescriptor.h"

#include "base/Check.h"

namespace MF
{
StreamDescriptor::StreamDescriptor(std::uint32_t Identifier, std::shared_ptr<IMediaTypeHandler> Handler) :
    m_Identifier(Identifier), m_Handler(std::move(Handler))
{
    CHECK_ARGUMENT(m_Handler);
}
} // namespace MF
