// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/FileDescriptor.h"

#include <utility>

#include <unistd.h>

#include "base/Check.h"

FileDescriptor::~FileDescriptor()
{
    if(m_Value >= 0)
        close(m_Value);
}

int FileDescriptor::Release() noexcept
{
    return std::exchange(m_Value, -1);
}

void FileDescriptor::Write(void const* Data, std::size_t Size) const
{
    auto const* Bytes = static_cast<char const*>(Data);
    while(Size > 0)
    {
        ssize_t const Written = write(m_Value, Bytes, Size);
        if(Written < 0 && errno == EINTR)
            continue;
        CHECK_ERRNO(Written);
        Bytes += Written;
        Size -= static_cast<std::size_t>(Written);
    }
}

void FileDescriptor::WriteAt(void const* Data, std::size_t Size, std::uint64_t Offset) const
{
    auto const* Bytes = static_cast<char const*>(Data);
    while(Size > 0)
    {
        ssize_t const Written = pwrite(m_Value, Bytes, Size, static_cast<off_t>(Offset));
        if(Written < 0 && errno == EINTR)
            continue;
        CHECK_ERRNO(Written);
        Bytes += Written;
        Size -= static_cast<std::size_t>(Written);
        Offset += static_cast<std::uint64_t>(Written);
    }
}

void FileDescriptor::Close()
{
    CHECK_ERRNO(close(Release()));
}
