// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>

namespace Application
{
// What all video sessions share for the life of the server. Frames are drawn
// and encoded in system memory (the software path): there is no device to
// share, so video sessions run side by side without a lock. A GPU adapter
// asked for on the command line is remembered; the start-up says that it is
// not used.
class VideoSessionContext
{
public:
    // The threads of each encoder the server runs, whatever the machine and
    // the load: the encoders' output depends on their thread count, and a
    // segment's bytes must not depend on when or where it was made (ranges,
    // parts and entity tags rest on them). Two let a segment made alone
    // use both processors of a small machine; when several are made at
    // once, the encoders take turns at little cost.
    static constexpr std::uint32_t ServerEncoderThreads = 2;

    // AdapterIndex absent: software was asked for. EncoderThreads is each
    // encoder's thread count (0 lets every encoder take as many as it
    // likes, which makes its output depend on the machine).
    explicit VideoSessionContext(std::optional<std::uint32_t> AdapterIndex, std::uint32_t EncoderThreads = 0) :
        m_RequestedAdapter(AdapterIndex), m_EncoderThreads(EncoderThreads)
    {
    }

    std::optional<std::uint32_t> GetRequestedAdapter() const noexcept { return m_RequestedAdapter; }
    bool IsSoftware() const noexcept { return true; }
    std::uint32_t GetEncoderThreads() const noexcept { return m_EncoderThreads; }

private:
    std::optional<std::uint32_t> m_RequestedAdapter;
    std::uint32_t m_EncoderThreads;
};
} // namespace Application
