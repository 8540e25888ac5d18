// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/ConnectionSet.h"

#include "base/Trace.h"
#include "http/Connection.h"

namespace HttpServer
{
boost::asio::ip::address ConnectionSet::ClientAddress(boost::asio::ip::tcp::socket const& Socket)
{
    boost::system::error_code Error;
    auto const Address = Socket.remote_endpoint(Error).address();
    if(Address.is_v6() && Address.to_v6().is_v4_mapped())
        return boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, Address.to_v6());
    return Address;
}

bool ConnectionSet::MakeRoom(boost::asio::ip::address const& Address)
{
    if(CountFrom(Address) >= Bounds.MaximalConnectionsPerAddress)
    {
        auto* const Victim = LongestIdle(&Address);
        if(!Victim)
            return false;
        TRACE("Closing an idle connection of %s for a new one of the same address\n", Address.to_string().c_str());
        Victim->Evict();
    }
    if(m_Members.size() >= Bounds.MaximalConnections)
    {
        auto* const Victim = LongestIdle(nullptr);
        if(!Victim)
            return false;
        TRACE("Closing the longest-idle connection for a new one of %s\n", Address.to_string().c_str());
        Victim->Evict();
    }
    return true;
}

void ConnectionSet::Add(Connection* Member, boost::asio::ip::address const& Address)
{
    if(m_Members.emplace(Member, Address).second)
        ++m_PerAddress[Address];
}

void ConnectionSet::Remove(Connection* Member)
{
    auto const Found = m_Members.find(Member);
    if(Found == m_Members.end())
        return;
    auto const Count = m_PerAddress.find(Found->second);
    if(--Count->second == 0)
        m_PerAddress.erase(Count);
    m_Members.erase(Found);
}

std::size_t ConnectionSet::CountFrom(boost::asio::ip::address const& Address) const
{
    auto const Found = m_PerAddress.find(Address);
    return Found == m_PerAddress.end() ? 0 : Found->second;
}

std::vector<Connection*> ConnectionSet::GetMembers() const
{
    std::vector<Connection*> Members;
    Members.reserve(m_Members.size());
    for(auto const& Entry : m_Members)
        Members.push_back(Entry.first);
    return Members;
}

bool ConnectionSet::AdmitLingering()
{
    if(Stopping || m_Lingering >= Bounds.MaximalLingeringSockets)
        return false;
    ++m_Lingering;
    return true;
}

void ConnectionSet::EndLingering() noexcept
{
    --m_Lingering;
}

Connection* ConnectionSet::LongestIdle(boost::asio::ip::address const* Address) const
{
    // A scan, but only when the set is full: at most a few hundred members.
    Connection* Oldest = nullptr;
    for(auto const& [Member, MemberAddress] : m_Members)
    {
        if(!Member->IsIdle() || (Address && MemberAddress != *Address))
            continue;
        if(!Oldest || Member->GetIdleSince() < Oldest->GetIdleSince())
            Oldest = Member;
    }
    return Oldest;
}
} // namespace HttpServer
