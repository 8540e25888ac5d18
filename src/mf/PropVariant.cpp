// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/PropVariant.h"

#include "base/Check.h"
#include "mf/MediaStatus.h"

namespace MF
{
namespace
{
template <typename ValueT, typename VariantT>
ValueT const& GetTyped(VariantT const& Value)
{
    auto const* Typed = std::get_if<ValueT>(&Value);
    CHECK_CONDITION(Typed, MF_E_INVALIDTYPE);
    return *Typed;
}
} // namespace

std::uint32_t PropVariant::GetUInt32() const { return GetTyped<std::uint32_t>(m_Value); }

std::uint64_t PropVariant::GetUInt64() const
{
    if(auto const* Signed = std::get_if<std::int64_t>(&m_Value))
        return static_cast<std::uint64_t>(*Signed);
    return GetTyped<std::uint64_t>(m_Value);
}

std::int64_t PropVariant::GetInt64() const
{
    if(auto const* Unsigned = std::get_if<std::uint64_t>(&m_Value))
        return static_cast<std::int64_t>(*Unsigned);
    return GetTyped<std::int64_t>(m_Value);
}

double PropVariant::GetDouble() const { return GetTyped<double>(m_Value); }
MF::Guid const& PropVariant::GetGuid() const { return GetTyped<MF::Guid>(m_Value); }
std::string const& PropVariant::GetString() const { return GetTyped<std::string>(m_Value); }
std::vector<std::uint8_t> const& PropVariant::GetBlob() const { return GetTyped<std::vector<std::uint8_t>>(m_Value); }
std::shared_ptr<MF::Object> const& PropVariant::GetObject() const { return GetTyped<std::shared_ptr<MF::Object>>(m_Value); }

char const* PropVariant::GetTypeName() const noexcept
{
    switch(GetType())
    {
    case Type::Empty: return "VT_EMPTY";
    case Type::UInt32: return "VT_UI4";
    case Type::UInt64: return "VT_UI8";
    case Type::Int64: return "VT_I8";
    case Type::Double: return "VT_R8";
    case Type::Guid: return "VT_CLSID";
    case Type::String: return "VT_LPWSTR";
    case Type::Blob: return "VT_VECTOR | VT_UI1";
    case Type::Object: return "VT_UNKNOWN";
    }
    return "VT_EMPTY";
}
} // namespace MF
