// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/sessions/RequestLog.h"

#include <gtest/gtest.h>

#include <vector>

using Application::RequestLog;
using Application::RequestRecord;

namespace
{
RequestRecord RecordOf(std::uint32_t Asset, std::string Route = "video-body.mp4")
{
    RequestRecord Record;
    Record.Asset = Asset;
    Record.Route = std::move(Route);
    return Record;
}

void Append(RequestLog& Log, std::uint32_t Asset, std::size_t Count = 1)
{
    for(std::size_t Index = 0; Index < Count; ++Index)
        Log.Append(RecordOf(Asset), {});
}

std::vector<std::uint64_t> Sequences(RequestLog::Excerpt const& Excerpt)
{
    std::vector<std::uint64_t> Result;
    for(auto const& Record : Excerpt.Records)
        Result.push_back(Record.Sequence);
    return Result;
}
} // namespace

TEST(RequestLog, AnAssetsRingKeepsItsLastRecordsAndCountsTheRest)
{
    RequestLog Log(nullptr, {4, 10, 100});
    Append(Log, 7, 6);
    auto const All = Log.Read(7, 0);
    EXPECT_EQ(Sequences(All), (std::vector<std::uint64_t>{2, 3, 4, 5}));
    EXPECT_EQ(All.Next, 6u);
    EXPECT_EQ(All.Dropped, 2u);
    EXPECT_EQ(Sequences(Log.Read(7, 4)), (std::vector<std::uint64_t>{4, 5}));
    EXPECT_TRUE(Log.Read(7, 6).Records.empty());
    EXPECT_TRUE(Log.Read(7, 1'000).Records.empty());
    // Unknown assets and requests without one.
    EXPECT_EQ(Log.Read(8, 0).Next, 0u);
    Log.Append(RequestRecord{}, {});
    EXPECT_EQ(Log.GetRecordCount(), 4u);
    EXPECT_EQ(Log.GetAssetCount(), 1u);
}

TEST(RequestLog, TheLeastRecentlyUsedAssetGoesFirstAndKeepsItsNumbers)
{
    // Three assets at most, five records in all.
    auto Metrics = std::make_shared<Application::ServerMetrics>();
    RequestLog Log(Metrics, {4, 3, 5});
    Append(Log, 1, 2);
    Append(Log, 2, 2);
    Append(Log, 1); // 1 is used again: 2 is now the least recently used
    Append(Log, 3); // the total bound: 2 goes
    EXPECT_TRUE(Log.Read(2, 0).Records.empty());
    EXPECT_EQ(Log.Read(2, 0).Next, 2u);
    EXPECT_EQ(Log.GetRecordCount(), 4u);
    Append(Log, 4);
    Append(Log, 5); // the asset bound: 1 goes (3 and 4 are newer)
    EXPECT_EQ(Log.GetAssetCount(), 3u);
    EXPECT_TRUE(Log.Read(1, 0).Records.empty());
    EXPECT_EQ(Sequences(Log.Read(3, 0)), (std::vector<std::uint64_t>{0}));
    EXPECT_EQ(Metrics->Get(Application::ServerMetrics::Gauge::RequestLogAssets), 3);
    EXPECT_EQ(Metrics->Get(Application::ServerMetrics::Gauge::RequestLogRecords), 3);
    // An asset used again goes on with its numbers, the lost ones dropped.
    Append(Log, 2);
    auto const Again = Log.Read(2, 0);
    EXPECT_EQ(Sequences(Again), (std::vector<std::uint64_t>{2}));
    EXPECT_EQ(Again.Dropped, 2u);
}

TEST(RequestLog, RecordsKeepWhatTheRequestSaidWithStringsPerAsset)
{
    RequestLog Log;
    auto Record = RecordOf(9, "audio-body.mp4");
    Record.Track = Application::RequestTrack::Audio;
    Record.Segment = 3;
    Record.Cache = Application::CacheOutcome::Joined;
    Record.Fault = "delay";
    Record.Cmcd.SessionId = "player-1";
    Record.Cmcd.BufferLength = 1500;
    Record.Cmcd.ObjectType = "av";
    Record.Arrival = std::chrono::steady_clock::now();
    HttpServer::AnswerOutcome Outcome;
    Outcome.Status = 200;
    Outcome.BodyBytes = 1234;
    Outcome.FirstByteTime = Record.Arrival + std::chrono::microseconds(1500);
    Outcome.LastByteTime = Record.Arrival + std::chrono::milliseconds(40);
    Outcome.Completed = true;
    Log.Append(Record, Outcome);
    Log.Append(Record, {});
    auto const Excerpt = Log.Read(9, 0);
    ASSERT_EQ(Excerpt.Records.size(), 2u);
    auto const& First = Excerpt.Records[0];
    EXPECT_EQ(First.FirstByte, 1500u);
    EXPECT_EQ(First.LastByte, 40'000u);
    EXPECT_EQ(First.BodyBytes, 1234u);
    EXPECT_EQ(First.Status, 200u);
    EXPECT_EQ(First.Segment, 3u);
    EXPECT_EQ(First.Variant, Application::RequestLogRecord::NoNumber);
    EXPECT_EQ(First.Cache, Application::CacheOutcome::Joined);
    EXPECT_TRUE(First.Has(Application::RequestLogRecord::BufferLengthKey));
    EXPECT_FALSE(First.Has(Application::RequestLogRecord::EncodedBitrateKey));
    EXPECT_EQ(std::string(First.ObjectType.data(), 2), "av");
    EXPECT_EQ(Excerpt.Strings.at(First.Route), "audio-body.mp4");
    EXPECT_EQ(Excerpt.Strings.at(First.Fault), "delay");
    EXPECT_EQ(Excerpt.Strings.at(First.SessionId), "player-1");
    // The same strings are one entry each; an answer never written has no times.
    EXPECT_EQ(Excerpt.Strings.size(), 3u);
    EXPECT_EQ(Excerpt.Records[1].FirstByte, Application::RequestLogRecord::NoTime);
    EXPECT_FALSE(Excerpt.Records[1].Completed);
}
