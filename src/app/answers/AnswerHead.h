// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace Application
{
// Reading and editing the head of an answer on its way out (a send edge
// sees the head as the response wrote it: status line, header lines, the
// empty line).
namespace AnswerHead
{
// The status code of the status line, 0 when there is none.
unsigned Status(std::string_view Head);
// Whether the body is sent with "Transfer-Encoding: chunked".
bool IsChunked(std::string_view Head);
// Head without the header lines of the given (lower-case) names.
std::string WithoutFields(std::string_view Head, std::initializer_list<std::string_view> Names);
// Head with one more header line, before the empty line that ends it.
void AddField(std::string& Head, std::string_view Line);
// Head made to announce a chunked body instead of one of a known length.
std::string MadeChunked(std::string_view Head);
} // namespace AnswerHead
} // namespace Application
