// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/metrics/ServerMetrics.h"
#include "app/sessions/RequestLogRecord.h"
#include "app/sessions/RequestRecord.h"
#include "http/AnswerOutcome.h"

namespace Application
{
// The last requests of each asset, for the "session" route: one ring of
// fixed-size records per asset, the most recently used assets only, and a
// bound on the records of all assets together (the least recently used
// asset's ring goes first). Appending copies one record under a mutex and
// allocates nothing once the asset's ring has grown (a new asset, a ring
// growing to its bound and a string not seen before for that asset do).
// Records of an asset are numbered from 0 (Sequence); an asset whose ring
// was dropped goes on with its numbers when it is used again.
class RequestLog
{
public:
    static constexpr std::size_t MaximalRecordsPerAsset = 10'000;
    static constexpr std::size_t MaximalAssets = 1'000;
    static constexpr std::size_t MaximalRecords = 1'000'000;
    // Distinct strings (routes, faults, CMCD session and content ids) an
    // asset's records name; beyond it a new one is not kept.
    static constexpr std::size_t MaximalStringsPerAsset = 1'000;
    // Assets whose ring was dropped whose next number is remembered.
    static constexpr std::size_t MaximalRetiredAssets = 100'000;

    struct Bounds
    {
        std::size_t RecordsPerAsset = MaximalRecordsPerAsset;
        std::size_t Assets = MaximalAssets;
        std::size_t Records = MaximalRecords;
    };

    // What an asset's ring holds from a number on.
    struct Excerpt
    {
        // The number the next record will have.
        std::uint64_t Next = 0;
        // Records the ring no longer holds.
        std::uint64_t Dropped = 0;
        std::vector<RequestLogRecord> Records;
        // The asset's strings, as the records number them.
        std::vector<std::string> Strings;
    };

    // Metrics, when given, learn the records and assets held.
    explicit RequestLog(std::shared_ptr<ServerMetrics> Metrics = nullptr);
    RequestLog(std::shared_ptr<ServerMetrics> Metrics, Bounds Limits);
    RequestLog(RequestLog const&) = delete;
    RequestLog& operator=(RequestLog const&) = delete;

    // Logs a request of Record.Asset (none: nothing is logged) whose answer
    // went out as Outcome says.
    void Append(RequestRecord const& Record, HttpServer::AnswerOutcome const& Outcome);
    // The records of Asset numbered From or later, oldest first.
    Excerpt Read(std::uint32_t Asset, std::uint64_t From) const;

    std::size_t GetRecordCount() const;
    std::size_t GetAssetCount() const;

private:
    struct Ring
    {
        std::uint32_t Asset = 0;
        std::vector<RequestLogRecord> Records;
        // The oldest record, once the ring is full.
        std::size_t Oldest = 0;
        std::uint64_t Next = 0;
        std::vector<std::string> Strings;
    };

    // The asset's ring, made the most recently used; the rings dropped to
    // make room for it are moved to Dropped, to be freed outside the lock.
    Ring& Use(std::uint32_t Asset, std::vector<Ring>& Dropped);
    // The record goes into Target, making room by dropping other rings.
    void Put(Ring& Target, RequestLogRecord const& Record, std::vector<Ring>& Dropped);
    void DropLeastRecentlyUsed(std::vector<Ring>& Dropped);
    static std::uint16_t Intern(Ring& Target, std::string_view Text);
    void Publish();

    std::shared_ptr<ServerMetrics> const m_Metrics;
    Bounds const m_Bounds;
    mutable std::mutex m_Mutex;
    // Most recently used first.
    std::list<Ring> m_Rings;
    std::unordered_map<std::uint32_t, std::list<Ring>::iterator> m_ByAsset;
    std::size_t m_RecordCount = 0;
    std::unordered_map<std::uint32_t, std::uint64_t> m_RetiredNext;
    std::deque<std::uint32_t> m_RetiredOrder;
};
} // namespace Application
