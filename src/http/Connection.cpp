// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/Connection.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include <boost/asio/write.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>

#include "base/HResultError.h"
#include "base/StringFormat.h"
#include "base/Trace.h"
#include "http/LingeringClose.h"
#include "http/Request.h"
#include "http/RequestHeadFromMessage.h"
#include "http/Response.h"

namespace HttpServer
{
namespace beast = boost::beast;
namespace http = boost::beast::http;

namespace
{
// Bytes asked of the socket per read while looking for the end of a head,
// and while watching a connection whose answer is being made.
constexpr std::size_t ReadPieceBytes = 4096;

// The size of the head at the start of Data (up to and including the empty
// line that ends it), when it ends within Limit bytes. A bare LF line end
// also ends it, for the parser to refuse.
std::optional<std::size_t> FindHeadEnd(std::string_view Data, std::size_t Limit)
{
    Data = Data.substr(0, Limit);
    std::size_t End = std::string_view::npos;
    if(auto const Position = Data.find("\r\n\r\n"); Position != std::string_view::npos)
        End = Position + 4;
    if(auto const Position = Data.find("\n\n"); Position != std::string_view::npos)
        End = std::min(End, Position + 2);
    if(End == std::string_view::npos)
        return std::nullopt;
    return End;
}

// uri-host [":" port] of RFC 3986: a name, an IPv4 address or a bracketed
// IPv6 address; empty is allowed.
bool IsValidHost(std::string_view Value)
{
    return std::all_of(Value.begin(), Value.end(), [](char Character) {
        return (Character >= 'a' && Character <= 'z') || (Character >= 'A' && Character <= 'Z') || (Character >= '0' && Character <= '9') ||
               std::string_view("-._~!$&'()*+,;=%:[]").find(Character) != std::string_view::npos;
    });
}

// Whether the request line ends in a version of the form HTTP/<digit>.<digit>
// (RFC 9112 section 2.3), which the parser takes for one it cannot read
// unless it is 1.0 or 1.1: a well-formed other version is answered 505.
bool NamesAnotherVersion(std::string_view Head)
{
    std::string_view Line = Head.substr(0, Head.find('\n'));
    if(Line.ends_with('\r'))
        Line.remove_suffix(1);
    std::string_view const Version = Line.substr(Line.rfind(' ') + 1);
    auto const IsDigit = [](char Character) { return Character >= '0' && Character <= '9'; };
    return Line.find(' ') != Line.rfind(' ') && Version.size() == 8 && Version.starts_with("HTTP/") && IsDigit(Version[5]) && Version[6] == '.' &&
           IsDigit(Version[7]);
}

std::string LocalAddressText(boost::asio::ip::address const& Address)
{
    if(Address.is_v6() && Address.to_v6().is_v4_mapped())
        return boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, Address.to_v6()).to_string();
    if(Address.is_v6())
        return "[" + Address.to_string() + "]";
    return Address.to_string();
}
} // namespace

Connection::Connection(boost::asio::io_context& IoContext, boost::asio::ip::tcp::socket Socket, std::shared_ptr<ConnectionSet> Set) :
    m_Executor(IoContext.get_executor()), m_Stream(std::move(Socket)), m_Set(std::move(Set)), m_ShutdownTimer(IoContext), m_HoldTimer(IoContext)
{
    boost::system::error_code Error;
    auto const Local = m_Stream.socket().local_endpoint(Error);
    if(!Error)
    {
        m_LocalAddress = LocalAddressText(Local.address());
        m_LocalPort = Local.port();
    }
    m_Stream.socket().set_option(boost::asio::ip::tcp::no_delay(true), Error);
    m_PeerAddress = ConnectionSet::ClientAddress(m_Stream.socket());
    m_Set->Add(this, m_PeerAddress);
}

Connection::~Connection()
{
    Finish(false);
    m_Set->Remove(this);
}

void Connection::Start()
{
    ReadRequest();
}

void Connection::Stop()
{
    if(auto const Edge = m_Edge)
        Edge->Stop(*this);
    if(!m_Open)
        return;
    if(!m_Answering)
    {
        Close();
        return;
    }
    // EndResponse closes once the answer is out; a write that the client
    // does not take gets the shutdown send time.
    if(!m_Writing)
        return;
    m_ShutdownTimer.expires_after(m_Set->Bounds.ShutdownSendTime);
    m_ShutdownTimer.async_wait([Self = shared_from_this(), Write = m_WriteCount](boost::system::error_code Error) {
        if(!Error && Self->m_Writing && Self->m_WriteCount == Write)
        {
            TRACE("The client did not take its answer in the shutdown send time\n");
            Self->Close();
        }
    });
}

void Connection::Evict()
{
    if(IsIdle())
        CloseGracefully();
}

void Connection::ReadRequest()
{
    if(!m_Open)
        return;
    if(m_Set->Stopping)
    {
        CloseGracefully();
        return;
    }
    m_IdleSince = Clock::now();
    m_Stream.expires_after(m_Set->Bounds.ReceiveTime);
    ReadHead();
}

void Connection::ReadHead()
{
    // Empty lines before a request line are skipped (RFC 9112 section 2.2).
    while(m_Buffer.size() >= 2 && std::string_view(static_cast<char const*>(m_Buffer.data().data()), 2) == "\r\n")
        m_Buffer.consume(2);
    std::string_view const Data(static_cast<char const*>(m_Buffer.data().data()), m_Buffer.size());
    std::size_t const Limit = m_Set->Bounds.MaximalHeaderBytes;
    if(auto const HeadSize = FindHeadEnd(Data, Limit))
    {
        ParseHead(*HeadSize);
        return;
    }
    if(Data.size() >= Limit)
    {
        Refuse(431, "Request Header Fields Too Large", "The request line and header fields are too large.\n");
        return;
    }
    m_Stream.async_read_some(m_Buffer.prepare(ReadPieceBytes),
                             [Self = shared_from_this()](beast::error_code Error, std::size_t Count) { Self->OnHeadBytes(Error, Count); });
}

void Connection::OnHeadBytes(beast::error_code Error, std::size_t Count)
{
    if(Error)
    {
        OnRead(Error);
        return;
    }
    m_Buffer.commit(Count);
    ReadHead();
}

void Connection::ParseHead(std::size_t HeadSize)
{
    m_Parser.emplace();
    // The head is complete and within the limit already: the parser's own
    // count must not refuse it.
    m_Parser->header_limit(static_cast<std::uint32_t>(HeadSize + 1));
    m_Parser->body_limit(m_Set->Bounds.MaximalBodyBytes);
    beast::error_code Error;
    std::string_view const Head(static_cast<char const*>(m_Buffer.data().data()), HeadSize);
    std::size_t const Used = m_Parser->put(boost::asio::buffer(Head.data(), Head.size()), Error);
    if(Error == http::error::bad_version && NamesAnotherVersion(Head))
    {
        Refuse(505, "HTTP Version Not Supported", "Only HTTP/1.0 and HTTP/1.1 are served.\n");
        return;
    }
    m_Buffer.consume(Used);
    if(!Error && !m_Parser->is_header_done())
        Error = http::error::bad_line_ending;
    if(Error)
    {
        OnRead(Error);
        return;
    }
    if(RefuseTransferCoding())
        return;
    if(m_Parser->is_done())
    {
        Dispatch();
        return;
    }
    http::async_read(m_Stream, m_Buffer, *m_Parser, [Self = shared_from_this()](beast::error_code ReadError, std::size_t) { Self->OnRead(ReadError); });
}

void Connection::OnRead(beast::error_code Error)
{
    if(!Error)
    {
        Dispatch();
        return;
    }
    TRACE("Error %s\n", Error.message().c_str());
    if(Error == http::error::header_limit)
        Refuse(431, "Request Header Fields Too Large", "The request line and header fields are too large.\n");
    else if(Error == http::error::body_limit)
        Refuse(413, "Payload Too Large", "The request body is too large.\n");
    else if(Error.category() == beast::error_code(http::error::end_of_stream).category() && Error != http::error::end_of_stream && Error != http::error::partial_message)
        Refuse(400, "Bad Request", "The request is malformed.\n");
    else
        Close(); // the client went away, timed out, or the server stops
}

bool Connection::RefuseNonconforming()
{
    auto const& Message = m_Parser->get();
    // RFC 9112 section 3.2: an HTTP/1.1 request without Host, any request
    // with several or with one that is no host, is answered 400.
    auto const Hosts = Message.equal_range(http::field::host);
    auto const Count = std::distance(Hosts.first, Hosts.second);
    if(Count > 1 || (Count == 0 && Message.version() == 11) || (Count == 1 && !IsValidHost(Hosts.first->value())))
    {
        Refuse(400, "Bad Request", "The request must name its host in one Host header field.\n");
        return true;
    }
    // RFC 9110 section 5.3: a field that is not a list may appear once; the
    // server would have to guess which of several values the client meant.
    for(std::string_view const Name : Request::SingletonFields)
    {
        auto const Fields = Message.equal_range(Name);
        for(auto Field = Fields.first; Field != Fields.second; ++Field)
            if(Field->value() != Fields.first->value())
            {
                Refuse(400, "Bad Request",
                       StringFormat("The request has several %.*s header fields with different values.\n", static_cast<int>(Name.size()), Name.data()));
                return true;
            }
    }
    return false;
}

bool Connection::RefuseTransferCoding()
{
    auto const Fields = m_Parser->get().equal_range(http::field::transfer_encoding);
    if(Fields.first == Fields.second)
        return false;
    // The codings of every field in order, as one list (RFC 9110 section
    // 5.3), each by its name, without parameters; empty elements do not count.
    std::vector<std::string_view> Codings;
    for(auto Field = Fields.first; Field != Fields.second; ++Field)
    {
        std::string_view List = Field->value();
        while(!List.empty())
        {
            std::size_t const Comma = List.find(',');
            std::string_view const Element = List.substr(0, Comma);
            List = Comma == std::string_view::npos ? std::string_view() : List.substr(Comma + 1);
            if(std::string_view const Name = TrimBlanks(Element.substr(0, Element.find(';'))); !Name.empty())
                Codings.push_back(Name);
        }
    }
    auto const IsChunked = [](std::string_view Name) { return EqualsIgnoreCase(Name, "chunked"); };
    char const* const Unframed = "The length of the request body cannot be determined: its final transfer coding must be chunked, applied once.\n";
    if(Codings.empty() || !IsChunked(Codings.back()) || std::count_if(Codings.begin(), Codings.end(), IsChunked) != 1)
    {
        Refuse(400, "Bad Request", Unframed);
        return true;
    }
    if(Codings.size() > 1)
    {
        std::string_view const Unknown = Codings.front();
        Refuse(501, "Not Implemented",
               StringFormat("The transfer coding \"%.*s\" is not implemented; only chunked is.\n", static_cast<int>(std::min<std::size_t>(Unknown.size(), 40)),
                            Unknown.data()));
        return true;
    }
    // The parser must have read the list alike, or it would frame the body otherwise.
    if(!m_Parser->chunked())
    {
        Refuse(400, "Bad Request", Unframed);
        return true;
    }
    return false;
}

std::optional<boost::asio::ip::address> Connection::AdmitClient()
{
    if(!m_Set->IsTrustedProxy(m_PeerAddress))
        return m_PeerAddress;
    std::string ForwardedFor;
    auto const Fields = m_Parser->get().equal_range("X-Forwarded-For");
    for(auto Field = Fields.first; Field != Fields.second; ++Field)
        ForwardedFor.append(ForwardedFor.empty() ? "" : ",").append(Field->value());
    auto const Client = ConnectionSet::ForwardedClient(ForwardedFor, m_PeerAddress);
    if(!m_Set->Readdress(this, Client))
        return std::nullopt;
    return Client;
}

void Connection::Dispatch()
{
    if(RefuseNonconforming())
        return;
    auto const Client = AdmitClient();
    if(!Client)
    {
        TRACE("Refusing a request: the client it names has every connection it may have\n");
        Refuse(503, "Service Unavailable", "Too many connections are open.");
        return;
    }
    Request::Head Head = RequestHeadFromMessage(m_Parser->get());
    m_Parser.reset();
    std::shared_ptr<Request> Received;
    try
    {
        Received = std::make_shared<Request>(std::move(Head), m_LocalAddress, m_LocalPort, Client->to_string());
    }
    catch(HResultError const& Error)
    {
        TRACE("%s\n", Error.what());
        Refuse(400, "Bad Request", "The request target is not valid.\n");
        return;
    }
    m_Answering = true;
    m_FinalQueued = false;
    m_HeadRequest = Received->GetVerb() == Verb::Head;
    m_ChunkedAllowed = Received->GetVersion() >= 11;
    m_KeepAlive = Received->IsKeepAlive();
    m_Delivery = std::make_shared<Delivery>();
    auto const Answer = std::make_shared<Response>(shared_from_this(), m_Delivery);
    try
    {
        m_Set->Handler(Received, Answer);
    }
    catch(std::exception const& Exception)
    {
        // The handler answers its own errors; this is the last line of defence.
        TRACE("Exception %s\n", Exception.what());
        Answer->Abort();
    }
    // An answer made elsewhere takes a while: meanwhile, a client that
    // leaves must be noticed.
    if(m_Answering && !m_FinalQueued)
        Watch();
}

void Connection::Refuse(unsigned Status, char const* Reason, std::string_view Text)
{
    m_Parser.reset();
    auto Batch = std::make_shared<WriteBatch>();
    Batch->Head.emplace(Status, Reason);
    Batch->Head->Set(KnownHeader::ContentType, "text/plain; charset=utf-8");
    auto Owned = std::make_shared<std::string const>(Text);
    Batch->Pieces.push_back({Owned, reinterpret_cast<std::uint8_t const*>(Owned->data()), Owned->size()});
    Batch->Final = true;
    m_Answering = true;
    m_HeadRequest = false;
    m_KeepAlive = false;
    m_Refused = true;
    Forward(std::move(Batch));
}

void Connection::Watch()
{
    // A client that pipelines a whole head's worth of requests is not read
    // further until its answer is out.
    if(!m_Open || m_Watching || m_Buffer.size() >= m_Set->Bounds.MaximalHeaderBytes)
        return;
    m_Watching = true;
    m_Stream.socket().async_read_some(m_Buffer.prepare(ReadPieceBytes),
                                      [Self = shared_from_this()](beast::error_code Error, std::size_t Count) { Self->OnWatched(Error, Count); });
}

void Connection::OnWatched(beast::error_code Error, std::size_t Count)
{
    m_Watching = false;
    if(!Error)
        m_Buffer.commit(Count);
    if(!m_Open)
        return;
    if(std::exchange(m_ReadAfterWatch, false))
    {
        ReadRequest();
        return;
    }
    if(Error)
    {
        TRACE("The client left before its answer was complete: %s\n", Error.message().c_str());
        Close();
        return;
    }
    if(m_Answering)
        Watch();
}

void Connection::Write(std::shared_ptr<WriteBatch> Batch)
{
    if(auto const Edge = m_Edge; Edge && m_Open && !m_CloseWhenWritten)
    {
        Edge->Write(std::move(Batch), *this);
        return;
    }
    Forward(std::move(Batch));
}

void Connection::Forward(std::shared_ptr<WriteBatch> Batch)
{
    if(!m_Open || m_CloseWhenWritten)
        return; // dropped: the batch's bytes no longer count
    Frame(*Batch);
    if(Batch->Final)
        m_FinalQueued = true;
    m_Queue.push_back(std::move(Batch));
    if(!m_Writing)
        WriteNext();
}

void Connection::Frame(WriteBatch& Batch)
{
    static constexpr std::string_view ChunkEnd = "\r\n";
    static constexpr std::string_view LastChunk = "0\r\n\r\n";
    static constexpr std::string_view ChunkEndAndLastChunk = "\r\n0\r\n\r\n";
    std::size_t const BodySize = Batch.BodySize();
    if(Batch.Head)
    {
        auto const& Head = *Batch.Head;
        std::uint64_t Length = BodySize;
        if(!Head.AllowsBody())
            m_Framing = BodyFraming::None;
        else if(Head.DeclaredLength || Batch.Final)
        {
            m_Framing = BodyFraming::Length;
            Length = Head.DeclaredLength.value_or(BodySize);
        }
        else
            m_Framing = m_ChunkedAllowed ? BodyFraming::Chunked : BodyFraming::Close;
        m_CloseAfter = !m_KeepAlive || m_Framing == BodyFraming::Close || m_Set->Stopping;
        Batch.Framing = Head.Format(m_Framing, Length, m_CloseAfter);
        if(m_FinishObserver)
            m_Outcome.Status = Head.Status;
    }
    // A HEAD answer is its head alone, as is one whose status allows no body.
    if(m_HeadRequest || m_Framing == BodyFraming::None)
    {
        Batch.Pieces.clear();
        return;
    }
    if(m_Framing != BodyFraming::Chunked)
        return;
    // A zero-size chunk would end the body: a batch without bytes adds none.
    if(BodySize > 0)
        Batch.Framing += StringFormat("%zX\r\n", BodySize);
    Batch.Trailer = Batch.Final ? (BodySize > 0 ? ChunkEndAndLastChunk : LastChunk) : (BodySize > 0 ? ChunkEnd : std::string_view());
}

void Connection::WriteNext()
{
    auto const& Batch = *m_Queue.front();
    std::vector<boost::asio::const_buffer> Buffers;
    Buffers.reserve(Batch.Pieces.size() + 2);
    if(!Batch.Framing.empty())
        Buffers.emplace_back(Batch.Framing.data(), Batch.Framing.size());
    for(auto const& Piece : Batch.Pieces)
        Buffers.emplace_back(Piece.Data, Piece.Size);
    if(!Batch.Trailer.empty())
        Buffers.emplace_back(Batch.Trailer.data(), Batch.Trailer.size());
    auto const& Bounds = m_Set->Bounds;
    m_Stream.expires_after(m_Set->Stopping ? std::min(Bounds.SendTime, Bounds.ShutdownSendTime) : Bounds.SendTime);
    m_Writing = true;
    ++m_WriteCount;
    boost::asio::async_write(m_Stream, Buffers,
                             [Self = shared_from_this()](beast::error_code Error, std::size_t Count) { Self->OnWritten(Error, Count); });
}

void Connection::OnWritten(beast::error_code Error, std::size_t Count)
{
    m_Writing = false;
    auto const Batch = std::move(m_Queue.front());
    m_Queue.pop_front();
    if(m_FinishObserver && Count > 0)
    {
        // Of a write cut short, the body bytes are those after the framing.
        std::size_t const Body = Batch->BodySize();
        std::size_t const AfterFraming = Count > Batch->Framing.size() ? Count - Batch->Framing.size() : 0;
        m_Outcome.BodyBytes += std::min(Body, AfterFraming);
        auto const Now = Clock::now();
        if(!m_Outcome.FirstByteTime)
            m_Outcome.FirstByteTime = Now;
        m_Outcome.LastByteTime = Now;
    }
    if(Error)
    {
        TRACE("Error %s\n", Error.message().c_str());
        Close();
        return;
    }
    if(m_CloseWhenWritten && m_Queue.empty())
    {
        Close();
        return;
    }
    if(Batch->Final)
        EndResponse(m_CloseAfter);
    else if(!m_Queue.empty())
        WriteNext();
}

void Connection::EndResponse(bool CloseAfter)
{
    Finish(true);
    m_Answering = false;
    m_Delivery.reset();
    m_Set->MarkReleased(this);
    m_HoldTimer.cancel();
    if(auto const Edge = std::exchange(m_Edge, nullptr))
        Edge->Close();
    m_ShutdownTimer.cancel();
    if(CloseAfter || m_Set->Stopping)
        CloseGracefully();
    else if(m_Watching)
    {
        // The watch holds the socket's read: take it back first.
        m_ReadAfterWatch = true;
        boost::system::error_code Ignored;
        m_Stream.socket().cancel(Ignored);
    }
    else
        ReadRequest();
}

void Connection::Abort()
{
    if(m_Queue.empty())
        Close();
    else
        m_CloseWhenWritten = true;
}

void Connection::Drop()
{
    Close();
}

bool Connection::Hold(bool Timed)
{
    if(!m_Open || !m_Set->MarkHeld(this))
        return false;
    if(Timed)
    {
        m_HoldTimer.expires_after(m_Set->Bounds.LongestHold);
        m_HoldTimer.async_wait([Self = shared_from_this()](boost::system::error_code Error) {
            if(!Error && Self->m_Answering)
            {
                TRACE("A held answer reached the longest hold: the connection is closed\n");
                Self->Close();
            }
        });
    }
    return true;
}

void Connection::OnFinished(std::function<void(AnswerOutcome const&)> Observer)
{
    if(!m_Open)
    {
        // The answer ended before it began: nothing went out.
        AnswerOutcome const Nothing;
        Observer(Nothing);
        return;
    }
    m_FinishObserver = std::move(Observer);
    m_Outcome = {};
}

void Connection::Finish(bool Completed) noexcept
{
    auto const Observer = std::exchange(m_FinishObserver, nullptr);
    if(!Observer)
        return;
    m_Outcome.Completed = Completed;
    try
    {
        Observer(m_Outcome);
    }
    catch(std::exception const& Exception)
    {
        TRACE("An answer's observer failed: %s\n", Exception.what());
    }
}

void Connection::CloseGracefully()
{
    if(m_Refused && m_Open)
    {
        LingeringClose::Start(m_Stream.release_socket(), m_Set);
        Close();
        return;
    }
    boost::system::error_code Error;
    m_Stream.socket().shutdown(boost::asio::ip::tcp::socket::shutdown_send, Error);
    Close();
}

void Connection::Close()
{
    if(!m_Open)
        return;
    m_Open = false;
    Finish(false);
    m_Set->Remove(this);
    m_ShutdownTimer.cancel();
    m_HoldTimer.cancel();
    if(auto const Edge = std::exchange(m_Edge, nullptr))
        Edge->Close();
    boost::system::error_code Error;
    m_Stream.socket().close(Error);
    // A write in flight completes with an error and takes its batch; the
    // ones behind it are never written.
    std::size_t const Keep = m_Writing ? 1 : 0;
    while(m_Queue.size() > Keep)
        m_Queue.pop_back();
    if(auto const Current = std::exchange(m_Delivery, nullptr))
        Current->MarkClientGone();
}
} // namespace HttpServer
