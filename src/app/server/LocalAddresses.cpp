// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/server/LocalAddresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "base/Trace.h"

namespace Application
{
namespace
{
// The interface type and operational status numbers the traces use.
constexpr int InterfaceTypeEthernet = 6;
constexpr int InterfaceTypeSoftwareLoopback = 24;
constexpr int OperationalStatusUp = 1;
constexpr int OperationalStatusDown = 2;
} // namespace

std::vector<std::string> ListLocalAddresses()
{
    ifaddrs* First = nullptr;
    if(getifaddrs(&First) != 0)
    {
        TRACE("getifaddrs failed, errno %d\n", errno);
        return {};
    }
    std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> const Owner(First, &freeifaddrs);
    std::vector<std::string> Addresses;
    for(ifaddrs const* Entry = First; Entry; Entry = Entry->ifa_next)
    {
        bool const Loopback = (Entry->ifa_flags & IFF_LOOPBACK) != 0;
        bool const Up = (Entry->ifa_flags & IFF_UP) && (Entry->ifa_flags & IFF_RUNNING);
        TRACE("AdapterName %s, IfType %d, OperStatus %d\n", Entry->ifa_name, Loopback ? InterfaceTypeSoftwareLoopback : InterfaceTypeEthernet,
              Up ? OperationalStatusUp : OperationalStatusDown);
        if(!Up || Loopback || !Entry->ifa_addr || Entry->ifa_addr->sa_family != AF_INET)
            continue;
        char Text[INET_ADDRSTRLEN];
        sockaddr_in Address;
        std::memcpy(&Address, Entry->ifa_addr, sizeof Address);
        if(!inet_ntop(AF_INET, &Address.sin_addr, Text, sizeof Text))
            continue;
        TRACE("InetAddressString %s\n", Text);
        Addresses.emplace_back(Text);
    }
    return Addresses;
}
} // namespace Application
