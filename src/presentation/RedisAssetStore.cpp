// SPDX-License-Identifier: GPL-2.0-or-later
#include "presentation/RedisAssetStore.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <random>
#include <thread>
#include <utility>

#include <hiredis/hiredis.h>

#include "base/Check.h"
#include "base/FailureCodes.h"
#include "base/StringFormat.h"
#include "presentation/AssetRegistry.h"

namespace Application
{
namespace
{
constexpr char const* GenerationKey = "quorvel:generation";
constexpr char const* NextAssetKey = "quorvel:next-asset";
constexpr char const* BaseLiveTimeKey = "quorvel:base-live-time";
constexpr char const* AssetKeyPrefix = "quorvel:asset:";

// KEYS: generation, counter, base. ARGV: the instance's highest number, an
// identifier for a new generation, SettleTime, the base to put back ('' for
// none). Returns the generation's identifier, the milliseconds it still
// settles, the counter before it was raised and the base.
constexpr char const* CheckScript = R"lua(
local clock = redis.call('TIME')
local now = tonumber(clock[1]) * 1000 + math.floor(tonumber(clock[2]) / 1000)
local generation = redis.call('GET', KEYS[1])
if not generation then
  generation = ARGV[2] .. ' ' .. string.format('%d', now)
  redis.call('SET', KEYS[1], generation, 'NX')
end
local id, made = string.match(generation, '^(%x+) (%d+)$')
if not id then return redis.error_reply('malformed ' .. KEYS[1]) end
local counter = tonumber(redis.call('GET', KEYS[2]) or '0')
if counter < tonumber(ARGV[1]) then redis.call('SET', KEYS[2], ARGV[1]) end
if ARGV[4] ~= '' then redis.call('SET', KEYS[3], ARGV[4], 'NX') end
local settling = math.max(tonumber(made) + tonumber(ARGV[3]) - now, 0)
return {id, settling, counter, redis.call('GET', KEYS[3]) or ''}
)lua";

// KEYS: generation, counter. ARGV: the instance's generation, SettleTime,
// its highest number, the asset key prefix, Lifetime, MaximalStoredAssetCount,
// then the asset's fields and values. Returns the new number; 0 when the
// generation is not the instance's, -1 while it settles, -2 when every
// number is taken, -3 when the counter is behind the assets.
constexpr char const* AddScript = R"lua(
local generation = redis.call('GET', KEYS[1])
if not generation then return 0 end
local id, made = string.match(generation, '^(%x+) (%d+)$')
if id ~= ARGV[1] then return 0 end
local clock = redis.call('TIME')
local now = tonumber(clock[1]) * 1000 + math.floor(tonumber(clock[2]) / 1000)
if tonumber(made) + tonumber(ARGV[2]) > now then return -1 end
local number = math.max(tonumber(redis.call('GET', KEYS[2]) or '0'), tonumber(ARGV[3])) + 1
if number > 4294967295 then return -2 end
local text = string.format('%d', number)
local key = ARGV[4] .. text
if redis.call('EXISTS', key) == 1 then return -3 end
redis.call('SET', KEYS[2], text)
redis.call('HSET', key, unpack(ARGV, 7))
redis.call('PEXPIRE', key, ARGV[5])
local dropped = number - tonumber(ARGV[6])
if dropped >= 1 then redis.call('DEL', ARGV[4] .. string.format('%d', dropped)) end
return number
)lua";

// KEYS: the asset. ARGV: Lifetime. Its fields, its lifetime started again.
constexpr char const* LoadScript = R"lua(
local fields = redis.call('HGETALL', KEYS[1])
if #fields > 0 then redis.call('PEXPIRE', KEYS[1], ARGV[1]) end
return fields
)lua";

std::string AssetKey(std::uint32_t Asset)
{
    return StringFormat("%s%u", AssetKeyPrefix, Asset);
}

std::string Milliseconds(std::chrono::milliseconds Value)
{
    return std::to_string(Value.count());
}

std::string NewGenerationIdentifier()
{
    std::random_device Random;
    std::string Text;
    for(int Index = 0; Index < 4; ++Index)
        Text += StringFormat("%08x", static_cast<unsigned>(Random()));
    return Text;
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
    Connect(std::chrono::steady_clock::now() + CallTime);
}

RedisAssetStore::~RedisAssetStore()
{
    Disconnect();
}

void RedisAssetStore::Fail(std::string const& What) const
{
    throw HResultError(FailureCode::AssetStoreUnavailable, StringFormat("Asset store %s: %s", m_Address.c_str(), What.c_str()));
}

void RedisAssetStore::Connect(Deadline Until)
{
    auto const Left = std::chrono::duration_cast<std::chrono::microseconds>(Until - std::chrono::steady_clock::now());
    if(Left.count() <= 0)
        Fail(StringFormat("no answer within %lld ms", static_cast<long long>(CallTime.count())));
    timeval const Time{static_cast<time_t>(Left.count() / 1'000'000), static_cast<suseconds_t>(Left.count() % 1'000'000)};
    m_Context = redisConnectWithTimeout(m_Host.c_str(), m_Port, Time);
    if(!m_Context)
        Fail("cannot allocate a connection");
    if(m_Context->err)
    {
        std::string const Text = m_Context->errstr;
        Disconnect();
        Fail(Text);
    }
}

void RedisAssetStore::Disconnect() noexcept
{
    if(m_Context)
        redisFree(m_Context);
    m_Context = nullptr;
}

RedisAssetStore::Reply RedisAssetStore::Command(std::vector<std::string> const& Arguments, Deadline Until)
{
    std::vector<char const*> Values;
    std::vector<std::size_t> Sizes;
    for(auto const& Argument : Arguments)
    {
        Values.push_back(Argument.data());
        Sizes.push_back(Argument.size());
    }
    if(!m_Context)
        Connect(Until);
    auto const Left = std::chrono::duration_cast<std::chrono::microseconds>(Until - std::chrono::steady_clock::now());
    if(Left.count() <= 0)
        Fail(StringFormat("no answer within %lld ms", static_cast<long long>(CallTime.count())));
    redisSetTimeout(m_Context, {static_cast<time_t>(Left.count() / 1'000'000), static_cast<suseconds_t>(Left.count() % 1'000'000)});
    Reply Result(static_cast<redisReply*>(redisCommandArgv(m_Context, static_cast<int>(Values.size()), Values.data(), Sizes.data())));
    if(!Result)
    {
        // Broken, or late: a reply may still come, so the connection is out
        // of step. The next command opens another.
        std::string const Text = std::chrono::steady_clock::now() >= Until ? StringFormat("no answer within %lld ms", static_cast<long long>(CallTime.count()))
                                                                           : std::string(m_Context->errstr);
        Disconnect();
        Fail(Text);
    }
    if(Result->type == REDIS_REPLY_ERROR)
        Fail(std::string(Result->str, Result->len));
    return Result;
}

RedisAssetStore::Generation RedisAssetStore::Synchronise(std::string const& Base, Deadline Until)
{
    auto const Result = Command({"EVAL", CheckScript, "3", GenerationKey, NextAssetKey, BaseLiveTimeKey, std::to_string(m_Highest), NewGenerationIdentifier(),
                                 Milliseconds(SettleTime), Base},
                                Until);
    CHECK_LINE(Result->type == REDIS_REPLY_ARRAY && Result->elements == 4);
    auto const* const* Element = Result->element;
    CHECK_LINE(Element[0]->type == REDIS_REPLY_STRING && Element[1]->type == REDIS_REPLY_INTEGER && Element[2]->type == REDIS_REPLY_INTEGER &&
               Element[3]->type == REDIS_REPLY_STRING);
    std::string const Identifier(Element[0]->str, Element[0]->len);
    Generation Found{Element[1]->integer, std::string(Element[3]->str, Element[3]->len)};
    // A generation that changed under an instance and is already settled
    // may have handed out numbers this instance still answers: those up to
    // the counter as it was before this instance raised it.
    if(!m_Generation.empty() && Identifier != m_Generation && Found.SettlingMilliseconds == 0)
        m_Suspect = std::max(m_Suspect, static_cast<std::uint32_t>(std::clamp<long long>(Element[2]->integer, 0, 0xFFFFFFFF)));
    m_Generation = Identifier;
    return Found;
}

std::int64_t RedisAssetStore::Join(std::int64_t Proposed)
{
    std::lock_guard Lock(m_Mutex);
    // Instances that served before a Redis restart put their base back
    // while a new generation settles: take it, not one's own.
    while(true)
    {
        auto const Found = Synchronise({}, std::chrono::steady_clock::now() + CallTime);
        if(Found.SettlingMilliseconds <= 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<std::int64_t>(Found.SettlingMilliseconds, SettleTime.count())));
    }
    m_BaseLiveTime = Synchronise(std::to_string(Proposed), std::chrono::steady_clock::now() + CallTime).BaseLiveTime;
    return ParseInteger(m_BaseLiveTime);
}

std::uint32_t RedisAssetStore::Check(Deadline Until)
{
    std::lock_guard Lock(m_Mutex);
    Synchronise(m_BaseLiveTime, Until);
    return std::exchange(m_Suspect, 0);
}

std::uint32_t RedisAssetStore::Add(StoredAsset const& Value, Deadline Until)
{
    std::vector<std::string> Arguments{"EVAL",
                                       AddScript,
                                       "2",
                                       GenerationKey,
                                       NextAssetKey,
                                       {},
                                       Milliseconds(SettleTime),
                                       {},
                                       AssetKeyPrefix,
                                       Milliseconds(Lifetime),
                                       std::to_string(MaximalStoredAssetCount),
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
    // Once more after a check when the generation changed under this
    // instance (it raises the counter first).
    for(int Attempt = 0; Attempt < 2; ++Attempt)
    {
        Arguments[5] = m_Generation;
        Arguments[7] = std::to_string(m_Highest);
        auto const Result = Command(Arguments, Until);
        CHECK_LINE(Result->type == REDIS_REPLY_INTEGER);
        if(Result->integer > 0)
        {
            auto const Asset = static_cast<std::uint32_t>(Result->integer);
            m_Highest = std::max(m_Highest, Asset);
            return Asset;
        }
        if(Result->integer == -1)
            Fail(StringFormat("a new generation of the store hands out no asset number for %lld ms", static_cast<long long>(SettleTime.count())));
        if(Result->integer == -2)
            Fail("every asset number is taken");
        if(Result->integer == -3)
            Fail("the counter is behind the assets it numbered");
        Synchronise(m_BaseLiveTime, Until);
    }
    Fail("the store's generation keeps changing");
}

std::optional<StoredAsset> RedisAssetStore::Load(std::uint32_t Asset, Deadline Until)
{
    std::lock_guard Lock(m_Mutex);
    auto const Result = Command({"EVAL", LoadScript, "1", AssetKey(Asset), Milliseconds(Lifetime)}, Until);
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
    // Numbers this instance answers: a store that forgets must not give them again.
    m_Highest = std::max(m_Highest, Asset);
    return Value;
}

void RedisAssetStore::Refresh(std::uint32_t Asset, Deadline Until)
{
    std::lock_guard Lock(m_Mutex);
    Command({"PEXPIRE", AssetKey(Asset), Milliseconds(Lifetime)}, Until);
}
} // namespace Application
