// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "mf/Object.h"

namespace MF
{
// A block of system memory with a capacity (max length) and the length of
// the valid data in it (current length).
class MediaBuffer : public virtual Object
{
public:
    // A buffer of MaxLength bytes, contents undefined, current length 0.
    static std::shared_ptr<MediaBuffer> Create(std::size_t MaxLength);
    // A buffer holding a copy of Data, current length its size.
    static std::shared_ptr<MediaBuffer> CreateFrom(std::span<std::uint8_t const> Data);

    explicit MediaBuffer(std::size_t MaxLength);

    std::uint8_t* GetData() noexcept { return m_Data.get(); }
    std::uint8_t const* GetData() const noexcept { return m_Data.get(); }
    std::size_t GetMaxLength() const noexcept { return m_MaxLength; }
    std::size_t GetCurrentLength() const noexcept { return m_CurrentLength; }
    // A length beyond the capacity raises E_INVALIDARG.
    void SetCurrentLength(std::size_t Length);
    // The valid data.
    std::span<std::uint8_t> GetSpan() noexcept { return {m_Data.get(), m_CurrentLength}; }
    std::span<std::uint8_t const> GetSpan() const noexcept { return {m_Data.get(), m_CurrentLength}; }

private:
    std::unique_ptr<std::uint8_t[]> m_Data;
    std::size_t m_MaxLength;
    std::size_t m_CurrentLength = 0;
};
} // namespace MF
