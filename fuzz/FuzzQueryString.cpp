// SPDX-License-Identifier: GPL-2.0-or-later
// The query of a request: split into pairs and unescaped, as every route
// reads it. A bad escape may fail, but only with E_INVALIDARG.
#include "FuzzCheck.h"

#include <algorithm>

#include "base/HResultError.h"
#include "base/QueryStringNameValue.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* Data, std::size_t Size)
{
    auto const Query = Fuzz::Text(Data, Size);
    try
    {
        auto const Pairs = ParseQueryString(Query);
        Fuzz::Expect(Pairs.size() <= static_cast<std::size_t>(std::count(Query.begin(), Query.end(), '&')) + 1, "no more pairs than pieces");
        if(!Pairs.empty())
            Fuzz::Expect(FindQueryValue(Pairs, Pairs.front().Name) == &Pairs.front(), "a lookup finds the first pair of a name");
    }
    catch(HResultError const& Error)
    {
        Fuzz::Expect(Error.Code() == E_INVALIDARG, "a query fails only as an invalid argument");
    }
    try
    {
        auto const Value = QueryStringNameValue::Unescape(Query);
        // Each escape makes at most two bytes of three, "+" one of one.
        Fuzz::Expect(Value.size() <= Query.size(), "unescaping never lengthens the text");
        if(Query.find_first_of("%+") == std::string_view::npos)
            Fuzz::Expect(Value == Query, "text without escapes stays as it is");
    }
    catch(HResultError const& Error)
    {
        Fuzz::Expect(Error.Code() == E_INVALIDARG, "an escape fails only as an invalid argument");
        Fuzz::Expect(Query.find('%') != std::string_view::npos, "only an escape fails");
    }
    return 0;
}
