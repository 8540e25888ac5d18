// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>
#include <vector>

namespace Application
{
// The IPv4 addresses of the network interfaces that are up, loopback left
// out, in the order the system lists them. Every interface is traced. A
// failure is traced and gives an empty list: the listing is a courtesy.
std::vector<std::string> ListLocalAddresses();
} // namespace Application
