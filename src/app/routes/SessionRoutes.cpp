// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/routes/SessionRoutes.h"

#include <charconv>

#include "app/answers/WholeAnswer.h"
#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "presentation/Configuration.h"
#include "presentation/JsonText.h"
#include "presentation/OptionTable.h"
#include "presentation/QueryNumbers.h"

namespace Application
{
namespace
{
// Polled while a player plays: never kept by anyone.
constexpr char const* NoStore = "no-store";

char const* TrackName(RequestTrack Track)
{
    switch(Track)
    {
    case RequestTrack::Video:
        return "video";
    case RequestTrack::Audio:
        return "audio";
    case RequestTrack::Playlist:
        return "playlist";
    case RequestTrack::Manifest:
        return "manifest";
    case RequestTrack::Key:
        return "key";
    case RequestTrack::Text:
        return "text";
    case RequestTrack::Other:
        break;
    }
    return "other";
}

char const* CacheName(CacheOutcome Cache)
{
    switch(Cache)
    {
    case CacheOutcome::Hit:
        return "hit";
    case CacheOutcome::Joined:
        return "joined";
    case CacheOutcome::Made:
        return "made";
    case CacheOutcome::Revalidated:
        return "revalidated";
    case CacheOutcome::None:
        break;
    }
    return nullptr;
}

// Thousandths as a decimal: microseconds as milliseconds.
std::string Milliseconds(std::int64_t Microseconds)
{
    return StringFormat("%lld.%03lld", static_cast<long long>(Microseconds / 1000), static_cast<long long>(Microseconds % 1000));
}

std::string CsvCell(std::string_view Text)
{
    if(Text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(Text);
    std::string Result = "\"";
    for(char const Character : Text)
        Result += Character == '"' ? std::string("\"\"") : std::string(1, Character);
    return Result + "\"";
}

// What one record says, as text without quoting: empty for null.
struct Cells
{
    std::string Variant, Segment, Part, Status, FirstByte, LastByte, Route, Fault, Pathway, SessionId, ContentId, ObjectType;
    char const* Cache;

    Cells(RequestLogRecord const& Record, std::vector<std::string> const& Strings)
    {
        auto const Number = [](std::uint32_t Value) { return Value == RequestLogRecord::NoNumber ? std::string() : std::to_string(Value); };
        auto const Time = [](std::uint32_t Value) { return Value == RequestLogRecord::NoTime ? std::string() : Milliseconds(Value); };
        auto const Text = [&](std::uint16_t Index) { return Index < Strings.size() ? Strings[Index] : std::string(); };
        Variant = Number(Record.Variant);
        Segment = Number(Record.Segment);
        Part = Number(Record.Part);
        Status = Record.Status == 0 ? std::string() : std::to_string(Record.Status);
        FirstByte = Time(Record.FirstByte);
        LastByte = Time(Record.LastByte);
        Route = Text(Record.Route);
        Fault = Text(Record.Fault);
        Pathway = Text(Record.Pathway);
        SessionId = Text(Record.SessionId);
        ContentId = Text(Record.ContentId);
        ObjectType = std::string(Record.ObjectType.data(), Record.ObjectType[1] ? 2 : Record.ObjectType[0] ? 1 : 0);
        Cache = CacheName(Record.Cache);
    }
};

std::string JsonOrNull(std::string const& Value, bool Quoted)
{
    if(Value.empty())
        return "null";
    return Quoted ? JsonString(Value) : Value;
}

std::string CmcdJson(RequestLogRecord const& Record, Cells const& Text)
{
    if(!Record.HasCmcd())
        return "null";
    std::string Result;
    auto const Add = [&](char const* Key, std::string const& Value) { Result += StringFormat("%s\"%s\":%s", Result.empty() ? "" : ",", Key, Value.c_str()); };
    auto const Number = [&](RequestLogRecord::CmcdKey Key, char const* Name, std::uint32_t Value) {
        if(Record.Has(Key))
            Add(Name, std::to_string(Value));
    };
    Number(RequestLogRecord::BufferLengthKey, "bl", Record.BufferLength);
    Number(RequestLogRecord::MeasuredThroughputKey, "mtp", Record.MeasuredThroughput);
    Number(RequestLogRecord::EncodedBitrateKey, "br", Record.EncodedBitrate);
    if(Record.Has(RequestLogRecord::BufferStarvationKey))
        Add("bs", Record.BufferStarvation ? "true" : "false");
    if(!Text.SessionId.empty())
        Add("sid", JsonString(Text.SessionId));
    if(!Text.ObjectType.empty())
        Add("ot", JsonString(Text.ObjectType));
    if(Record.Has(RequestLogRecord::StartupKey))
        Add("su", Record.Startup ? "true" : "false");
    Number(RequestLogRecord::ObjectDurationKey, "d", Record.ObjectDuration);
    Number(RequestLogRecord::TopBitrateKey, "tb", Record.TopBitrate);
    if(Record.Has(RequestLogRecord::PlaybackRateKey))
        Add("pr", StringFormat("%g", static_cast<double>(Record.PlaybackRate)));
    if(!Text.ContentId.empty())
        Add("cid", JsonString(Text.ContentId));
    return "{" + Result + "}";
}

} // namespace

SessionRoutes::SessionRoutes(ServerContext& Context, RouteTable& Table) : m_Context(Context)
{
    Table.AddAssetRoute("session", [this](RouteContext& Request) { Session(Request); });
}

void SessionRoutes::Session(RouteContext& Context)
{
    // A page polls this once a second: its own requests would crowd out the player's.
    if(Context.Record)
        Context.Record->Asset.reset();
    auto const From = static_cast<std::uint64_t>(QueryInteger(Context.QueryVector, "from").value_or(0));
    bool const Csv = QueryChoice(Context.QueryVector, OptionTable::Get("format")) == "csv";
    std::uint32_t const Asset = Context.Asset->Asset;
    auto const Excerpt = m_Context.Requests ? m_Context.Requests->Read(Asset, From) : RequestLog::Excerpt{};
    if(Csv)
        WholeAnswer{"text/csv; charset=utf-8", true, {}, false, NoStore}.Send(Context, FormatCsv(Excerpt));
    else
        WholeAnswer{"application/json; charset=utf-8", true, {}, false, NoStore}.Send(Context, FormatJson(Asset, Excerpt));
}

std::string SessionRoutes::FormatJson(std::uint32_t Asset, RequestLog::Excerpt const& Excerpt)
{
    std::string Text = StringFormat("{\"asset\":%u,\"next\":%llu,\"dropped\":%llu,\"requests\":[", Asset, static_cast<unsigned long long>(Excerpt.Next),
                                    static_cast<unsigned long long>(Excerpt.Dropped));
    bool First = true;
    for(auto const& Record : Excerpt.Records)
    {
        Cells const Cell(Record, Excerpt.Strings);
        Text += StringFormat("%s\n{\"seq\":%llu,\"time\":%s,\"route\":%s,\"track\":\"%s\",\"variant\":%s,\"segment\":%s,\"part\":%s,\"status\":%s,"
                             "\"bytes\":%llu,\"ttfb\":%s,\"ttlb\":%s,\"cache\":%s,\"fault\":%s,\"pathway\":%s,\"complete\":%s,\"cmcd\":%s}",
                             First ? "" : ",", static_cast<unsigned long long>(Record.Sequence), Milliseconds(Record.ArrivalTime).c_str(),
                             JsonOrNull(Cell.Route, true).c_str(), TrackName(Record.Track), JsonOrNull(Cell.Variant, false).c_str(),
                             JsonOrNull(Cell.Segment, false).c_str(), JsonOrNull(Cell.Part, false).c_str(), JsonOrNull(Cell.Status, false).c_str(),
                             static_cast<unsigned long long>(Record.BodyBytes), JsonOrNull(Cell.FirstByte, false).c_str(),
                             JsonOrNull(Cell.LastByte, false).c_str(), Cell.Cache ? JsonString(Cell.Cache).c_str() : "null",
                             JsonOrNull(Cell.Fault, true).c_str(), JsonOrNull(Cell.Pathway, true).c_str(), Record.Completed ? "true" : "false", CmcdJson(Record, Cell).c_str());
        First = false;
    }
    return Text + "]}\n";
}

std::string SessionRoutes::FormatCsv(RequestLog::Excerpt const& Excerpt)
{
    std::string Text = "seq,time,route,track,variant,segment,part,status,bytes,ttfb,ttlb,cache,fault,pathway,bl,mtp,br,bs,sid,ot,su\r\n";
    for(auto const& Record : Excerpt.Records)
    {
        Cells const Cell(Record, Excerpt.Strings);
        auto const Number = [&](RequestLogRecord::CmcdKey Key, std::uint32_t Value) { return Record.Has(Key) ? std::to_string(Value) : std::string(); };
        auto const Flag = [&](RequestLogRecord::CmcdKey Key, bool Value) { return Record.Has(Key) ? std::string(Value ? "true" : "false") : std::string(); };
        Text += StringFormat("%llu,%s,%s,%s,%s,%s,%s,%s,%llu,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s\r\n", static_cast<unsigned long long>(Record.Sequence),
                             Milliseconds(Record.ArrivalTime).c_str(), CsvCell(Cell.Route).c_str(), TrackName(Record.Track), Cell.Variant.c_str(),
                             Cell.Segment.c_str(), Cell.Part.c_str(), Cell.Status.c_str(), static_cast<unsigned long long>(Record.BodyBytes),
                             Cell.FirstByte.c_str(), Cell.LastByte.c_str(), Cell.Cache ? Cell.Cache : "", CsvCell(Cell.Fault).c_str(), Cell.Pathway.c_str(),
                             Number(RequestLogRecord::BufferLengthKey, Record.BufferLength).c_str(),
                             Number(RequestLogRecord::MeasuredThroughputKey, Record.MeasuredThroughput).c_str(),
                             Number(RequestLogRecord::EncodedBitrateKey, Record.EncodedBitrate).c_str(),
                             Flag(RequestLogRecord::BufferStarvationKey, Record.BufferStarvation).c_str(), CsvCell(Cell.SessionId).c_str(),
                             Cell.ObjectType.c_str(), Flag(RequestLogRecord::StartupKey, Record.Startup).c_str());
    }
    return Text;
}
} // namespace Application
