// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "base/HResultError.h"
#include "base/QueryStringNameValue.h"

namespace Application::Test
{
// The status a body raises, or S_OK (and a test failure) when it raises none.
template <typename BodyT>
HRESULT RaisedStatus(BodyT&& Body)
{
    try
    {
        Body();
    }
    catch(HResultError const& Error)
    {
        return Error.Code();
    }
    ADD_FAILURE() << "nothing raised";
    return S_OK;
}

// The status and message a body raises, {S_OK, ""} when it raises none.
template <typename BodyT>
std::pair<HRESULT, std::string> Raised(BodyT&& Body)
{
    try
    {
        Body();
    }
    catch(HResultError const& Error)
    {
        return {Error.Code(), Error.Message()};
    }
    return {S_OK, {}};
}

inline QueryVector Query(std::string_view Text)
{
    return ParseQueryString(Text);
}

// Lines joined with the CR LF every playlist line ends with.
inline std::string Lines(std::initializer_list<std::string_view> List)
{
    std::string Text;
    for(auto Line : List)
        (Text += Line) += "\r\n";
    return Text;
}

// An expected document from testdata/, its line breaks removed (they are
// there for people to read it).
inline std::string ExpectedDocument(char const* Name)
{
    std::ifstream File(std::string(PRESENTATION_TEST_DATA) + "/" + Name);
    EXPECT_TRUE(File.good()) << Name;
    std::string Text, Line;
    while(std::getline(File, Line))
        Text += Line;
    return Text;
}

// 2024-01-01T00:00:00Z as an absolute time.
constexpr std::int64_t January2024 = 133'485'408'000'000'000;
// A request's clock reading, and a server's live time base 10 s before it.
constexpr std::int64_t Now = January2024;
constexpr std::int64_t Base = Now - 100'000'000;
} // namespace Application::Test
