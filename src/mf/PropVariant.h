// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "mf/Guid.h"
#include "mf/Object.h"

namespace MF
{
// The value of an attribute, of an event or of a start position: empty, a
// 32-bit or 64-bit unsigned integer, a signed 64-bit integer (times), a
// double, a Guid, a UTF-8 string, a byte blob or an object.
class PropVariant
{
public:
    enum class Type
    {
        Empty,
        UInt32,
        UInt64,
        Int64,
        Double,
        Guid,
        String,
        Blob,
        Object,
    };

    PropVariant() = default;
    explicit PropVariant(std::uint32_t Value) : m_Value(Value) {}
    explicit PropVariant(std::uint64_t Value) : m_Value(Value) {}
    explicit PropVariant(std::int64_t Value) : m_Value(Value) {}
    explicit PropVariant(double Value) : m_Value(Value) {}
    explicit PropVariant(MF::Guid const& Value) : m_Value(Value) {}
    explicit PropVariant(std::string Value) : m_Value(std::move(Value)) {}
    explicit PropVariant(std::vector<std::uint8_t> Value) : m_Value(std::move(Value)) {}
    explicit PropVariant(std::shared_ptr<MF::Object> Value) : m_Value(std::move(Value)) {}

    Type GetType() const noexcept { return static_cast<Type>(m_Value.index()); }
    bool IsEmpty() const noexcept { return GetType() == Type::Empty; }
    void Clear() noexcept { m_Value = std::monostate{}; }

    // Typed reads raise MF_E_INVALIDTYPE when the value holds another type.
    // The 64-bit reads accept either signedness, since the platform keeps
    // signed times such as decode timestamps in unsigned 64-bit attributes.
    std::uint32_t GetUInt32() const;
    std::uint64_t GetUInt64() const;
    std::int64_t GetInt64() const;
    double GetDouble() const;
    MF::Guid const& GetGuid() const;
    std::string const& GetString() const;
    std::vector<std::uint8_t> const& GetBlob() const;
    std::shared_ptr<MF::Object> const& GetObject() const;
    // The object as T, or nullptr when the value is empty or of another class.
    template <typename T>
    std::shared_ptr<T> GetObjectAs() const
    {
        auto const* Value = std::get_if<std::shared_ptr<MF::Object>>(&m_Value);
        return Value ? std::dynamic_pointer_cast<T>(*Value) : nullptr;
    }

    // Objects compare by identity, everything else by value.
    friend bool operator==(PropVariant const&, PropVariant const&) = default;

    // "VT_EMPTY", "VT_UI4", "VT_UI8", "VT_I8", "VT_R8", "VT_CLSID", "VT_LPWSTR",
    // "VT_VECTOR | VT_UI1" or "VT_UNKNOWN".
    char const* GetTypeName() const noexcept;

private:
    std::variant<std::monostate, std::uint32_t, std::uint64_t, std::int64_t, double, MF::Guid, std::string, std::vector<std::uint8_t>,
                 std::shared_ptr<MF::Object>>
        m_Value;
};
} // namespace MF
