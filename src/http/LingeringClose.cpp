// SPDX-License-Identifier: GPL-2.0-or-later
#include "http/LingeringClose.h"

#include "base/Trace.h"

namespace HttpServer
{
void LingeringClose::Start(boost::asio::ip::tcp::socket Socket, std::shared_ptr<ConnectionSet> const& Set)
{
    boost::system::error_code Ignored;
    if(!Socket.is_open())
        return;
    if(!Set->AdmitLingering())
    {
        TRACE("A refused socket closes at once: %zu linger already\n", Set->LingeringCount());
        Socket.close(Ignored);
        return;
    }
    std::make_shared<LingeringClose>(std::move(Socket), Set)->Begin();
}

LingeringClose::LingeringClose(boost::asio::ip::tcp::socket Socket, std::shared_ptr<ConnectionSet> Set) :
    m_Socket(std::move(Socket)), m_Set(std::move(Set)), m_Timer(m_Socket.get_executor())
{
}

void LingeringClose::Begin()
{
    boost::system::error_code Ignored;
    m_Socket.shutdown(boost::asio::ip::tcp::socket::shutdown_send, Ignored);
    m_Timer.expires_after(m_Set->Bounds.LingerTime);
    // The timer holds this weakly: the read in flight keeps it alive.
    m_Timer.async_wait([Weak = weak_from_this()](boost::system::error_code Error) {
        if(auto const Self = Weak.lock(); Self && !Error)
            Self->Close();
    });
    Read();
}

LingeringClose::~LingeringClose()
{
    m_Set->EndLingering();
}

void LingeringClose::Read()
{
    m_Socket.async_read_some(boost::asio::buffer(m_Dropped), [Self = shared_from_this()](boost::system::error_code Error, std::size_t Count) {
        Self->m_Received += Count;
        // The client closed (or reset), the time is up, or it sent too much.
        if(Error || Self->m_Received >= Self->m_Set->Bounds.MaximalLingerBytes)
            Self->Close();
        else
            Self->Read();
    });
}

void LingeringClose::Close()
{
    boost::system::error_code Ignored;
    m_Timer.cancel();
    m_Socket.close(Ignored);
}
} // namespace HttpServer
