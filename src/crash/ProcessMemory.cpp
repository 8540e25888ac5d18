// SPDX-License-Identifier: GPL-2.0-or-later
#include "crash/ProcessMemory.h"

#include <fcntl.h>
#include <unistd.h>

#include "base/Check.h"

namespace Application
{
ProcessMemory::ProcessMemory(pid_t Process) : m_File(open(("/proc/" + std::to_string(Process) + "/mem").c_str(), O_RDONLY | O_CLOEXEC))
{
    CHECK_ERRNO(m_File.Get());
}

std::size_t ProcessMemory::Read(std::uint64_t Address, void* Buffer, std::size_t Size) const noexcept
{
    auto* Bytes = static_cast<char*>(Buffer);
    std::size_t Done = 0;
    while(Done < Size)
    {
        // Addresses above the signed offset range cannot be read through pread.
        if(Address + Done > static_cast<std::uint64_t>(INT64_MAX))
            break;
        ssize_t const Count = pread(m_File.Get(), Bytes + Done, Size - Done, static_cast<off_t>(Address + Done));
        if(Count <= 0)
            break;
        Done += static_cast<std::size_t>(Count);
    }
    return Done;
}

std::string ProcessMemory::ReadString(std::uint64_t Address, std::size_t Limit) const
{
    std::string Text;
    char Piece[256];
    while(Text.size() < Limit)
    {
        std::size_t const Wanted = std::min(sizeof Piece, Limit - Text.size());
        std::size_t const Count = Read(Address + Text.size(), Piece, Wanted);
        std::string_view const View(Piece, Count);
        std::size_t const End = View.find('\0');
        Text.append(View.substr(0, End));
        if(End != std::string_view::npos || Count < Wanted)
            break;
    }
    return Text;
}
} // namespace Application
