// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/ErrnoStatus.h"

#include <cerrno>
#include <set>

#include <gtest/gtest.h>

TEST(ErrnoStatus, UnnamedNumbersAreAPlainFailure)
{
    EXPECT_EQ(HResultFromErrno(0), E_FAIL);
    EXPECT_EQ(HResultFromErrno(-1), E_FAIL);
    EXPECT_EQ(HResultFromErrno(ENOTRECOVERABLE), E_FAIL);
}

TEST(ErrnoStatus, EveryRowIsASystemFailureAndEveryNumberAppearsOnce)
{
    std::set<int> Seen;
    for(auto const& Row : ErrnoStatusTable())
    {
        EXPECT_TRUE(Seen.insert(Row.Errno).second) << Row.Errno;
        EXPECT_EQ(static_cast<unsigned>(Row.Status) & 0xFFFF0000u, 0x80070000u) << Row.Errno;
    }
    EXPECT_GE(Seen.size(), 40u);
}
