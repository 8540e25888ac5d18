// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/Check.h"
#include "base/FailureCodes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace
{
HRESULT Fails() { return E_INVALIDARG; }

template <typename BodyT>
HResultError Raised(BodyT Body)
{
    try
    {
        Body();
    }
    catch(HResultError const& Error)
    {
        return Error;
    }
    ADD_FAILURE() << "nothing raised";
    return HResultError(S_OK);
}
} // namespace

TEST(Check, FailedCallRaisesItsOwnStatusAndTracesTheExpression)
{
    std::vector<std::string> Lines;
    TraceSink::SetForwarder([&](std::string_view Line) { Lines.emplace_back(Line); });
    auto const Error = Raised([] { CHECK(Fails()); });
    TraceSink::SetForwarder({});
    EXPECT_EQ(Error.Code(), E_INVALIDARG);
    EXPECT_EQ(Error.Message(), "The parameter is incorrect.");
    ASSERT_EQ(Lines.size(), 1u);
    EXPECT_NE(Lines[0].find(": Exception, 0x80070057, expression Fails()\n"), std::string::npos) << Lines[0];
    CHECK(S_FALSE); // success codes pass
}

TEST(Check, LineCheckFailsWithLineNumberCode)
{
    // The code carries the line of the check: on line 3144 it would be 0x80FF0C48.
    EXPECT_EQ(static_cast<unsigned>(FailureCodeFromLine(3144)), 0x80FF0C48u);
    int const Line = __LINE__ + 1;
    auto const Error = Raised([] { CHECK_LINE(1 + 1 == 3); });
    EXPECT_EQ(Error.Code(), FailureCodeFromLine(Line));
    EXPECT_EQ(Error.Message(), "");
}

TEST(Check, AssertAndVerifyRaiseUnexpectedWithTheirText)
{
    int const Line = __LINE__ + 1;
    auto const Error = Raised([] { int Value = 2; ASSERT(Value == 3); });
    EXPECT_EQ(static_cast<unsigned>(Error.Code()), 0x8000FFFFu);
    char Expected[128];
    std::snprintf(Expected, sizeof Expected, "Assert failed, expression Value == 3, at CheckTest.cpp(%d)", Line);
    EXPECT_EQ(Error.Message(), Expected);
    auto const Verified = Raised([] { VERIFY(false); });
    EXPECT_TRUE(Verified.Message().starts_with("Verify failed, expression false, at CheckTest.cpp("));
}

TEST(Check, BoundaryTurnsErrorsIntoStatuses)
{
    EXPECT_EQ(StatusBoundary([] { ASSERT(false); }), E_UNEXPECTED);
    EXPECT_EQ(StatusBoundary([] { CHECK_CONDITION(false, FailureCode::AssetUnknown); }), static_cast<HRESULT>(0x80FF0BFE));
    EXPECT_EQ(StatusBoundary([] { CHECK_ERRNO((errno = ENOENT, -1)); }), HResultFromErrno(ENOENT));
    EXPECT_EQ(StatusBoundary([] {}), S_OK);
    EXPECT_EQ(StatusBoundary([] { throw 5; }), E_UNEXPECTED);
}
