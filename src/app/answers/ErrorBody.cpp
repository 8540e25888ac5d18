// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/answers/ErrorBody.h"

#include "base/StringFormat.h"

namespace Application
{
std::string FormatErrorBody(HResultError const& Error)
{
    std::string Text = StringFormat("Exception 0x%08X\n", static_cast<unsigned>(Error.Code())) + Error.Message();
    Text.erase(Text.find_last_not_of("\t\n\r ") + 1);
    Text += "\r\n--\r\n";
    Text += StringFormat("For related information, see the Quorvel web page at %s", ProjectWebPage);
    return Text;
}
} // namespace Application
