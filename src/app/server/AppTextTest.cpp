// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routing/BasePath.h"
#include "app/context/Console.h"
#include "app/answers/ErrorBody.h"
#include "base/FailureCodes.h"
#include "mf/MfTestTools.h"

#include <gtest/gtest.h>

using namespace Application;

TEST(ErrorBody, StatusLineMessageTrimmedAndFooter)
{
    std::string const Body = FormatErrorBody(HResultError(FailureCode::IntentionalException, "Intentional exception with an associated message \r\n\t"));
    std::string const Footer = std::string("\r\n--\r\nFor related information, see the Quorvel web page at ") + ProjectWebPage;
    EXPECT_EQ(Body, "Exception 0x80FF0940\nIntentional exception with an associated message" + Footer);
    // Without a message the status line alone is left, its line end trimmed.
    EXPECT_EQ(FormatErrorBody(HResultError(FailureCode::PathOutsideBasePaths)), "Exception 0x80FF0907" + Footer);
}

TEST(BasePath, LocationPathAndItsFailures)
{
    EXPECT_EQ(ComputeBasePath("http://+:80/hls/"), "/hls/");
    EXPECT_EQ(ComputeBasePath("http://[::1]:9000/a/b/"), "/a/b/");
    EXPECT_EQ(MF::Testing::Raised([] { ComputeBasePath("+:80/hls/"); }), FailureCode::LocationWithoutSchemeSeparator);
    EXPECT_EQ(MF::Testing::Raised([] { ComputeBasePath("http://+:80"); }), FailureCode::LocationWithoutPath);
    std::vector<std::string> const BasePaths{"/hls/", "/other/"};
    EXPECT_EQ(RemoveBasePath("/hls/version", BasePaths), "version");
    EXPECT_EQ(RemoveBasePath("/other/", BasePaths), "");
    EXPECT_FALSE(RemoveBasePath("/HLS/version", BasePaths)); // case counts
    EXPECT_FALSE(RemoveBasePath("/hls", BasePaths));
}

TEST(Console, ControlCharactersOfClientTextAreEscaped)
{
    EXPECT_EQ(PrintableText("http://h:80/a b?x=\x1b[2J\x7f"), "http://h:80/a b?x=%1B[2J%7F");
    EXPECT_EQ(PrintableText("caf\xc3\xa9"), "caf\xc3\xa9");
}
