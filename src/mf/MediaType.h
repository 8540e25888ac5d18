// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include "mf/AttributeKeys.h"
#include "mf/Attributes.h"
#include "mf/Guid.h"

namespace MF
{
// Flags of MediaType::IsEqual, with the platform's values.
inline constexpr std::uint32_t MF_MEDIATYPE_EQUAL_MAJOR_TYPES = 0x1;
inline constexpr std::uint32_t MF_MEDIATYPE_EQUAL_FORMAT_TYPES = 0x2;
inline constexpr std::uint32_t MF_MEDIATYPE_EQUAL_FORMAT_DATA = 0x4;
inline constexpr std::uint32_t MF_MEDIATYPE_EQUAL_FORMAT_USER_DATA = 0x8;
inline constexpr std::uint32_t MF_MEDIATYPE_EQUAL_ALL = 0xF;

// A media type: an attribute store with MF_MT_MAJOR_TYPE, MF_MT_SUBTYPE and
// the format attributes of AttributeKeys.h.
class MediaType : public Attributes
{
public:
    MediaType() = default;
    MediaType(MediaType const&) = default;

    Guid GetMajorType() const { return GetGUID(MF_MT_MAJOR_TYPE); }
    Guid GetSubtype() const { return GetGUID(MF_MT_SUBTYPE); }
    // The MF_MEDIATYPE_EQUAL_... flags that hold between the two types: major
    // types, subtypes, every attribute but MF_MT_USER_DATA, and MF_MT_USER_DATA.
    std::uint32_t IsEqual(MediaType const& Other) const;
    // A new type with every item of this one.
    std::shared_ptr<MediaType> Clone() const { return std::make_shared<MediaType>(*this); }
};

// "MF_MEDIATYPE_EQUAL_MAJOR_TYPES | MF_MEDIATYPE_EQUAL_FORMAT_TYPES" for the
// flags that are set, "0" for none.
std::string MediaTypeEqualFlagsText(std::uint32_t Flags);
} // namespace MF
