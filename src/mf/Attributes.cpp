// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/Attributes.h"

#include <algorithm>
#include <mutex>

#include "base/Check.h"
#include "mf/MediaStatus.h"

namespace MF
{
Attributes::Attributes(Attributes const& Other) : Object(Other), m_Items(Other.GetItems())
{
}

Attributes& Attributes::operator=(Attributes const& Other)
{
    if(this != &Other)
    {
        auto Items = Other.GetItems();
        std::unique_lock Lock(m_Mutex);
        m_Items = std::move(Items);
    }
    return *this;
}

std::uint32_t Attributes::GetUINT32(AttributeKey const& Key, std::uint32_t Default) const
{
    auto const Value = FindItem(Key);
    return Value ? Value->GetUInt32() : Default;
}

std::uint64_t Attributes::GetUINT64(AttributeKey const& Key, std::uint64_t Default) const
{
    auto const Value = FindItem(Key);
    return Value ? Value->GetUInt64() : Default;
}

void Attributes::SetObject(AttributeKey const& Key, std::shared_ptr<Object> Value)
{
    CHECK_ARGUMENT(Value);
    SetItem(Key, PropVariant(std::move(Value)));
}

void Attributes::SetSize(AttributeKey const& Key, std::uint32_t High, std::uint32_t Low)
{
    SetUINT64(Key, static_cast<std::uint64_t>(High) << 32 | Low);
}

std::pair<std::uint32_t, std::uint32_t> Attributes::GetSize(AttributeKey const& Key) const
{
    auto const Value = GetUINT64(Key);
    return {static_cast<std::uint32_t>(Value >> 32), static_cast<std::uint32_t>(Value)};
}

PropVariant Attributes::GetItem(AttributeKey const& Key) const
{
    auto Value = FindItem(Key);
    if(!Value)
    {
        TRACE("Attribute %s not found\n", Key.Name);
        throw HResultError(MF_E_ATTRIBUTENOTFOUND);
    }
    return std::move(*Value);
}

std::optional<PropVariant> Attributes::FindItem(AttributeKey const& Key) const
{
    std::shared_lock Lock(m_Mutex);
    auto const Iterator = std::find_if(m_Items.begin(), m_Items.end(), [&](Item const& Value) { return Value.first == Key; });
    if(Iterator == m_Items.end())
        return std::nullopt;
    return Iterator->second;
}

void Attributes::SetItem(AttributeKey const& Key, PropVariant Value)
{
    CHECK_ARGUMENT(!Value.IsEmpty());
    std::unique_lock Lock(m_Mutex);
    auto const Iterator = std::find_if(m_Items.begin(), m_Items.end(), [&](Item const& Item) { return Item.first == Key; });
    if(Iterator != m_Items.end())
        Iterator->second = std::move(Value);
    else
        m_Items.emplace_back(Key, std::move(Value));
}

void Attributes::DeleteItem(AttributeKey const& Key)
{
    std::unique_lock Lock(m_Mutex);
    std::erase_if(m_Items, [&](Item const& Value) { return Value.first == Key; });
}

std::size_t Attributes::GetCount() const
{
    std::shared_lock Lock(m_Mutex);
    return m_Items.size();
}

std::vector<Attributes::Item> Attributes::GetItems() const
{
    std::shared_lock Lock(m_Mutex);
    return m_Items;
}

void Attributes::CopyAllItems(Attributes& Destination) const
{
    for(auto& [Key, Value] : GetItems())
        Destination.SetItem(Key, std::move(Value));
}

bool Attributes::Compare(Attributes const& Other) const
{
    auto const Items = GetItems();
    if(Items.size() != Other.GetCount())
        return false;
    return std::all_of(Items.begin(), Items.end(), [&](Item const& Value) {
        auto const OtherValue = Other.FindItem(Value.first);
        return OtherValue && *OtherValue == Value.second;
    });
}

void Attributes::RaiseInvalidType(AttributeKey const& Key)
{
    TRACE("Attribute %s holds another type\n", Key.Name);
    throw HResultError(MF_E_INVALIDTYPE);
}
} // namespace MF
