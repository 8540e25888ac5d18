// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/JsonText.h"

#include "base/StringFormat.h"

namespace Application
{
std::string JsonString(std::string_view Text)
{
    std::string Result = "\"";
    for(char Character : Text)
    {
        auto const Code = static_cast<unsigned char>(Character);
        if(Character == '"' || Character == '\\')
            (Result += '\\') += Character;
        else if(Code < 0x20)
            Result += StringFormat("\\u%04x", Code);
        else
            Result += Character;
    }
    return Result + "\"";
}
} // namespace Application
