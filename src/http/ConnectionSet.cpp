// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/ConnectionSet.h"

#include <algorithm>
#include <tuple>

#include "base/StringFormat.h"
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

bool ConnectionSet::IsTrustedProxy(boost::asio::ip::address const& Peer) const
{
    return std::find(TrustedProxies.begin(), TrustedProxies.end(), Peer) != TrustedProxies.end();
}

boost::asio::ip::address ConnectionSet::ForwardedClient(std::string_view ForwardedFor, boost::asio::ip::address const& Peer)
{
    std::size_t const Comma = ForwardedFor.rfind(',');
    std::string_view const Last = TrimBlanks(Comma == std::string_view::npos ? ForwardedFor : ForwardedFor.substr(Comma + 1));
    boost::system::error_code Error;
    auto const Address = boost::asio::ip::make_address(std::string(Last), Error);
    if(Error || Last.empty())
        return Peer;
    if(Address.is_v6() && Address.to_v6().is_v4_mapped())
        return boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, Address.to_v6());
    return Address;
}

bool ConnectionSet::MakeRoom(boost::asio::ip::address const& Address)
{
    if(!IsTrustedProxy(Address) && CountFrom(Address) >= Bounds.MaximalConnectionsPerAddress && !Evict(&Address))
        return false;
    if(m_Members.size() >= Bounds.MaximalConnections && !Evict(nullptr))
        return false;
    return true;
}

bool ConnectionSet::Evict(boost::asio::ip::address const* Address)
{
    if(auto* const Idle = LongestIdle(Address))
    {
        TRACE("Closing the longest-idle connection%s for a new one\n", Address ? " of its address" : "");
        Idle->Evict();
        return true;
    }
    // An answer held back on purpose never turns a client away: the one
    // held longest by the address that holds most goes.
    if(auto* const Held = LongestHeld(Address))
    {
        TRACE("Shedding a held answer for a new connection\n");
        Held->Drop();
        return true;
    }
    return false;
}

void ConnectionSet::Add(Connection* Member, boost::asio::ip::address const& Address)
{
    bool const OfItsAddress = !IsTrustedProxy(Address);
    if(!m_Members.emplace(Member, ConnectionSet::Member{Address, OfItsAddress}).second)
        return;
    if(OfItsAddress)
        ++m_PerAddress[Address];
    if(Counted)
        Counted(m_Members.size());
}

void ConnectionSet::Remove(Connection* Member)
{
    auto const Found = m_Members.find(Member);
    if(Found == m_Members.end())
        return;
    MarkReleased(Member);
    Uncount(Found->second);
    m_Members.erase(Found);
    if(Counted)
        Counted(m_Members.size());
}

bool ConnectionSet::Readdress(Connection* Member, boost::asio::ip::address const& Client)
{
    auto const Found = m_Members.find(Member);
    if(Found == m_Members.end())
        return false;
    if(Found->second.Counted && Found->second.Address == Client)
        return true;
    // The member itself is not among Client's, so it is never the one closed.
    if(CountFrom(Client) >= Bounds.MaximalConnectionsPerAddress && !Evict(&Client))
        return false;
    auto& Entry = Found->second;
    Uncount(Entry);
    Entry.Address = Client;
    Entry.Counted = true;
    ++m_PerAddress[Client];
    return true;
}

void ConnectionSet::Uncount(Member& Entry)
{
    if(!Entry.Counted)
        return;
    auto const Count = m_PerAddress.find(Entry.Address);
    if(--Count->second == 0)
        m_PerAddress.erase(Count);
    Entry.Counted = false;
}

bool ConnectionSet::MarkHeld(Connection* Member)
{
    auto const Found = m_Members.find(Member);
    if(Found == m_Members.end())
        return false;
    auto& Entry = Found->second;
    if(Entry.Held)
        return true;
    if(HeldFrom(Entry.Address) >= Bounds.MaximalHeldAnswersPerAddress)
        return false;
    Entry.Held = true;
    Entry.HeldOrder = ++m_HoldCount;
    ++m_HeldPerAddress[Entry.Address];
    return true;
}

void ConnectionSet::MarkReleased(Connection* Member)
{
    auto const Found = m_Members.find(Member);
    if(Found == m_Members.end() || !Found->second.Held)
        return;
    Found->second.Held = false;
    auto const Count = m_HeldPerAddress.find(Found->second.Address);
    if(--Count->second == 0)
        m_HeldPerAddress.erase(Count);
}

std::size_t ConnectionSet::HeldFrom(boost::asio::ip::address const& Address) const
{
    auto const Found = m_HeldPerAddress.find(Address);
    return Found == m_HeldPerAddress.end() ? 0 : Found->second;
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

Connection* ConnectionSet::LongestHeld(boost::asio::ip::address const* Address) const
{
    boost::asio::ip::address Holder;
    if(Address)
        Holder = *Address;
    else
    {
        std::size_t Most = 0;
        for(auto const& [Candidate, Count] : m_HeldPerAddress)
            if(Count > Most)
                std::tie(Holder, Most) = std::tie(Candidate, Count);
        if(Most == 0)
            return nullptr;
    }
    Connection* Oldest = nullptr;
    std::uint64_t OldestOrder = 0;
    for(auto const& [Candidate, Entry] : m_Members)
        if(Entry.Held && Entry.Address == Holder && (!Oldest || Entry.HeldOrder < OldestOrder))
            std::tie(Oldest, OldestOrder) = std::tie(Candidate, Entry.HeldOrder);
    return Oldest;
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
    for(auto const& [Member, Entry] : m_Members)
    {
        if(!Member->IsIdle() || (Address && (!Entry.Counted || Entry.Address != *Address)))
            continue;
        if(!Oldest || Member->GetIdleSince() < Oldest->GetIdleSince())
            Oldest = Member;
    }
    return Oldest;
}
} // namespace HttpServer
