// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace Application
{
// Text for an XML or HTML element or a quoted attribute: "&", "<", ">" and
// '"' as references. The manifest's absolute addresses come from the
// request's Host field, which the client writes; the home page's build line
// from a commit subject.
std::string EscapeXmlText(std::string_view Text);
} // namespace Application
