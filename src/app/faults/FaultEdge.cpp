// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/faults/FaultEdge.h"

#include <algorithm>

#include "app/answers/AnswerHead.h"
#include "app/answers/ChunkedBodyReader.h"
#include "base/StringFormat.h"
#include "base/Trace.h"
#include "http/WriteBatch.h"
#include "mp4/Mp4MediaDataDamage.h"

namespace Application
{
namespace
{
using HttpServer::WriteBatch;

// A throttled answer goes out in this many slices a second, each no larger
// than MaximalSliceBytes.
constexpr std::uint32_t SlicesPerSecond = 20;
constexpr std::size_t MaximalSliceBytes = 64 * 1024;

std::size_t BodySize(WriteBatch const& Batch)
{
    std::size_t Size = 0;
    for(auto const& Piece : Batch.Pieces)
        Size += Piece.size();
    return Size;
}

// The batch's bytes, the head first, as one list of buffers.
std::vector<boost::asio::const_buffer> AllBuffers(WriteBatch const& Batch)
{
    std::vector<boost::asio::const_buffer> Buffers;
    if(!Batch.Head.empty())
        Buffers.emplace_back(Batch.Head.data(), Batch.Head.size());
    Buffers.insert(Buffers.end(), Batch.Pieces.begin(), Batch.Pieces.end());
    return Buffers;
}

// Slices of Batch of at most SliceBytes each, which keep it alive (and its
// bytes counted as queued) until the last one is written.
std::vector<std::shared_ptr<WriteBatch>> Slices(std::shared_ptr<WriteBatch> const& Batch, std::size_t SliceBytes)
{
    std::vector<std::shared_ptr<WriteBatch>> Result;
    auto Slice = std::make_shared<WriteBatch>();
    for(auto Buffer : AllBuffers(*Batch))
        while(Buffer.size() > 0)
        {
            std::size_t const Take = std::min(Buffer.size(), SliceBytes - Slice->Size);
            Slice->Pieces.emplace_back(Buffer.data(), Take);
            Slice->Size += Take;
            Buffer += Take;
            if(Slice->Size == SliceBytes)
            {
                Result.push_back(std::exchange(Slice, std::make_shared<WriteBatch>()));
            }
        }
    if(Slice->Size > 0 || Result.empty())
        Result.push_back(Slice);
    for(auto const& Each : Result)
    {
        Each->Owners.push_back(Batch);
        Each->CloseAfter = Batch->CloseAfter;
    }
    Result.back()->Final = Batch->Final;
    return Result;
}
} // namespace

FaultEdge::FaultEdge(FaultEffects Effects) :
    m_Effects(std::move(Effects)), m_NextRelease(Clock::now() + std::chrono::milliseconds(m_Effects.DelayMilliseconds))
{
}

void FaultEdge::Write(std::shared_ptr<WriteBatch> Batch, HttpServer::Connection& Target)
{
    if(!m_HeadSeen && !Batch->Head.empty())
    {
        m_HeadSeen = true;
        ReadHead(Batch->Head);
    }
    if(m_Editing)
    {
        Gather(*Batch, Target);
        return;
    }
    Accept(std::move(Batch), Target);
}

void FaultEdge::ReadHead(std::string& Head)
{
    // The producer set its own headers; the name of the fault joins them here.
    // A faulted answer is not the resource as it is: no cache in between (a
    // proxy's, the browser's) may keep it or validate it against the clean
    // one, so its entity tag goes and it is marked not to be stored.
    if(!m_Effects.Names.empty() && Head.ends_with("\r\n\r\n"))
    {
        Head = AnswerHead::WithoutFields(Head, {"etag", "cache-control"});
        AnswerHead::AddField(Head, "Cache-Control: no-store\r\nX-Quorvel-Fault: " + m_Effects.Names);
    }
    // Only a successful answer carries media (or a playlist) to change.
    m_Editing = m_Effects.EditsBody() && AnswerHead::Status(Head) == 200;
    m_Chunked = AnswerHead::IsChunked(Head);
    m_SendChunked = m_Chunked;
    if(m_Editing && m_Effects.Segment && !m_Chunked && Head.starts_with("HTTP/1.1 "))
    {
        Head = AnswerHead::MadeChunked(Head);
        m_SendChunked = true;
    }
}

void FaultEdge::Gather(WriteBatch const& Batch, HttpServer::Connection& Target)
{
    m_Head += Batch.Head;
    for(auto const& Piece : Batch.Pieces)
        m_Body.append(static_cast<char const*>(Piece.data()), Piece.size());
    if(Batch.Final)
    {
        auto Answer = EditedAnswer();
        Answer->CloseAfter = Batch.CloseAfter;
        Accept(std::move(Answer), Target);
    }
}

std::shared_ptr<WriteBatch> FaultEdge::EditedAnswer()
{
    auto Body = std::make_shared<std::string>(m_Chunked ? ChunkedBodyReader().Read(m_Body) : std::move(m_Body));
    if(m_Effects.RecordBody)
        m_Effects.RecordBody(*Body);
    if(m_Effects.Corrupt)
    {
        auto const Flipped = Mp4::DamageMediaData({reinterpret_cast<std::uint8_t*>(Body->data()), Body->size()}, m_Effects.LengthPrefixedUnits);
        TRACE("Fault: %zu media bytes inverted\n", Flipped);
    }
    std::size_t Keep = Body->size();
    if(auto const& Rule = m_Effects.Truncate)
        Keep = Rule->Percent ? Body->size() * Rule->Value / 100 : std::min<std::size_t>(Body->size(), Rule->Value);
    auto Answer = std::make_shared<WriteBatch>();
    Answer->Head = std::move(m_Head);
    Answer->Owners.push_back(Body);
    Answer->Final = true;
    if(m_SendChunked)
    {
        auto Framing = std::make_shared<std::string>(Keep > 0 ? StringFormat("%zX\r\n", Keep) : std::string());
        auto End = std::make_shared<std::string>(Keep > 0 ? "\r\n0\r\n\r\n" : "0\r\n\r\n");
        Answer->Pieces = {boost::asio::buffer(*Framing), boost::asio::buffer(Body->data(), Keep), boost::asio::buffer(*End)};
        Answer->Owners.push_back(Framing);
        Answer->Owners.push_back(End);
    }
    else
    {
        Answer->Pieces = {boost::asio::buffer(Body->data(), Keep)};
        // The head declared the whole length: a client must see the body end
        // early, so the connection closes after what is sent.
        if(Keep < Body->size())
        {
            Answer->Final = false;
            m_CloseWhenSent = true;
        }
    }
    Answer->Size = Answer->Head.size() + BodySize(*Answer);
    return Answer;
}

void FaultEdge::Accept(std::shared_ptr<WriteBatch> Batch, HttpServer::Connection& Target)
{
    if(m_Hung || m_Closed)
        return; // a hung answer sends nothing more
    if(m_Effects.Hang)
        Batch = HangAfterPart(std::move(Batch));
    Queue(std::move(Batch));
    Pump(Target);
}

std::shared_ptr<WriteBatch> FaultEdge::HangAfterPart(std::shared_ptr<WriteBatch> Batch)
{
    // The head and the first half of what came with it; then silence.
    m_Hung = true;
    auto Part = std::make_shared<WriteBatch>();
    Part->Head = Batch->Head;
    std::size_t Left = BodySize(*Batch) / 2;
    for(auto const& Piece : Batch->Pieces)
    {
        std::size_t const Take = std::min(Left, Piece.size());
        if(Take > 0)
            Part->Pieces.emplace_back(Piece.data(), Take);
        Left -= Take;
    }
    Part->Owners.push_back(Batch);
    Part->Size = Part->Head.size() + BodySize(*Part);
    return Part;
}

void FaultEdge::Queue(std::shared_ptr<WriteBatch> Batch)
{
    if(m_Effects.BytesPerSecond == 0)
    {
        m_Pending.push_back(std::move(Batch));
        return;
    }
    std::size_t const SliceBytes = std::clamp<std::size_t>(m_Effects.BytesPerSecond / SlicesPerSecond, 1, MaximalSliceBytes);
    for(auto& Slice : Slices(Batch, SliceBytes))
        m_Pending.push_back(std::move(Slice));
}

void FaultEdge::Pump(HttpServer::Connection& Target)
{
    while(!m_Pending.empty() && !m_Closed && !m_TimerArmed)
    {
        auto const Now = Clock::now();
        if(Now < m_NextRelease)
        {
            if(!m_Timer)
                m_Timer.emplace(Target.GetExecutor());
            m_TimerArmed = true;
            m_Timer->expires_at(m_NextRelease);
            m_Timer->async_wait([Self = shared_from_this(), Weak = Target.weak_from_this()](boost::system::error_code Error) {
                Self->m_TimerArmed = false;
                auto const Owner = Weak.lock();
                if(!Error && Owner && Owner->IsOpen())
                    Self->Pump(*Owner);
            });
            return;
        }
        auto Batch = std::move(m_Pending.front());
        m_Pending.pop_front();
        if(m_Effects.BytesPerSecond != 0)
            m_NextRelease = std::max(m_NextRelease, Now) +
                            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(static_cast<double>(Batch->Size) / m_Effects.BytesPerSecond));
        Target.Forward(std::move(Batch));
    }
    if(m_Pending.empty() && m_CloseWhenSent)
        Target.Abort();
}

void FaultEdge::Stop(HttpServer::Connection& Target)
{
    // The server does not wait out a delay or a throttle.
    m_Effects.BytesPerSecond = 0;
    m_NextRelease = Clock::time_point::min();
    if(m_Timer)
        m_Timer->cancel();
    m_TimerArmed = false;
    Pump(Target);
    if(m_Hung)
        Target.Abort();
}

void FaultEdge::Close() noexcept
{
    m_Closed = true;
    m_Pending.clear();
    if(m_Timer)
        m_Timer->cancel();
}
} // namespace Application
