// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/IStreamSink.h"

namespace MF
{
char const* MarkerTypeName(std::uint32_t Type) noexcept
{
    switch(Type)
    {
    case MFSTREAMSINK_MARKER_DEFAULT: return "MFSTREAMSINK_MARKER_DEFAULT";
    case MFSTREAMSINK_MARKER_ENDOFSEGMENT: return "MFSTREAMSINK_MARKER_ENDOFSEGMENT";
    case MFSTREAMSINK_MARKER_TICK: return "MFSTREAMSINK_MARKER_TICK";
    case MFSTREAMSINK_MARKER_EVENT: return "MFSTREAMSINK_MARKER_EVENT";
    default: return "MFSTREAMSINK_MARKER_(unknown)";
    }
}
} // namespace MF
