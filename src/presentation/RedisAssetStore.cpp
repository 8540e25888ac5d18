// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/RedisAssetStore.h"

#include <charconv>
#include <map>

#include <hiredis/hiredis.h>

#include "base/Check.h"
#include "base/StringFormat.h"
#include "presentation/AssetRegistry.h"

namespace Application
{
namespace
{
constexpr char const* NextAssetKey = "quorvel:next-asset";
constexpr char const* BaseLiveTimeKey = "quorvel:base-live-time";

std::string AssetKey(std::uint32_t Asset)
{
    return StringFormat("quorvel:asset:%u", Asset);
}

timeval CommandTimeValue()
{
    auto const Milliseconds = RedisAssetStore::CommandTime.count();
    return {static_cast<time_t>(Milliseconds / 1000), static_cast<suseconds_t>((Milliseconds % 1000) * 1000)};
}

std::int64_t ParseInteger(std::string_view Text)
{
    std::int64_t Value = 0;
    auto const Result = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    CHECK_LINE(Result.ec == std::errc() && Result.ptr == Text.data() + Text.size());
    return Value;
}
} // namespace

void RedisAssetStore::ReplyDeleter::operator()(redisReply* Value) const noexcept
{
    freeReplyObject(Value);
}

bool RedisAssetStore::ParseAddress(std::string_view Address, std::string& Host, std::uint16_t& Port)
{
    constexpr std::string_view Scheme = "redis://";
    if(!Address.starts_with(Scheme))
        return false;
    Address.remove_prefix(Scheme.size());
    if(Address.ends_with('/'))
        Address.remove_suffix(1);
    Port = 6379;
    // A port follows the last colon, unless that colon is inside a bracketed IPv6 address.
    std::size_t const Colon = Address.rfind(':');
    std::size_t const Bracket = Address.rfind(']');
    bool const HasPort = Colon != std::string_view::npos && (Bracket == std::string_view::npos || Colon > Bracket);
    if(HasPort)
    {
        std::string_view const PortText = Address.substr(Colon + 1);
        unsigned Value = 0;
        auto const Result = std::from_chars(PortText.data(), PortText.data() + PortText.size(), Value);
        if(PortText.empty() || Result.ec != std::errc() || Result.ptr != PortText.data() + PortText.size() || Value == 0 || Value > 65535)
            return false;
        Port = static_cast<std::uint16_t>(Value);
        Address = Address.substr(0, Colon);
    }
    if(Address.starts_with('[') && Address.ends_with(']'))
        Address = Address.substr(1, Address.size() - 2);
    if(Address.empty() || Address.find_first_of("/?#@ ") != std::string_view::npos)
        return false;
    Host = std::string(Address);
    return true;
}

RedisAssetStore::RedisAssetStore(std::string Address) : m_Address(std::move(Address))
{
    if(!ParseAddress(m_Address, m_Host, m_Port))
        throw HResultError(E_INVALIDARG, StringFormat("Asset store %s is not valid: expected redis://host:port", m_Address.c_str()));
    std::lock_guard Lock(m_Mutex);
    Connect();
}

RedisAssetStore::~RedisAssetStore()
{
    Disconnect();
}

void RedisAssetStore::Fail(std::string const& What) const
{
    throw HResultError(FailureCodeFromLine(__LINE__), StringFormat("Asset store %s: %s", m_Address.c_str(), What.c_str()));
}

void RedisAssetStore::Connect()
{
    timeval const Time = CommandTimeValue();
    m_Context = redisConnectWithTimeout(m_Host.c_str(), m_Port, Time);
    if(!m_Context)
        Fail("cannot allocate a connection");
    if(m_Context->err)
    {
        std::string const Text = m_Context->errstr;
        Disconnect();
        Fail(Text);
    }
    redisSetTimeout(m_Context, Time);
}

void RedisAssetStore::Disconnect() noexcept
{
    if(m_Context)
        redisFree(m_Context);
    m_Context = nullptr;
}

RedisAssetStore::Reply RedisAssetStore::Command(std::vector<std::string> const& Arguments)
{
    std::vector<char const*> Values;
    std::vector<std::size_t> Sizes;
    for(auto const& Argument : Arguments)
    {
        Values.push_back(Argument.data());
        Sizes.push_back(Argument.size());
    }
    if(!m_Context)
        Connect();
    Reply Result(static_cast<redisReply*>(redisCommandArgv(m_Context, static_cast<int>(Values.size()), Values.data(), Sizes.data())));
    if(!Result)
    {
        // The connection is broken: the next command opens another.
        std::string const Text = m_Context->errstr;
        Disconnect();
        Fail(Text);
    }
    if(Result->type == REDIS_REPLY_ERROR)
        Fail(std::string(Result->str, Result->len));
    return Result;
}

std::uint32_t RedisAssetStore::NextAssetNumber()
{
    std::lock_guard Lock(m_Mutex);
    auto const Result = Command({"INCR", NextAssetKey});
    CHECK_LINE(Result->type == REDIS_REPLY_INTEGER);
    // Numbers are never reused: once all are taken, manifests fail.
    CHECK_LINE(Result->integer >= 1 && Result->integer <= std::int64_t{0xFFFFFFFF});
    return static_cast<std::uint32_t>(Result->integer);
}

void RedisAssetStore::Save(StoredAsset const& Value)
{
    std::vector<std::string> Arguments{"HSET",
                                       AssetKey(Value.Asset),
                                       "kind",
                                       Value.Kind == ManifestKind::Hls ? "hls" : "dash",
                                       "base",
                                       std::to_string(Value.BaseLiveTime),
                                       "now",
                                       std::to_string(Value.Now),
                                       "count",
                                       std::to_string(Value.Query.size())};
    for(std::size_t Index = 0; Index < Value.Query.size(); ++Index)
    {
        Arguments.push_back(StringFormat("n%zu", Index));
        Arguments.push_back(Value.Query[Index].Name);
        Arguments.push_back(StringFormat("v%zu", Index));
        Arguments.push_back(Value.Query[Index].Value);
    }
    std::lock_guard Lock(m_Mutex);
    Command(Arguments);
}

std::optional<StoredAsset> RedisAssetStore::Load(std::uint32_t Asset)
{
    std::lock_guard Lock(m_Mutex);
    auto const Result = Command({"HGETALL", AssetKey(Asset)});
    CHECK_LINE(Result->type == REDIS_REPLY_ARRAY && Result->elements % 2 == 0);
    if(Result->elements == 0)
        return std::nullopt;
    std::map<std::string, std::string, std::less<>> Fields;
    for(std::size_t Index = 0; Index < Result->elements; Index += 2)
    {
        auto const* Name = Result->element[Index];
        auto const* Text = Result->element[Index + 1];
        CHECK_LINE(Name->type == REDIS_REPLY_STRING && Text->type == REDIS_REPLY_STRING);
        Fields.emplace(std::string(Name->str, Name->len), std::string(Text->str, Text->len));
    }
    auto const Field = [&Fields](std::string const& Name) -> std::string const& {
        auto const Found = Fields.find(Name);
        CHECK_LINE(Found != Fields.end());
        return Found->second;
    };
    StoredAsset Value;
    Value.Asset = Asset;
    Value.Kind = Field("kind") == "hls" ? ManifestKind::Hls : ManifestKind::Dash;
    Value.BaseLiveTime = ParseInteger(Field("base"));
    Value.Now = ParseInteger(Field("now"));
    auto const Count = ParseInteger(Field("count"));
    CHECK_LINE(Count >= 0 && static_cast<std::size_t>(Count) <= Fields.size());
    for(std::int64_t Index = 0; Index < Count; ++Index)
        Value.Query.push_back({Field(StringFormat("n%lld", static_cast<long long>(Index))), Field(StringFormat("v%lld", static_cast<long long>(Index)))});
    return Value;
}

std::int64_t RedisAssetStore::SharedBaseLiveTime(std::int64_t Proposed)
{
    std::lock_guard Lock(m_Mutex);
    Command({"SET", BaseLiveTimeKey, std::to_string(Proposed), "NX"});
    auto const Result = Command({"GET", BaseLiveTimeKey});
    CHECK_LINE(Result->type == REDIS_REPLY_STRING);
    return ParseInteger(std::string_view(Result->str, Result->len));
}
} // namespace Application
