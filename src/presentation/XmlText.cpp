// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/XmlText.h"

namespace Application
{
std::string EscapeXmlText(std::string_view Text)
{
    std::string Result;
    for(char Character : Text)
    {
        switch(Character)
        {
        case '&': Result += "&amp;"; break;
        case '<': Result += "&lt;"; break;
        case '>': Result += "&gt;"; break;
        case '"': Result += "&quot;"; break;
        default: Result += Character;
        }
    }
    return Result;
}
} // namespace Application
