#include "http/Connection.h"

#include <boost/asio/write.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>

#include "base/HResultError.h"
#include "base/StringFormat.h"
#include "base/Trace.h"
#include "http/Request.h"
#include "http/Response.h"

namespace HttpServer
{
namespace beast = boost::beast;
namespace http = boost::beast::http;

Connection::Connection(boost::asio::io_context& IoContext, boost::asio::ip::tcp::socket Socket, std::shared_ptr<ConnectionSet> Set) :
    m_Executor(IoContext.get_executor()), m_Stream(std::move(Socket)), m_Set(std::move(Set))
{
    boost::system::error_code Error;
    auto const Local = m_Stream.socket().local_endpoint(Error);
    if(!Error)
    {
        auto const Address = Local.address();
        if(Address.is_v6() && Address.to_v6().is_v4_mapped())
            m_LocalAddress = boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, Address.to_v6()).to_string();
        else if(Address.is_v6())
            m_LocalAddress = "[" + Address.to_string() + "]";
        else
            m_LocalAddress = Address.to_string();
        m_LocalPort = Local.port();
    }
    m_Stream.socket().set_option(boost::asio::ip::tcp::no_delay(true), Error);
    m_Set->Members.insert(this);
}

Connection::~Connection()
{
    m_Set->Members.erase(this);
}

void Connection::Start()
{
    ReadRequest();
}

void Connection::Stop()
{
    if(m_Answering)
        return; // EndResponse closes once the answer is out
    Close();
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
    m_Parser.emplace();
    m_Parser->header_limit(m_Set->Bounds.MaximalHeaderBytes);
    m_Parser->body_limit(m_Set->Bounds.MaximalBodyBytes);
    m_Stream.expires_after(m_Set->Bounds.ReceiveTime);
    http::async_read(m_Stream, m_Buffer, *m_Parser, [Self = shared_from_this()](beast::error_code Error, std::size_t) { Self->OnRead(Error); });
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

void Connection::Dispatch()
{
    auto& Message = m_Parser->get();
    Request::Head Head;
    Head.Method = std::string(Message.method_string());
    Head.Version = Message.version();
    Head.Target = std::string(Message.target());
    for(auto const& Field : Message)
        Head.Headers.emplace_back(std::string(Field.name_string()), std::string(Field.value()));
    Head.BodySize = Message.body().size();
    Head.Body = std::move(Message.body());
    Head.KeepAlive = Message.keep_alive();
    m_Parser.reset();
    std::shared_ptr<Request> Received;
    try
    {
        Received = std::make_shared<Request>(std::move(Head), m_LocalAddress, m_LocalPort);
    }
    catch(HResultError const& Error)
    {
        TRACE("%s\n", Error.what());
        Refuse(400, "Bad Request", "The request target is not valid.\n");
        return;
    }
    m_Answering = true;
    auto const Answer = std::make_shared<Response>(shared_from_this(), Received->IsKeepAlive(), Received->GetVerb() == Verb::Head);
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
}

void Connection::Refuse(unsigned Status, char const* Reason, char const* Text)
{
    auto Batch = std::make_shared<WriteBatch>();
    Batch->Head = StringFormat("HTTP/1.1 %u %s\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: %zu\r\nConnection: close\r\n\r\n%s",
                               Status, Reason, std::char_traits<char>::length(Text), Text);
    Batch->Final = true;
    Batch->CloseAfter = true;
    m_Answering = true;
    Write(std::move(Batch));
}

void Connection::Write(std::shared_ptr<WriteBatch> Batch)
{
    if(!m_Open)
    {
        if(Batch->Completion)
            Batch->Completion(false);
        return;
    }
    m_Queue.push_back(std::move(Batch));
    if(m_Queue.size() == 1)
        WriteNext();
}

void Connection::WriteNext()
{
    auto const& Batch = *m_Queue.front();
    std::vector<boost::asio::const_buffer> Buffers;
    Buffers.reserve(Batch.Pieces.size() + 1);
    if(!Batch.Head.empty())
        Buffers.emplace_back(Batch.Head.data(), Batch.Head.size());
    Buffers.insert(Buffers.end(), Batch.Pieces.begin(), Batch.Pieces.end());
    m_Stream.expires_after(m_Set->Bounds.SendTime);
    m_Writing = true;
    boost::asio::async_write(m_Stream, Buffers, [Self = shared_from_this()](beast::error_code Error, std::size_t) { Self->OnWritten(Error); });
}

void Connection::OnWritten(beast::error_code Error)
{
    m_Writing = false;
    auto const Batch = std::move(m_Queue.front());
    m_Queue.pop_front();
    if(Error)
        TRACE("Error %s\n", Error.message().c_str());
    if(Batch->Completion)
        Batch->Completion(!Error);
    if(Error)
    {
        Close();
        return;
    }
    if(Batch->Final)
        EndResponse(Batch->CloseAfter);
    else if(!m_Queue.empty())
        WriteNext();
}

void Connection::EndResponse(bool CloseAfter)
{
    m_Answering = false;
    if(CloseAfter || m_Set->Stopping)
        CloseGracefully();
    else
        ReadRequest();
}

void Connection::Abort()
{
    Close();
}

void Connection::CloseGracefully()
{
    boost::system::error_code Error;
    m_Stream.socket().shutdown(boost::asio::ip::tcp::socket::shutdown_send, Error);
    Close();
}

void Connection::Close()
{
    if(!m_Open)
        return;
    m_Open = false;
    boost::system::error_code Error;
    m_Stream.socket().close(Error);
    // A write in flight completes with an error and takes its batch; the
    // ones behind it are never written.
    std::size_t const Keep = m_Writing ? 1 : 0;
    while(m_Queue.size() > Keep)
    {
        auto const Batch = std::move(m_Queue.back());
        m_Queue.pop_back();
        if(Batch->Completion)
            Batch->Completion(false);
    }
}
} // namespace HttpServer
