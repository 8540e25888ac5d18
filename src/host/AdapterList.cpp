// SPDX-License-Identifier: GPL-2.0-or-later
#include "host/AdapterList.h"

#include <algorithm>
#include <fstream>

#include "app/server/Console.h"
#include "base/StringFormat.h"

namespace Application
{
namespace
{
constexpr unsigned DisplayControllerClass = 0x03;

// The number in a sysfs attribute such as "0x10de\n", or 0.
unsigned ReadHexadecimalAttribute(std::filesystem::path const& Path)
{
    std::ifstream File(Path);
    std::string Text;
    File >> Text;
    try
    {
        return static_cast<unsigned>(std::stoul(Text, nullptr, 16));
    }
    catch(std::exception const&)
    {
        return 0;
    }
}

// "<vendor name> <device name>" from a pci.ids database, or empty.
std::string LookUpName(std::filesystem::path const& Database, std::uint16_t Vendor, std::uint16_t Device)
{
    std::ifstream File(Database);
    std::string const VendorKey = StringFormat("%04x  ", Vendor);
    std::string const DeviceKey = StringFormat("\t%04x  ", Device);
    std::string Line;
    std::string VendorName;
    while(std::getline(File, Line))
    {
        if(VendorName.empty())
        {
            if(Line.starts_with(VendorKey))
                VendorName = Line.substr(VendorKey.size());
            continue;
        }
        if(!Line.starts_with('\t') && !Line.starts_with('#'))
            break; // the next vendor: the device is not listed
        if(Line.starts_with(DeviceKey))
            return VendorName + " " + Line.substr(DeviceKey.size());
    }
    return VendorName;
}

std::string AdapterName(std::vector<std::filesystem::path> const& IdDatabases, std::uint16_t Vendor, std::uint16_t Device)
{
    for(auto const& Database : IdDatabases)
        if(std::filesystem::exists(Database))
            if(auto Name = LookUpName(Database, Vendor, Device); !Name.empty())
                return Name;
    return StringFormat("Display controller %04X:%04X", Vendor, Device);
}
} // namespace

std::vector<Adapter> EnumerateAdapters(std::filesystem::path const& SysfsRoot, std::vector<std::filesystem::path> const& IdDatabases)
{
    std::vector<Adapter> Adapters;
    std::error_code Error;
    for(auto const& Entry : std::filesystem::directory_iterator(SysfsRoot / "bus/pci/devices", Error))
    {
        if(ReadHexadecimalAttribute(Entry.path() / "class") >> 16 != DisplayControllerClass)
            continue;
        Adapter Item;
        Item.Vendor = static_cast<std::uint16_t>(ReadHexadecimalAttribute(Entry.path() / "vendor"));
        Item.Device = static_cast<std::uint16_t>(ReadHexadecimalAttribute(Entry.path() / "device"));
        Item.PciAddress = Entry.path().filename().string();
        Item.Name = AdapterName(IdDatabases, Item.Vendor, Item.Device);
        Adapters.push_back(std::move(Item));
    }
    std::sort(Adapters.begin(), Adapters.end(), [](auto const& A, auto const& B) { return A.PciAddress < B.PciAddress; });
    return Adapters;
}

std::string FormatAdapter(int Index, Adapter const& Item)
{
    return StringFormat("Adapter %d: %s, Vendor 0x%04X, PCI %s", Index, Item.Name.c_str(), Item.Vendor, Item.PciAddress.c_str());
}

void PrintAdapters()
{
    auto const Adapters = EnumerateAdapters();
    for(std::size_t Index = 0; Index < Adapters.size(); ++Index)
        ConsoleLine("%s", FormatAdapter(static_cast<int>(Index), Adapters[Index]).c_str());
}
} // namespace Application
