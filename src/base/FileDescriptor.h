// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

// Owns a POSIX file descriptor and closes it on every way out.
class FileDescriptor
{
public:
    explicit FileDescriptor(int Value = -1) noexcept : m_Value(Value) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor const&) = delete;
    FileDescriptor& operator=(FileDescriptor const&) = delete;

    int Get() const noexcept { return m_Value; }
    int Release() noexcept;

    // Writes every byte, at the current position or at Offset; raises the
    // platform's status on failure.
    void Write(void const* Data, std::size_t Size) const;
    void WriteAt(void const* Data, std::size_t Size, std::uint64_t Offset) const;
    // Closes now, raising a failure (a write the system could not finish).
    void Close();

private:
    int m_Value;
};
