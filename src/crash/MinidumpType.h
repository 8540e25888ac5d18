// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

namespace Application
{
// The "-Debug" value: bits of the minidump type that say how much memory a
// dump holds. The values are the well-known minidump type flags, so that a
// number written for one platform means the same here. Only the memory bits
// change an ELF core file; the others are accepted and have no effect.
namespace MinidumpType
{
// Thread stacks, module headers and data segments, the loader's module list:
// enough for a debugger to show every thread's stack.
constexpr std::uint32_t Normal = 0;
constexpr std::uint32_t WithDataSegs = 0x1;
// Every readable mapping, code included.
constexpr std::uint32_t WithFullMemory = 0x2;
constexpr std::uint32_t WithHandleData = 0x4;
constexpr std::uint32_t WithUnloadedModules = 0x20;
// Every private writable mapping: the heap and whole thread stacks.
constexpr std::uint32_t WithPrivateReadWriteMemory = 0x200;
constexpr std::uint32_t WithFullMemoryInfo = 0x800;
constexpr std::uint32_t WithThreadInfo = 0x1000;
// "-Debug:Full": 6182.
constexpr std::uint32_t Full = WithFullMemory | WithHandleData | WithUnloadedModules | WithFullMemoryInfo | WithThreadInfo;
} // namespace MinidumpType
} // namespace Application
