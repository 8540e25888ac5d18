// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/faults/FaultEdge.h"

#include <algorithm>

#include "app/faults/FaultGate.h"
#include "base/Trace.h"
#include "http/WriteBatch.h"
#include "mp4/Mp4MediaDataDamage.h"

namespace Application
{
namespace
{
using HttpServer::BodyPiece;
using HttpServer::WriteBatch;

// A throttled answer goes out in this many slices a second, each no larger
// than MaximalSliceBytes and no smaller than one byte.
constexpr std::uint32_t SlicesPerSecond = 20;
constexpr std::size_t MaximalSliceBytes = 64 * 1024;

// The pieces of bytes [First, First + Count) of a run of pieces.
std::vector<BodyPiece> Cut(std::vector<BodyPiece> const& Pieces, std::size_t First, std::size_t Count)
{
    std::vector<BodyPiece> Result;
    std::size_t Start = 0; // of the piece at hand
    for(auto const& Piece : Pieces)
    {
        std::size_t const End = Start + Piece.Size;
        if(End > First && Start < First + Count)
        {
            std::size_t const From = std::max(First, Start) - Start;
            Result.push_back(Piece.Sub(From, std::min(First + Count, End) - Start - From));
        }
        Start = End;
    }
    return Result;
}

std::size_t SizeOf(std::vector<BodyPiece> const& Pieces)
{
    std::size_t Size = 0;
    for(auto const& Piece : Pieces)
        Size += Piece.Size;
    return Size;
}

std::shared_ptr<WriteBatch> BatchOf(std::optional<HttpServer::ResponseHead> Head, std::vector<BodyPiece> Pieces, bool Final)
{
    auto Batch = std::make_shared<WriteBatch>();
    Batch->Head = std::move(Head);
    Batch->Pieces = std::move(Pieces);
    Batch->Final = Final;
    return Batch;
}
} // namespace

FaultEdge::FaultEdge(FaultEffects Effects) :
    m_Effects(std::move(Effects)), m_NextRelease(Clock::now() + std::chrono::milliseconds(m_Effects.DelayMilliseconds))
{
}

void FaultEdge::Write(std::shared_ptr<WriteBatch> Batch, HttpServer::Connection& Target)
{
    if(m_Closed)
        return;
    if(!m_HeadSeen && Batch->Head)
    {
        m_HeadSeen = true;
        EditHead(*Batch->Head);
        // Only a successful answer carries media (or a playlist) to change.
        m_Editing = m_Effects.EditsBody() && Batch->Head->Status == 200;
    }
    if(m_Editing)
        Gather(std::move(Batch), Target);
    else
        Accept(std::move(Batch), Target);
}

void FaultEdge::EditHead(HttpServer::ResponseHead& Head)
{
    if(m_Effects.Names.empty())
        return;
    // A faulted answer is not the resource as it is: no cache in between (a
    // proxy's, the browser's) may keep it or validate it against the clean
    // one, so its entity tag goes and it is marked not to be stored.
    Head.Remove(HttpServer::KnownHeader::ETag);
    Head.Set(HttpServer::KnownHeader::CacheControl, "no-store");
    Head.Add(FaultGate::HeaderName, m_Effects.Names);
}

void FaultEdge::Gather(std::shared_ptr<WriteBatch> Batch, HttpServer::Connection& Target)
{
    if(Batch->Head)
        m_Head = std::exchange(Batch->Head, std::nullopt);
    m_Body.insert(m_Body.end(), Batch->Pieces.begin(), Batch->Pieces.end());
    if(!Batch->Final)
        return;
    auto Pieces = std::exchange(m_Body, {});
    std::size_t const Whole = SizeOf(Pieces);
    if(m_Effects.RecordBody || m_Effects.Corrupt)
    {
        // The bytes are shared with the cache and other clients: a changed
        // body is a copy of its own.
        std::vector<std::uint8_t> Bytes;
        Bytes.reserve(Whole);
        for(auto const& Piece : Pieces)
            Bytes.insert(Bytes.end(), Piece.Data, Piece.Data + Piece.Size);
        if(m_Effects.RecordBody)
            m_Effects.RecordBody(std::string(Bytes.begin(), Bytes.end()));
        if(m_Effects.Corrupt)
        {
            std::size_t const Flipped = Mp4::DamageMediaData(Bytes, m_Effects.LengthPrefixedUnits);
            TRACE("Fault: %zu media bytes inverted\n", Flipped);
        }
        Pieces = {BodyPiece::Of(std::make_shared<std::vector<std::uint8_t> const>(std::move(Bytes)))};
    }
    std::size_t Keep = Whole;
    if(auto const& Rule = m_Effects.Truncate)
        Keep = Rule->Percent ? Whole * Rule->Value / 100 : std::min<std::size_t>(Whole, Rule->Value);
    auto Kept = Cut(Pieces, 0, Keep);
    if(m_Effects.Segment)
    {
        // Chunked, as a segment being made goes out: it ends with its last chunk.
        Accept(BatchOf(std::exchange(m_Head, std::nullopt), {}, false), Target);
        Accept(BatchOf(std::nullopt, std::move(Kept), true), Target);
        return;
    }
    if(Keep < Whole)
    {
        // The head declares the whole length: the client sees the body end
        // early, as the connection closes after what is sent.
        m_Head->DeclaredLength = Whole;
        m_CloseWhenSent = true;
    }
    Accept(BatchOf(std::exchange(m_Head, std::nullopt), std::move(Kept), Keep == Whole), Target);
}

void FaultEdge::Accept(std::shared_ptr<WriteBatch> Batch, HttpServer::Connection& Target)
{
    if(m_Hung || m_Closed)
        return; // a hung answer sends nothing more
    if(m_Effects.Hang)
    {
        // The head and the first half of what came with it; then silence.
        m_Hung = true;
        std::size_t const Size = Batch->BodySize();
        if(Batch->Head && Batch->Final)
            Batch->Head->DeclaredLength = Batch->Head->DeclaredLength.value_or(Size);
        Batch = BatchOf(std::exchange(Batch->Head, std::nullopt), Cut(Batch->Pieces, 0, Size / 2), false);
    }
    m_Pending.push_back(std::move(Batch));
    Pump(Target);
}

std::shared_ptr<WriteBatch> FaultEdge::NextSlice()
{
    auto& First = m_Pending.front();
    std::size_t const Size = First->BodySize();
    std::size_t Take = Size - m_SentOfFirst;
    if(m_Effects.BytesPerSecond != 0)
        Take = std::min(Take, std::clamp<std::size_t>(m_Effects.BytesPerSecond / SlicesPerSecond, 1, MaximalSliceBytes));
    std::shared_ptr<WriteBatch> Slice;
    if(m_SentOfFirst == 0 && Take == Size)
        Slice = std::move(First);
    else
    {
        bool const Last = m_SentOfFirst + Take == Size;
        Slice = BatchOf(std::exchange(First->Head, std::nullopt), Cut(First->Pieces, m_SentOfFirst, Take), First->Final && Last);
        // A whole answer cut into slices keeps the length it had.
        if(Slice->Head && First->Final)
            Slice->Head->DeclaredLength = Slice->Head->DeclaredLength.value_or(Size);
    }
    m_SentOfFirst += Take;
    if(m_SentOfFirst == Size)
    {
        m_Pending.pop_front();
        m_SentOfFirst = 0;
    }
    return Slice;
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
        auto Slice = NextSlice();
        if(m_Effects.BytesPerSecond != 0)
            m_NextRelease = std::max(m_NextRelease, Now) + std::chrono::duration_cast<Clock::duration>(
                                                               std::chrono::duration<double>(static_cast<double>(Slice->BodySize()) / m_Effects.BytesPerSecond));
        Target.Forward(std::move(Slice));
    }
    if(m_Pending.empty() && m_CloseWhenSent && !m_Closed)
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
    m_Body.clear();
    if(m_Timer)
        m_Timer->cancel();
}
} // namespace Application
