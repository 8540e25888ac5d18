// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/tcp.hpp>

#include "http/Limits.h"

namespace HttpServer
{
class Connection;
class Request;
class Response;

using RequestHandler = std::function<void(std::shared_ptr<Request> const& Request, std::shared_ptr<Response> const& Response)>;

// The open connections of all listeners and what they share. Touched on the
// I/O thread only, except Stopping and Bounds, which responses read on their
// producers' threads. A connection is a member from its acceptance until it
// closes, so the set counts exactly what holds a socket, but for the refused
// sockets that linger, which it counts apart.
class ConnectionSet
{
public:
    Limits Bounds;
    RequestHandler Handler;
    // Told the number of members whenever it changes, when set.
    std::function<void(std::size_t Open)> Counted;
    // Set when the server stops: connections close after their current answer.
    std::atomic<bool> Stopping{false};
    // Peers whose requests name their client in X-Forwarded-For: a proxy in
    // front of the server. Set before the first connection.
    std::vector<boost::asio::ip::address> TrustedProxies;

    // Makes room for one more connection from Address within the per-address
    // (but for a trusted proxy, whose connections count for their clients
    // only once a request names them: Readdress) and the overall limit, by closing the longest-idle connection of that
    // address or else of all; when none is idle, by shedding a held answer
    // (of that address, or of the address that holds most). False when the
    // connections that would have to go are all answering at full speed:
    // the newcomer is refused.
    bool MakeRoom(boost::asio::ip::address const& Address);
    // The client's address, an IPv4 client of an IPv6 socket as IPv4, so
    // that it counts as the same client on every listener.
    static boost::asio::ip::address ClientAddress(boost::asio::ip::tcp::socket const& Socket);
    bool IsTrustedProxy(boost::asio::ip::address const& Peer) const;
    // The client a trusted proxy names: the last element of its
    // X-Forwarded-For list (the one it added), an IPv4 or IPv6 address;
    // Peer when there is none or it is no address.
    static boost::asio::ip::address ForwardedClient(std::string_view ForwardedFor, boost::asio::ip::address const& Peer);
    // A member from a trusted proxy is not counted for any address until
    // Readdress names its client.
    void Add(Connection* Member, boost::asio::ip::address const& Address);
    // A request of a member from a trusted proxy names its client: the member
    // counts for that address from now on (a proxy may carry several
    // clients' requests over one connection in turn). Makes room within the
    // per-address limit as MakeRoom does; false when it cannot, and the
    // member then stays as it was (the request is refused).
    bool Readdress(Connection* Member, boost::asio::ip::address const& Client);
    // Once per member; later calls do nothing.
    void Remove(Connection* Member);
    bool Contains(Connection* Member) const { return m_Members.contains(Member); }
    std::size_t Size() const noexcept { return m_Members.size(); }
    std::size_t CountFrom(boost::asio::ip::address const& Address) const;
    std::vector<Connection*> GetMembers() const;
    // A member's answer is held back on purpose, or no longer. False when
    // its address holds Bounds.MaximalHeldAnswersPerAddress already.
    bool MarkHeld(Connection* Member);
    void MarkReleased(Connection* Member);
    std::size_t HeldFrom(boost::asio::ip::address const& Address) const;

    // Refused sockets that linger before they close (LingeringClose),
    // counted apart from the connections. False when Bounds allow no more
    // or the server stops: that socket closes at once.
    bool AdmitLingering();
    void EndLingering() noexcept;
    std::size_t LingeringCount() const noexcept { return m_Lingering; }

private:
    // The idle member (between requests) that has waited longest, among
    // those from Address or, without one, among all; null when none is idle.
    Connection* LongestIdle(boost::asio::ip::address const* Address) const;
    // The held member that has been held longest, among those from Address
    // or, without one, among those of the address holding most.
    Connection* LongestHeld(boost::asio::ip::address const* Address) const;
    // Closes the longest-idle member, or else sheds the longest-held one.
    bool Evict(boost::asio::ip::address const* Address);

    struct Member
    {
        boost::asio::ip::address Address;
        // Counted for Address: always but for a trusted proxy's member
        // before its first request.
        bool Counted = true;
        bool Held = false;
        std::uint64_t HeldOrder = 0; // when it was held, in the order of holds
    };
    // Takes a member out of its address's count.
    void Uncount(Member& Entry);

    std::unordered_map<Connection*, Member> m_Members;
    std::map<boost::asio::ip::address, std::size_t> m_PerAddress;
    std::map<boost::asio::ip::address, std::size_t> m_HeldPerAddress;
    std::uint64_t m_HoldCount = 0;
    std::size_t m_Lingering = 0;
};
} // namespace HttpServer
