// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <atomic>
#include <cstdint>

namespace MF
{
// The common base of everything the media layer hands around by
// std::shared_ptr<Object>: attribute values, event values, async results and
// states, topology node objects. It gives a virtual destructor for safe
// std::dynamic_pointer_cast and a process-wide count of live objects, which
// tests use to prove that a pipeline run released everything it made.
class Object
{
public:
    Object() noexcept { s_LiveCount.fetch_add(1, std::memory_order_relaxed); }
    Object(Object const&) noexcept { s_LiveCount.fetch_add(1, std::memory_order_relaxed); }
    Object& operator=(Object const&) noexcept { return *this; }
    virtual ~Object() { s_LiveCount.fetch_sub(1, std::memory_order_relaxed); }

    static std::int64_t GetLiveCount() noexcept { return s_LiveCount.load(std::memory_order_relaxed); }

private:
    static inline std::atomic<std::int64_t> s_LiveCount{0};
};
} // namespace MF
