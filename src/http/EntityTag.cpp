// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/EntityTag.h"

#include "base/StringFormat.h"

namespace HttpServer
{
namespace
{
std::string_view Opaque(std::string_view Tag)
{
    if(Tag.starts_with("W/"))
        Tag.remove_prefix(2);
    return Tag;
}
} // namespace

bool EntityTag::NoneMatchHolds(std::string_view Field, std::string_view Tag)
{
    Field = TrimBlanks(Field);
    if(Field.empty() || Tag.empty())
        return false;
    if(Field == "*")
        return true;
    // Tags hold no commas (their characters exclude them), so the list splits there.
    while(!Field.empty())
    {
        std::size_t const Comma = Field.find(',');
        std::string_view const Item = TrimBlanks(Field.substr(0, Comma));
        if(!Item.empty() && Opaque(Item) == Opaque(Tag))
            return true;
        if(Comma == std::string_view::npos)
            break;
        Field.remove_prefix(Comma + 1);
    }
    return false;
}

bool EntityTag::RangeHolds(std::string_view Field, std::string_view Tag)
{
    Field = TrimBlanks(Field);
    if(Field.empty())
        return true;
    return !Field.starts_with("W/") && !Tag.starts_with("W/") && Field == Tag;
}
} // namespace HttpServer
