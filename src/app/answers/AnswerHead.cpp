// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/answers/AnswerHead.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace Application::AnswerHead
{
namespace
{
std::string LowerCase(std::string_view Text)
{
    std::string Result(Text);
    std::transform(Result.begin(), Result.end(), Result.begin(), [](unsigned char Character) { return static_cast<char>(std::tolower(Character)); });
    return Result;
}
} // namespace

unsigned Status(std::string_view Head)
{
    unsigned Code = 0;
    if(Head.size() > 12)
        std::from_chars(Head.data() + 9, Head.data() + 12, Code);
    return Code;
}

bool IsChunked(std::string_view Head)
{
    return LowerCase(Head).find("\r\ntransfer-encoding: chunked\r\n") != std::string::npos;
}

std::string WithoutFields(std::string_view Head, std::initializer_list<std::string_view> Names)
{
    std::string Result;
    while(!Head.empty())
    {
        auto const LineEnd = Head.find("\r\n");
        auto const Line = Head.substr(0, LineEnd == std::string_view::npos ? Head.size() : LineEnd + 2);
        auto const Name = LowerCase(Line.substr(0, Line.find(':')));
        if(std::find(Names.begin(), Names.end(), Name) == Names.end())
            Result.append(Line);
        Head.remove_prefix(Line.size());
    }
    return Result;
}

void AddField(std::string& Head, std::string_view Line)
{
    Head.insert(Head.size() - 2, std::string(Line) + "\r\n");
}

std::string MadeChunked(std::string_view Head)
{
    std::string Result = WithoutFields(Head, {"content-length"});
    AddField(Result, "Transfer-Encoding: chunked");
    return Result;
}
} // namespace Application::AnswerHead
