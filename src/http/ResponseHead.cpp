// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/ResponseHead.h"

#include <ctime>

#include "base/Check.h"
#include "base/StringFormat.h"

namespace HttpServer
{
namespace
{
bool IsFieldText(std::string_view Text)
{
    return Text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

// "Date: Sat, 06 Dec 2025 09:00:00 GMT\r\n", formatted once a second per thread.
std::string const& DateField()
{
    thread_local std::time_t CachedTime = 0;
    thread_local std::string CachedText;
    std::time_t const Now = std::time(nullptr);
    if(Now != CachedTime)
    {
        std::tm Time{};
        gmtime_r(&Now, &Time);
        char Text[64];
        std::strftime(Text, sizeof Text, "Date: %a, %d %b %Y %H:%M:%S GMT\r\n", &Time);
        CachedText = Text;
        CachedTime = Now;
    }
    return CachedText;
}
} // namespace

ResponseHead::ResponseHead(unsigned StatusCode, std::string ReasonPhrase) : Status(StatusCode), Reason(std::move(ReasonPhrase))
{
    CHECK_ARGUMENT(Status >= 100 && Status <= 999 && IsFieldText(Reason));
}

void ResponseHead::Set(KnownHeader Header, std::string Value)
{
    auto const Index = static_cast<unsigned>(Header);
    CHECK_ARGUMENT(Index < KnownHeaderCount && Header != KnownHeader::ContentLength && Header != KnownHeader::TransferEncoding && IsFieldText(Value));
    m_Known[Index] = std::move(Value);
}

void ResponseHead::Add(std::string Name, std::string Value)
{
    CHECK_ARGUMENT(!Name.empty() && IsFieldText(Name) && Name.find(':') == std::string::npos && IsFieldText(Value));
    m_Other.emplace_back(std::move(Name), std::move(Value));
}

std::string ResponseHead::Format(BodyFraming Framing, std::uint64_t Length, bool Close) const
{
    std::string Text = StringFormat("HTTP/1.1 %u %s\r\n", Status, Reason.c_str());
    // Transfer-Encoding in its place among the numbered fields,
    // Content-Length after every other field, as they always went out.
    for(unsigned Index = 0; Index < KnownHeaderCount; ++Index)
    {
        if(m_Known[Index])
            (((Text += KnownHeaderName(static_cast<KnownHeader>(Index))) += ": ") += *m_Known[Index]) += "\r\n";
        if(Index == static_cast<unsigned>(KnownHeader::TransferEncoding) && Framing == BodyFraming::Chunked)
            Text += "Transfer-Encoding: chunked\r\n";
    }
    for(auto const& [Name, Value] : m_Other)
        (((Text += Name) += ": ") += Value) += "\r\n";
    if(Framing == BodyFraming::Length)
        Text += StringFormat("Content-Length: %llu\r\n", static_cast<unsigned long long>(Length));
    if(!m_Known[static_cast<unsigned>(KnownHeader::Date)])
        Text += DateField();
    if(Close && !m_Known[static_cast<unsigned>(KnownHeader::Connection)])
        Text += "Connection: close\r\n";
    Text += "\r\n";
    return Text;
}
} // namespace HttpServer
