// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

#include "mf/Attributes.h"

namespace MF
{
// Traces every item of the store as "<name>, <value>\n": integers in
// decimal, packed sizes and ratios as "0x%08X 0x%08X", GUIDs by name or as
// "FourCC XXXX" or their text, blobs as "<count> elements, <hex>".
void TraceAttributes(Attributes const& Value);
// The value text of one item, as TraceAttributes writes it.
std::string FormatAttributeValue(AttributeKey const& Key, PropVariant const& Value);
// Sets every item of Input on Output; asserts "Input && Output".
void Copy(Attributes const* Input, Attributes* Output);
} // namespace MF
