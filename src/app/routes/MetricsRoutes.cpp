// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routes/MetricsRoutes.h"

#include "app/answers/WholeAnswer.h"
#include "base/StringFormat.h"

namespace Application
{
namespace
{
using Counter = ServerMetrics::Counter;
using Gauge = ServerMetrics::Gauge;

// One metric: its help and type lines, then its samples.
class MetricText
{
public:
    explicit MetricText(std::string& Output) : m_Output(Output) {}

    MetricText& Family(char const* Name, char const* Type, char const* Help)
    {
        m_Output += StringFormat("# HELP quorvel_%s %s\n# TYPE quorvel_%s %s\n", Name, Help, Name, Type);
        return *this;
    }
    MetricText& Sample(char const* Name, std::string const& Labels, double Value)
    {
        m_Output += StringFormat("quorvel_%s%s%s%s %.17g\n", Name, Labels.empty() ? "" : "{", Labels.c_str(), Labels.empty() ? "" : "}", Value);
        return *this;
    }
    MetricText& Single(char const* Name, char const* Type, char const* Help, double Value)
    {
        return Family(Name, Type, Help).Sample(Name, {}, Value);
    }

private:
    std::string& m_Output;
};

// Route names are paths the route table knows, free of quotes and backslashes.
std::string Label(char const* Name, std::string const& Value)
{
    return StringFormat("%s=\"%s\"", Name, Value.c_str());
}
} // namespace

MetricsRoutes::MetricsRoutes(ServerContext& Context, RouteTable& Table) : m_Context(Context)
{
    Table.AddRoute("metrics", [this](RouteContext& Request) {
        WholeAnswer Answer{"text/plain; version=0.0.4; charset=utf-8"};
        Answer.CacheControl = "no-store";
        Answer.Send(Request, Format());
    });
}

std::string MetricsRoutes::Format() const
{
    std::string Output;
    MetricText Text(Output);
    auto const& Metrics = *m_Context.Metrics;
    Text.Family("answers_total", "counter", "Answers sent, by route and status.");
    for(auto const& [Key, Count] : Metrics.GetAnswers())
        Text.Sample("answers_total", Label("route", Key.first) + "," + Label("status", std::to_string(Key.second)), static_cast<double>(Count));

    auto const Count = [&](Counter Which) { return static_cast<double>(Metrics.Get(Which)); };
    auto const Level = [&](Gauge Which) { return static_cast<double>(Metrics.Get(Which)); };
    Text.Single("productions_started_total", "counter", "Media pipelines started (segments, initialisation segments, files).",
                Count(Counter::ProductionsStarted));
    Text.Single("segments_made_total", "counter", "Media made completely and kept.", Count(Counter::ProductionsCompleted));
    Text.Single("productions_in_progress", "gauge", "Media being made or waiting for a worker.", Level(Gauge::ProductionsInProgress));
    Text.Single("joined_requests_total", "counter", "Requests that joined media being made.", Count(Counter::RequestsJoined));
    Text.Single("readahead_made_total", "counter", "Segments started ahead of their requests.", Count(Counter::ReadAheadMade));
    Text.Single("readahead_used_total", "counter", "Segments made ahead that a request then joined or found kept.", Count(Counter::ReadAheadUsed));
    Text.Single("readahead_wasted_total", "counter", "Segments made ahead that nobody asked for before they were dropped or failed.",
                Count(Counter::ReadAheadWasted));

    auto const Histogram = Metrics.GetProductions();
    Text.Family("production_seconds", "histogram", "Time to make a piece of media completely.");
    std::uint64_t Cumulative = 0;
    for(std::size_t Index = 0; Index < ServerMetrics::SecondsBuckets.size(); ++Index)
    {
        Cumulative += Histogram.Counts[Index];
        Text.Sample("production_seconds_bucket", Label("le", StringFormat("%g", ServerMetrics::SecondsBuckets[Index])), static_cast<double>(Cumulative));
    }
    Text.Sample("production_seconds_bucket", Label("le", "+Inf"), static_cast<double>(Histogram.Count));
    Text.Sample("production_seconds_sum", {}, Histogram.Sum);
    Text.Sample("production_seconds_count", {}, static_cast<double>(Histogram.Count));

    // Pathway names are letters and digits (SteeringSettings).
    Text.Family("pathway_requests_total", "counter", "Requests of playlists, keys and media by the pathway of content steering they came by, and route.");
    for(auto const& [Key, Requests] : Metrics.GetPathwayRequests())
        Text.Sample("pathway_requests_total", Label("pathway", Key.first) + "," + Label("route", Key.second), static_cast<double>(Requests));

    Text.Single("cache_hits_total", "counter", "Requests answered from the segment cache.", Count(Counter::CacheHits));
    Text.Single("cache_misses_total", "counter", "Requests the segment cache could not answer.", Count(Counter::CacheMisses));
    Text.Single("cache_insertions_total", "counter", "Bodies kept in the segment cache.", Count(Counter::CacheInsertions));
    Text.Single("cache_evictions_total", "counter", "Bodies dropped from the segment cache to keep its limit.", Count(Counter::CacheEvictions));
    Text.Single("cache_bytes", "gauge", "Bytes held by the segment cache.", Level(Gauge::CacheBytes));
    Text.Single("cache_limit_bytes", "gauge", "The segment cache's limit (-SegmentCacheBytes).", Level(Gauge::CacheLimitBytes));
    Text.Single("cache_entries", "gauge", "Bodies held by the segment cache.", Level(Gauge::CacheEntries));

    Text.Single("request_log_records", "gauge", "Requests held by the request log (the session route).", Level(Gauge::RequestLogRecords));
    Text.Single("request_log_assets", "gauge", "Assets whose requests the request log holds.", Level(Gauge::RequestLogAssets));
    Text.Single("connections_open", "gauge", "Client connections open.", Level(Gauge::ConnectionsOpen));
    Text.Family("held_requests", "gauge", "Requests held until what they ask for exists, by kind.");
    Text.Sample("held_requests", Label("kind", "playlist"), Level(Gauge::HeldPlaylists));
    Text.Sample("held_requests", Label("kind", "part"), Level(Gauge::HeldParts));
    Text.Family("tasks_waiting", "gauge", "Media tasks waiting for a worker, by group.");
    Text.Sample("tasks_waiting", Label("group", "video"), Level(Gauge::VideoTasksWaiting));
    Text.Sample("tasks_waiting", Label("group", "audio"), Level(Gauge::AudioTasksWaiting));
    Text.Family("tasks_running", "gauge", "Media tasks running, by group.");
    Text.Sample("tasks_running", Label("group", "video"), Level(Gauge::VideoTasksRunning));
    Text.Sample("tasks_running", Label("group", "audio"), Level(Gauge::AudioTasksRunning));
    return Output;
}
} // namespace Application
