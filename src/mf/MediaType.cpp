// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/MediaType.h"

#include <vector>

#include "base/StringFormat.h"
#include "mf/AttributeKeys.h"

namespace MF
{
namespace
{
bool SameItem(Attributes const& A, Attributes const& B, AttributeKey const& Key)
{
    return A.FindItem(Key) == B.FindItem(Key);
}

// Every item but the user data is present in both with equal values.
bool SameFormatData(Attributes const& A, Attributes const& B)
{
    auto const Covers = [](Attributes const& From, Attributes const& To) {
        for(auto const& [Key, Value] : From.GetItems())
            if(!(Key == MF_MT_USER_DATA) && To.FindItem(Key) != Value)
                return false;
        return true;
    };
    return Covers(A, B) && Covers(B, A);
}
} // namespace

std::uint32_t MediaType::IsEqual(MediaType const& Other) const
{
    std::uint32_t Flags = 0;
    if(SameItem(*this, Other, MF_MT_MAJOR_TYPE))
        Flags |= MF_MEDIATYPE_EQUAL_MAJOR_TYPES;
    if(SameItem(*this, Other, MF_MT_SUBTYPE))
        Flags |= MF_MEDIATYPE_EQUAL_FORMAT_TYPES;
    if(SameFormatData(*this, Other))
        Flags |= MF_MEDIATYPE_EQUAL_FORMAT_DATA;
    if(SameItem(*this, Other, MF_MT_USER_DATA))
        Flags |= MF_MEDIATYPE_EQUAL_FORMAT_USER_DATA;
    return Flags;
}

std::string MediaTypeEqualFlagsText(std::uint32_t Flags)
{
    std::vector<std::string> Names;
    if(Flags & MF_MEDIATYPE_EQUAL_MAJOR_TYPES)
        Names.emplace_back("MF_MEDIATYPE_EQUAL_MAJOR_TYPES");
    if(Flags & MF_MEDIATYPE_EQUAL_FORMAT_TYPES)
        Names.emplace_back("MF_MEDIATYPE_EQUAL_FORMAT_TYPES");
    if(Flags & MF_MEDIATYPE_EQUAL_FORMAT_DATA)
        Names.emplace_back("MF_MEDIATYPE_EQUAL_FORMAT_DATA");
    if(Flags & MF_MEDIATYPE_EQUAL_FORMAT_USER_DATA)
        Names.emplace_back("MF_MEDIATYPE_EQUAL_FORMAT_USER_DATA");
    return Names.empty() ? std::string("0") : Join(Names, " | ");
}
} // namespace MF
