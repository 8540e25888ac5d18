// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/sessions/RequestLog.h"

#include <algorithm>
#include <chrono>

namespace Application
{
namespace
{
std::uint32_t MicrosecondsSince(std::chrono::steady_clock::time_point Start, std::optional<std::chrono::steady_clock::time_point> const& Time)
{
    if(!Time)
        return RequestLogRecord::NoTime;
    auto const Count = std::chrono::duration_cast<std::chrono::microseconds>(*Time - Start).count();
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(Count, 0, RequestLogRecord::NoTime - 1));
}

// The parts of a record that need no strings: made before the lock is taken.
RequestLogRecord Fixed(RequestRecord const& Record, HttpServer::AnswerOutcome const& Outcome)
{
    RequestLogRecord Entry;
    Entry.ArrivalTime = Record.ArrivalTime;
    Entry.BodyBytes = Outcome.BodyBytes;
    Entry.FirstByte = MicrosecondsSince(Record.Arrival, Outcome.FirstByteTime);
    Entry.LastByte = MicrosecondsSince(Record.Arrival, Outcome.LastByteTime);
    Entry.Variant = Record.Variant.value_or(RequestLogRecord::NoNumber);
    Entry.Segment = Record.Segment.value_or(RequestLogRecord::NoNumber);
    Entry.Part = Record.Part.value_or(RequestLogRecord::NoNumber);
    Entry.Status = static_cast<std::uint16_t>(Outcome.Status);
    Entry.Track = Record.Track;
    Entry.Cache = Record.Cache;
    Entry.Completed = Outcome.Completed;
    auto const& Cmcd = Record.Cmcd;
    auto const Number = [&](std::optional<std::uint32_t> const& Value, std::uint32_t& Into, RequestLogRecord::CmcdKey Key) {
        if(Value)
        {
            Into = *Value;
            Entry.Present |= Key;
        }
    };
    Number(Cmcd.BufferLength, Entry.BufferLength, RequestLogRecord::BufferLengthKey);
    Number(Cmcd.MeasuredThroughput, Entry.MeasuredThroughput, RequestLogRecord::MeasuredThroughputKey);
    Number(Cmcd.EncodedBitrate, Entry.EncodedBitrate, RequestLogRecord::EncodedBitrateKey);
    Number(Cmcd.ObjectDuration, Entry.ObjectDuration, RequestLogRecord::ObjectDurationKey);
    Number(Cmcd.TopBitrate, Entry.TopBitrate, RequestLogRecord::TopBitrateKey);
    if(Cmcd.PlaybackRate)
    {
        Entry.PlaybackRate = *Cmcd.PlaybackRate;
        Entry.Present |= RequestLogRecord::PlaybackRateKey;
    }
    if(Cmcd.BufferStarvation)
    {
        Entry.BufferStarvation = *Cmcd.BufferStarvation;
        Entry.Present |= RequestLogRecord::BufferStarvationKey;
    }
    if(Cmcd.Startup)
    {
        Entry.Startup = *Cmcd.Startup;
        Entry.Present |= RequestLogRecord::StartupKey;
    }
    std::copy_n(Cmcd.ObjectType.begin(), std::min(Cmcd.ObjectType.size(), Entry.ObjectType.size()), Entry.ObjectType.begin());
    return Entry;
}
} // namespace

RequestLog::RequestLog(std::shared_ptr<ServerMetrics> Metrics) : RequestLog(std::move(Metrics), Bounds{})
{
}

RequestLog::RequestLog(std::shared_ptr<ServerMetrics> Metrics, Bounds Limits) : m_Metrics(std::move(Metrics)), m_Bounds(Limits)
{
}

void RequestLog::Append(RequestRecord const& Record, HttpServer::AnswerOutcome const& Outcome)
{
    if(!Record.Asset)
        return;
    RequestLogRecord Entry = Fixed(Record, Outcome);
    // Rings dropped to make room are freed after the lock is released.
    std::vector<Ring> Dropped;
    {
        std::lock_guard Lock(m_Mutex);
        Ring& Target = Use(*Record.Asset, Dropped);
        Entry.Route = Intern(Target, Record.Route);
        Entry.Fault = Intern(Target, Record.Fault);
        Entry.Pathway = Intern(Target, Record.Pathway);
        Entry.SessionId = Intern(Target, Record.Cmcd.SessionId);
        Entry.ContentId = Intern(Target, Record.Cmcd.ContentId);
        Entry.Sequence = Target.Next++;
        Put(Target, Entry, Dropped);
        Publish();
    }
}

RequestLog::Ring& RequestLog::Use(std::uint32_t Asset, std::vector<Ring>& Dropped)
{
    if(auto const Found = m_ByAsset.find(Asset); Found != m_ByAsset.end())
    {
        m_Rings.splice(m_Rings.begin(), m_Rings, Found->second);
        return *Found->second;
    }
    while(!m_Rings.empty() && m_Rings.size() >= m_Bounds.Assets)
        DropLeastRecentlyUsed(Dropped);
    Ring& Added = m_Rings.emplace_front();
    Added.Asset = Asset;
    if(auto const Retired = m_RetiredNext.find(Asset); Retired != m_RetiredNext.end())
    {
        Added.Next = Retired->second;
        m_RetiredNext.erase(Retired);
    }
    m_ByAsset.emplace(Asset, m_Rings.begin());
    return Added;
}

void RequestLog::Put(Ring& Target, RequestLogRecord const& Record, std::vector<Ring>& Dropped)
{
    auto& Records = Target.Records;
    if(Records.size() == m_Bounds.RecordsPerAsset)
    {
        Records[Target.Oldest] = Record;
        Target.Oldest = (Target.Oldest + 1) % Records.size();
        return;
    }
    // Target is the most recently used ring: others go first.
    while(m_RecordCount >= m_Bounds.Records && m_Rings.size() > 1)
        DropLeastRecentlyUsed(Dropped);
    if(Records.size() == Records.capacity())
        Records.reserve(std::min(std::max<std::size_t>(64, 2 * Records.capacity()), m_Bounds.RecordsPerAsset));
    Records.push_back(Record);
    ++m_RecordCount;
}

void RequestLog::DropLeastRecentlyUsed(std::vector<Ring>& Dropped)
{
    auto& Last = m_Rings.back();
    m_RecordCount -= Last.Records.size();
    m_ByAsset.erase(Last.Asset);
    m_RetiredNext[Last.Asset] = Last.Next;
    m_RetiredOrder.push_back(Last.Asset);
    while(m_RetiredOrder.size() > MaximalRetiredAssets)
    {
        // An asset retired again later is forgotten with its first retirement.
        m_RetiredNext.erase(m_RetiredOrder.front());
        m_RetiredOrder.pop_front();
    }
    Dropped.push_back(std::move(Last));
    m_Rings.pop_back();
}

std::uint16_t RequestLog::Intern(Ring& Target, std::string_view Text)
{
    if(Text.empty())
        return RequestLogRecord::NoString;
    auto& Strings = Target.Strings;
    // Few strings per asset (its routes, a player's session id or two):
    // the most recent ones are found first.
    for(std::size_t Index = Strings.size(); Index-- > 0;)
        if(Strings[Index] == Text)
            return static_cast<std::uint16_t>(Index);
    if(Strings.size() >= MaximalStringsPerAsset)
        return RequestLogRecord::NoString;
    Strings.emplace_back(Text);
    return static_cast<std::uint16_t>(Strings.size() - 1);
}

void RequestLog::Publish()
{
    if(!m_Metrics)
        return;
    m_Metrics->Set(ServerMetrics::Gauge::RequestLogRecords, static_cast<std::int64_t>(m_RecordCount));
    m_Metrics->Set(ServerMetrics::Gauge::RequestLogAssets, static_cast<std::int64_t>(m_Rings.size()));
}

RequestLog::Excerpt RequestLog::Read(std::uint32_t Asset, std::uint64_t From) const
{
    Excerpt Result;
    std::lock_guard Lock(m_Mutex);
    auto const Found = m_ByAsset.find(Asset);
    if(Found == m_ByAsset.end())
    {
        if(auto const Retired = m_RetiredNext.find(Asset); Retired != m_RetiredNext.end())
            Result.Next = Result.Dropped = Retired->second;
        return Result;
    }
    Ring const& Source = *Found->second;
    std::size_t const Size = Source.Records.size();
    Result.Next = Source.Next;
    Result.Dropped = Source.Next - Size;
    std::uint64_t const First = std::max(From, Result.Dropped);
    if(First < Result.Next)
    {
        Result.Records.reserve(static_cast<std::size_t>(Result.Next - First));
        for(std::uint64_t Sequence = First; Sequence < Result.Next; ++Sequence)
            Result.Records.push_back(Source.Records[(Source.Oldest + static_cast<std::size_t>(Sequence - Result.Dropped)) % Size]);
        Result.Strings = Source.Strings;
    }
    return Result;
}

std::size_t RequestLog::GetRecordCount() const
{
    std::lock_guard Lock(m_Mutex);
    return m_RecordCount;
}

std::size_t RequestLog::GetAssetCount() const
{
    std::lock_guard Lock(m_Mutex);
    return m_Rings.size();
}
} // namespace Application
