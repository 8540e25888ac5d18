// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace Application
{
// A display controller on the PCI bus: what "-EnumerateAdapters" lists.
struct Adapter
{
    std::string Name;
    std::uint16_t Vendor = 0;
    std::uint16_t Device = 0;
    std::string PciAddress; // "0000:01:00.0"
};

// The display controllers (PCI class 0x03) under SysfsRoot, in address
// order. Names come from the first PCI ID database found, else from the ids.
std::vector<Adapter> EnumerateAdapters(std::filesystem::path const& SysfsRoot = "/sys",
                                       std::vector<std::filesystem::path> const& IdDatabases = {"/usr/share/misc/pci.ids", "/usr/share/hwdata/pci.ids"});

// "Adapter %d: <name>, Vendor 0x%04X, PCI <address>".
std::string FormatAdapter(int Index, Adapter const& Item);

// Prints one line per adapter, or nothing on a machine without one.
void PrintAdapters();
} // namespace Application
