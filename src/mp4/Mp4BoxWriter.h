// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace Mp4
{
struct Box;
struct FullBox;

// The serialisation target of the box library: a growable big-endian byte
// buffer plus the positions of the boxes still open. A box is written header
// first with a placeholder size that is patched once its content is known;
// when the content turns out too large for 32 bits the header grows by the
// 64-bit largesize in place.
class BoxWriter
{
public:
    // Growth happens in steps of this size so that a segment of tens of
    // kilobytes reallocates rarely.
    static constexpr std::size_t GrowthStep = 65536;

    void AppendU8(std::uint8_t Value);
    void AppendU16(std::uint16_t Value);
    void AppendU24(std::uint32_t Value);
    void AppendU32(std::uint32_t Value);
    void AppendU64(std::uint64_t Value);
    void AppendBytes(std::span<std::uint8_t const> Bytes);
    void AppendZeros(std::size_t Count);
    // Appends the text and its terminating zero.
    void AppendString(std::string_view Text);

    // Writes the box with the content that Content appends, or nothing when
    // the box is not present.
    template <typename ContentT>
    void WriteBox(Box const& Value, ContentT&& Content)
    {
        if(!OpenBox(Value))
            return;
        Content();
        CloseBox();
    }
    template <typename ContentT>
    void WriteFullBox(FullBox const& Value, ContentT&& Content)
    {
        if(!OpenFullBox(Value))
            return;
        Content();
        CloseBox();
    }

    std::size_t GetSize() const noexcept { return m_Data.size(); }
    std::vector<std::uint8_t> const& GetData() const noexcept { return m_Data; }
    std::vector<std::uint8_t> TakeData() noexcept;
    // Room for Count bytes in all, taken at once: a writer whose output is
    // kept (a fragment) holds no more memory than its bytes need.
    void Reserve(std::size_t Count) { m_Data.reserve(Count); }

    struct Header
    {
        std::array<std::uint8_t, 32> m_Bytes;
        std::size_t m_Size;
        std::span<std::uint8_t const> GetBytes() const noexcept { return {m_Bytes.data(), m_Size}; }
    };
    // The header of a box of the given content size: size and type, the
    // 64-bit largesize when the total does not fit in 32 bits, the usertype of
    // a "uuid" box.
    static Header FormatHeader(std::uint32_t Type, std::array<std::uint8_t, 16> const& UserType, std::uint64_t ContentSize) noexcept;

private:
    struct OpenMark
    {
        std::size_t m_Position;    // of the box's first size byte
        std::size_t m_HeaderSize;  // 8, or 24 for "uuid"
    };

    bool OpenBox(Box const& Value);
    bool OpenFullBox(FullBox const& Value);
    void CloseBox();
    std::uint8_t* Extend(std::size_t Count);

    std::vector<std::uint8_t> m_Data;
    std::vector<OpenMark> m_OpenMarkVector;
};
} // namespace Mp4
