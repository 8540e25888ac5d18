// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <sys/types.h>

#include "base/FileDescriptor.h"

namespace Application
{
// Reads the memory of a stopped process through /proc/<pid>/mem, which its
// tracer may read. Nothing here trusts what it reads: every read is bounded
// and an unreadable address just reads short.
class ProcessMemory
{
public:
    explicit ProcessMemory(pid_t Process);

    // The number of bytes read from Address on, up to the first unreadable one.
    std::size_t Read(std::uint64_t Address, void* Buffer, std::size_t Size) const noexcept;

    template <typename ValueT>
    std::optional<ValueT> ReadValue(std::uint64_t Address) const noexcept
    {
        ValueT Value;
        if(Read(Address, &Value, sizeof Value) != sizeof Value)
            return std::nullopt;
        return Value;
    }

    // A NUL-terminated string of at most Limit characters.
    std::string ReadString(std::uint64_t Address, std::size_t Limit) const;

private:
    FileDescriptor m_File;
};
} // namespace Application
