// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/TraceAttributes.h"

#include "base/Check.h"
#include "base/StringFormat.h"
#include "mf/Guids.h"

namespace MF
{
namespace
{
std::string FormatGuid(Guid const& Value)
{
    if(auto const* Name = GuidName(Value))
        return Name;
    if(Value.IsPrintableFourCC())
    {
        char const Code[5]{static_cast<char>(Value.Data1), static_cast<char>(Value.Data1 >> 8), static_cast<char>(Value.Data1 >> 16),
                           static_cast<char>(Value.Data1 >> 24), 0};
        return StringFormat("FourCC %s", Code);
    }
    return Value.ToString();
}

std::string FormatBlob(std::vector<std::uint8_t> const& Value)
{
    // Long blobs (parameter sets, headers) are cut, so a trace line stays readable.
    constexpr std::size_t MaximalDumpedBytes = 64;
    std::string Dump;
    for(std::size_t Index = 0; Index < Value.size() && Index < MaximalDumpedBytes; ++Index)
        Dump += StringFormat("%02X", Value[Index]);
    if(Value.size() > MaximalDumpedBytes)
        Dump += "...";
    return StringFormat("%zu elements, %s", Value.size(), Dump.c_str());
}
} // namespace

std::string FormatAttributeValue(AttributeKey const& Key, PropVariant const& Value)
{
    switch(Value.GetType())
    {
    case PropVariant::Type::UInt32: return StringFormat("%u", Value.GetUInt32());
    case PropVariant::Type::UInt64:
        if(Key.Format == AttributeFormat::Packed)
            return StringFormat("0x%08X 0x%08X", static_cast<unsigned>(Value.GetUInt64() >> 32), static_cast<unsigned>(Value.GetUInt64()));
        return StringFormat("%llu", static_cast<unsigned long long>(Value.GetUInt64()));
    case PropVariant::Type::Int64: return StringFormat("%lld", static_cast<long long>(Value.GetInt64()));
    case PropVariant::Type::Double: return StringFormat("%f", Value.GetDouble());
    case PropVariant::Type::Guid: return FormatGuid(Value.GetGuid());
    case PropVariant::Type::String: return Value.GetString();
    case PropVariant::Type::Blob: return FormatBlob(Value.GetBlob());
    default: return Value.GetTypeName();
    }
}

void TraceAttributes(Attributes const& Value)
{
    if(!TraceSink::IsEnabled())
        return;
    for(auto const& [Key, Item] : Value.GetItems())
        TRACE("%s, %s\n", Key.Name, FormatAttributeValue(Key, Item).c_str());
}

void Copy(Attributes const* Input, Attributes* Output)
{
    ASSERT(Input && Output);
    for(auto const& [Key, LocalValue] : Input->GetItems())
        Output->SetItem(Key, LocalValue);
}
} // namespace MF
