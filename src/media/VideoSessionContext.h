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
    // AdapterIndex absent: software was asked for. EncoderThreads is each
    // encoder's share of the processors when several run side by side
    // (0 lets every encoder take as many as it likes).
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
