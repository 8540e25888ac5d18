// SPDX-License-Identifier: GPL-2.0-or-later
// The request log's costs: one append (a record copied into its asset's
// ring under the lock) with few assets and at the bounds, where every
// append of a new asset drops the least recently used ring; and the memory
// the log holds at its bounds (1,000 assets of up to 10,000 records, at most
// 1,000,000 records), measured as the process's resident size before and
// after filling it, beside the records' own size.
//
//   quorvel_request_log_bench [rounds]     (medians of rounds, 5 by default)

#include "BenchTiming.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "app/sessions/RequestLog.h"

using Application::RequestLog;

namespace
{
long ResidentKilobytes()
{
    std::ifstream Status("/proc/self/status");
    std::string Line;
    while(std::getline(Status, Line))
        if(Line.rfind("VmRSS:", 0) == 0)
            return std::atol(Line.c_str() + 6);
    return -1;
}

Application::RequestRecord SegmentRecord()
{
    Application::RequestRecord Record;
    Record.Route = "video-body.mp4";
    Record.Track = Application::RequestTrack::Video;
    Record.Variant = 2;
    Record.Segment = 17;
    Record.Cache = Application::CacheOutcome::Hit;
    Record.Cmcd.BufferLength = 12300;
    Record.Cmcd.MeasuredThroughput = 25400;
    Record.Cmcd.EncodedBitrate = 2400;
    Record.Cmcd.SessionId = "6e2fb550-c457-11e9-bb97-0800200c9a66";
    Record.Cmcd.ObjectType = "v";
    Record.Arrival = std::chrono::steady_clock::now();
    return Record;
}

HttpServer::AnswerOutcome Outcome(Application::RequestRecord const& Record)
{
    HttpServer::AnswerOutcome Result;
    Result.Status = 200;
    Result.BodyBytes = 412345;
    Result.FirstByteTime = Record.Arrival + std::chrono::microseconds(1800);
    Result.LastByteTime = Record.Arrival + std::chrono::microseconds(35200);
    Result.Completed = true;
    return Result;
}

// Nanoseconds per append of Count records over Assets assets in turn.
double AppendNanoseconds(RequestLog& Log, std::uint32_t Assets, std::uint32_t FirstAsset, std::size_t Count, int Rounds)
{
    auto Record = SegmentRecord();
    auto const Answer = Outcome(Record);
    std::uint32_t Next = 0;
    double const Seconds = BenchTiming::Median(Rounds, [&] {
        for(std::size_t Index = 0; Index < Count; ++Index)
        {
            Record.Asset = FirstAsset + Next;
            Next = Next + 1 == Assets ? 0 : Next + 1;
            Log.Append(Record, Answer);
        }
    });
    return Seconds * 1e9 / static_cast<double>(Count);
}
} // namespace

int main(int Count, char** Arguments)
{
    int const Rounds = Count > 1 ? std::atoi(Arguments[1]) : 5;
    std::printf("record: %zu bytes; bounds: %zu records per asset, %zu assets, %zu records\n", sizeof(Application::RequestLogRecord),
                RequestLog::MaximalRecordsPerAsset, RequestLog::MaximalAssets, RequestLog::MaximalRecords);

    long const Before = ResidentKilobytes();
    auto Log = std::make_unique<RequestLog>();
    // Filling: every asset gets its whole ring in turn, so the total bound drops the oldest.
    auto Record = SegmentRecord();
    auto const Answer = Outcome(Record);
    double const FillSeconds = BenchTiming::Seconds([&] {
        for(std::uint32_t Asset = 1; Asset <= RequestLog::MaximalAssets; ++Asset)
        {
            Record.Asset = Asset;
            for(std::size_t Index = 0; Index < RequestLog::MaximalRecordsPerAsset; ++Index)
                Log->Append(Record, Answer);
        }
    });
    long const Full = ResidentKilobytes();
    std::printf("filled with 1,000 assets x 10,000 records in %.2f s: %zu records of %zu assets held\n", FillSeconds, Log->GetRecordCount(),
                Log->GetAssetCount());
    std::printf("memory at the bounds: %.1f MB resident (%.1f MB of records)\n", (Full - Before) / 1024.0,
                static_cast<double>(Log->GetRecordCount() * sizeof(Application::RequestLogRecord)) / (1024.0 * 1024.0));

    // Full rings: an append overwrites the oldest record of its asset.
    std::printf("append, 10 assets with full rings: %.1f ns\n", AppendNanoseconds(*Log, 10, RequestLog::MaximalAssets - 9, 2'000'000, Rounds));
    // New assets at the bounds: each append makes a ring and drops the least recently used one.
    std::printf("append, a new asset each time at the bounds: %.1f ns\n", AppendNanoseconds(*Log, 200'000, 10'000, 200'000, Rounds));
    RequestLog Fresh;
    AppendNanoseconds(Fresh, 100, 1, 100 * RequestLog::MaximalRecordsPerAsset, 1);
    std::printf("append, 100 assets, rings grown: %.1f ns\n", AppendNanoseconds(Fresh, 100, 1, 2'000'000, Rounds));
    // Reading what a page polls for: the last second's records of one asset, and a whole ring.
    double const ReadLast = BenchTiming::Median(Rounds, [&] {
        for(int Index = 0; Index < 10'000; ++Index)
            (void)Fresh.Read(1, Fresh.Read(1, ~0ull).Next - 10);
    }) / 10'000;
    double const ReadAll = BenchTiming::Median(Rounds, [&] { (void)Fresh.Read(1, 0); });
    std::printf("read: the last 10 records %.1f us, a whole ring of 10,000 %.1f us\n", ReadLast * 1e6, ReadAll * 1e6);
    return 0;
}
