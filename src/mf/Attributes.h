// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <utility>
#include <vector>

#include "mf/AttributeKey.h"
#include "mf/Guid.h"
#include "mf/Object.h"
#include "mf/PropVariant.h"

namespace MF
{
// A thread-safe, ordered store of typed values keyed by AttributeKey: the
// base of media types, samples and events, and the attribute store of
// sources, streams and transforms.
//
//   auto Type = std::make_shared<MF::MediaType>();
//   Type->SetGUID(MF::MF_MT_MAJOR_TYPE, MF::MFMediaType_Video);
//   Type->SetSize(MF::MF_MT_FRAME_SIZE, 1280, 720);
//   auto [Width, Height] = Type->GetSize(MF::MF_MT_FRAME_SIZE);
//
// Reads of a missing key raise MF_E_ATTRIBUTENOTFOUND, reads of another type
// MF_E_INVALIDTYPE; the overloads with a default return it for a missing key.
// Keys must outlive the store: use the constants of AttributeKeys.h or
// constants of your own with static storage.
class Attributes : public virtual Object
{
public:
    using Item = std::pair<AttributeKey, PropVariant>;

    Attributes() = default;
    explicit Attributes(std::size_t InitialSize) { m_Items.reserve(InitialSize); }
    Attributes(Attributes const& Other);
    Attributes& operator=(Attributes const& Other);

    std::uint32_t GetUINT32(AttributeKey const& Key) const { return GetItem(Key).GetUInt32(); }
    std::uint32_t GetUINT32(AttributeKey const& Key, std::uint32_t Default) const;
    void SetUINT32(AttributeKey const& Key, std::uint32_t Value) { SetItem(Key, PropVariant(Value)); }
    std::uint64_t GetUINT64(AttributeKey const& Key) const { return GetItem(Key).GetUInt64(); }
    std::uint64_t GetUINT64(AttributeKey const& Key, std::uint64_t Default) const;
    void SetUINT64(AttributeKey const& Key, std::uint64_t Value) { SetItem(Key, PropVariant(Value)); }
    std::int64_t GetINT64(AttributeKey const& Key) const { return GetItem(Key).GetInt64(); }
    void SetINT64(AttributeKey const& Key, std::int64_t Value) { SetItem(Key, PropVariant(Value)); }
    double GetDouble(AttributeKey const& Key) const { return GetItem(Key).GetDouble(); }
    Guid GetGUID(AttributeKey const& Key) const { return GetItem(Key).GetGuid(); }
    void SetGUID(AttributeKey const& Key, Guid const& Value) { SetItem(Key, PropVariant(Value)); }
    std::string GetString(AttributeKey const& Key) const { return GetItem(Key).GetString(); }
    std::vector<std::uint8_t> GetBlob(AttributeKey const& Key) const { return GetItem(Key).GetBlob(); }
    void SetBlob(AttributeKey const& Key, std::vector<std::uint8_t> Value) { SetItem(Key, PropVariant(std::move(Value))); }
    void SetObject(AttributeKey const& Key, std::shared_ptr<Object> Value);
    // The object as T; MF_E_INVALIDTYPE when it is of another class.
    template <typename T>
    std::shared_ptr<T> GetObject(AttributeKey const& Key) const
    {
        auto Value = GetItem(Key).GetObjectAs<T>();
        if(!Value)
            RaiseInvalidType(Key);
        return Value;
    }

    // Packed 64-bit pairs: High is the width or numerator, Low the height or denominator.
    void SetSize(AttributeKey const& Key, std::uint32_t High, std::uint32_t Low);
    std::pair<std::uint32_t, std::uint32_t> GetSize(AttributeKey const& Key) const;
    void SetRatio(AttributeKey const& Key, std::uint32_t High, std::uint32_t Low) { SetSize(Key, High, Low); }
    std::pair<std::uint32_t, std::uint32_t> GetRatio(AttributeKey const& Key) const { return GetSize(Key); }

    PropVariant GetItem(AttributeKey const& Key) const;
    std::optional<PropVariant> FindItem(AttributeKey const& Key) const;
    bool HasItem(AttributeKey const& Key) const { return FindItem(Key).has_value(); }
    // An empty value is refused with E_INVALIDARG.
    void SetItem(AttributeKey const& Key, PropVariant Value);
    void DeleteItem(AttributeKey const& Key);
    std::size_t GetCount() const;
    // A snapshot of every item in insertion order.
    std::vector<Item> GetItems() const;
    // Sets every item of this store on Destination (keeping its other items).
    void CopyAllItems(Attributes& Destination) const;
    // Same keys with equal values, in any order.
    bool Compare(Attributes const& Other) const;

private:
    [[noreturn]] static void RaiseInvalidType(AttributeKey const& Key);

    mutable std::shared_mutex m_Mutex;
    std::vector<Item> m_Items;
};
} // namespace MF
