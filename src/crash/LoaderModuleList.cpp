// SPDX-License-Identifier: GPL-2.0-or-later
#include "crash/LoaderModuleList.h"

#include <cstring>

#include <elf.h>
#include <link.h>

namespace Application
{
namespace
{
std::uint64_t AuxiliaryValue(std::vector<std::uint8_t> const& Auxiliary, std::uint64_t Type)
{
    for(std::size_t Offset = 0; Offset + sizeof(Elf64_auxv_t) <= Auxiliary.size(); Offset += sizeof(Elf64_auxv_t))
    {
        Elf64_auxv_t Entry;
        std::memcpy(&Entry, Auxiliary.data() + Offset, sizeof Entry);
        if(Entry.a_type == AT_NULL)
            break;
        if(Entry.a_type == Type)
            return Entry.a_un.a_val;
    }
    return 0;
}
} // namespace

AddressRange LoaderModuleList::FindDynamicSection(ProcessMemory const& Memory, std::vector<std::uint8_t> const& Auxiliary)
{
    std::uint64_t const HeadersAddress = AuxiliaryValue(Auxiliary, AT_PHDR);
    std::uint64_t const HeaderCount = std::min<std::uint64_t>(AuxiliaryValue(Auxiliary, AT_PHNUM), 256);
    std::vector<Elf64_Phdr> Headers(HeaderCount);
    if(HeadersAddress == 0 || Memory.Read(HeadersAddress, Headers.data(), Headers.size() * sizeof(Elf64_Phdr)) != Headers.size() * sizeof(Elf64_Phdr))
        return {};
    // A position-independent program is loaded at a bias its PT_PHDR shows.
    std::uint64_t Bias = 0;
    for(auto const& Header : Headers)
        if(Header.p_type == PT_PHDR)
            Bias = HeadersAddress - Header.p_vaddr;
    for(auto const& Header : Headers)
        if(Header.p_type == PT_DYNAMIC)
            return {Bias + Header.p_vaddr, Bias + Header.p_vaddr + std::min<std::uint64_t>(Header.p_memsz, 1024 * sizeof(Elf64_Dyn))};
    return {};
}

std::uint64_t LoaderModuleList::FindDebugRecord(ProcessMemory const& Memory, AddressRange const& Dynamic)
{
    for(std::uint64_t Address = Dynamic.Start; Address + sizeof(Elf64_Dyn) <= Dynamic.End; Address += sizeof(Elf64_Dyn))
    {
        auto const Entry = Memory.ReadValue<Elf64_Dyn>(Address);
        if(!Entry || Entry->d_tag == DT_NULL)
            break;
        if(Entry->d_tag == DT_DEBUG)
            return Entry->d_un.d_ptr;
    }
    return 0;
}

std::vector<AddressRange> LoaderModuleList::FindRanges(ProcessMemory const& Memory, std::vector<std::uint8_t> const& Auxiliary)
{
    std::vector<AddressRange> Ranges;
    // The dynamic section sits in memory made read-only after relocation,
    // which a small dump leaves out unless it is named here.
    auto const Dynamic = FindDynamicSection(Memory, Auxiliary);
    if(Dynamic.End > Dynamic.Start)
        Ranges.push_back(Dynamic);
    std::uint64_t const DebugRecord = FindDebugRecord(Memory, Dynamic);
    auto const Record = DebugRecord ? Memory.ReadValue<r_debug>(DebugRecord) : std::nullopt;
    if(!Record)
        return Ranges;
    Ranges.push_back({DebugRecord, DebugRecord + sizeof(r_debug)});
    auto Entry = reinterpret_cast<std::uint64_t>(Record->r_map);
    for(std::size_t Count = 0; Entry != 0 && Count < MaximalModules; ++Count)
    {
        auto const Map = Memory.ReadValue<link_map>(Entry);
        if(!Map)
            break;
        Ranges.push_back({Entry, Entry + sizeof(link_map)});
        auto const Name = reinterpret_cast<std::uint64_t>(Map->l_name);
        if(Name != 0)
            Ranges.push_back({Name, Name + Memory.ReadString(Name, MaximalNameLength).size() + 1});
        Entry = reinterpret_cast<std::uint64_t>(Map->l_next);
    }
    return Ranges;
}
} // namespace Application
