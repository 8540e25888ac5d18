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
    // AdapterIndex absent: software was asked for.
    explicit VideoSessionContext(std::optional<std::uint32_t> AdapterIndex) : m_RequestedAdapter(AdapterIndex) {}

    std::optional<std::uint32_t> GetRequestedAdapter() const noexcept { return m_RequestedAdapter; }
    bool IsSoftware() const noexcept { return true; }

private:
    std::optional<std::uint32_t> m_RequestedAdapter;
};
} // namespace Application
