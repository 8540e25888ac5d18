// SPDX-License-Identifier: GPL-2.0-or-later
#include "host/AdapterList.h"
#include "host/ConsoleControlHandler.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace Application;

TEST(AdapterList, DisplayControllersWithNamesFromTheIdDatabase)
{
    auto const Root = std::filesystem::temp_directory_path() / ("quorvel-sysfs-" + std::to_string(getpid()));
    std::filesystem::remove_all(Root);
    auto const AddDevice = [&](char const* Address, char const* Class, char const* Vendor, char const* Device) {
        auto const Directory = Root / "bus/pci/devices" / Address;
        std::filesystem::create_directories(Directory);
        std::ofstream(Directory / "class") << Class << "\n";
        std::ofstream(Directory / "vendor") << Vendor << "\n";
        std::ofstream(Directory / "device") << Device << "\n";
    };
    AddDevice("0000:02:00.0", "0x030000", "0x1002", "0x73bf");
    AddDevice("0000:01:00.0", "0x030200", "0x10de", "0x2204");
    AddDevice("0000:00:03.0", "0x020000", "0x1af4", "0x1041"); // a network card
    std::ofstream(Root / "pci.ids") << "# comment\n10de  NVIDIA Corporation\n\t1234  Other\n\t2204  GA102 [GeForce RTX 3090]\n10df  Next\n";
    auto const Adapters = EnumerateAdapters(Root, {Root / "missing.ids", Root / "pci.ids"});
    ASSERT_EQ(Adapters.size(), 2u);
    EXPECT_EQ(FormatAdapter(0, Adapters[0]), "Adapter 0: NVIDIA Corporation GA102 [GeForce RTX 3090], Vendor 0x10DE, PCI 0000:01:00.0");
    EXPECT_EQ(FormatAdapter(1, Adapters[1]), "Adapter 1: Display controller 1002:73BF, Vendor 0x1002, PCI 0000:02:00.0");
    EXPECT_TRUE(EnumerateAdapters(Root / "nothing").empty());
    std::filesystem::remove_all(Root);
}

TEST(ConsoleControlHandler, NamedTypesSetTheEventOthersDoNot)
{
    ManualResetEvent Other;
    EXPECT_FALSE(HandlerRoutine(3, Other));
    EXPECT_FALSE(HandlerRoutine(4, Other));
    EXPECT_FALSE(Other.IsSet());
    ManualResetEvent Close;
    EXPECT_TRUE(HandlerRoutine(CtrlCloseEvent, Close));
    EXPECT_TRUE(Close.IsSet());
}

TEST(ManualResetEvent, ListenersRunOnceWhenSetOrAtOnceWhenAlreadySet)
{
    ManualResetEvent Event;
    int Calls = 0;
    {
        auto const Gone = Event.Subscribe([&] { Calls += 100; });
    }
    auto const Subscription = Event.Subscribe([&] { ++Calls; });
    Event.Set();
    Event.Set();
    EXPECT_EQ(Calls, 1);
    auto const Late = Event.Subscribe([&] { ++Calls; });
    EXPECT_EQ(Calls, 2);
    Event.Wait();
}
