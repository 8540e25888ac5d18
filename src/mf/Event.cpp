// SPDX-License-Identifier: GPL-2.0-or-later
#include "mf/Event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "base/Check.h"

namespace MF
{
namespace
{
using Clock = std::chrono::steady_clock;

// Milliseconds left until the deadline for poll, -1 for none.
int RemainingMilliseconds(std::optional<Clock::time_point> Deadline)
{
    if(!Deadline)
        return -1;
    auto const Left = std::chrono::ceil<std::chrono::milliseconds>(*Deadline - Clock::now()).count();
    return Left > 0 ? static_cast<int>(std::min<long long>(Left, 1 << 30)) : 0;
}
} // namespace

Event::Event(EventReset Reset, bool InitialState) : m_Handle(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), m_Reset(Reset)
{
    CHECK_ERRNO(m_Handle);
    if(InitialState)
        Set();
}

Event::~Event()
{
    close(m_Handle);
}

void Event::Set() noexcept
{
    std::uint64_t const One = 1;
    // The counter cannot overflow in practice; a failed write leaves the event signalled anyway.
    [[maybe_unused]] auto const Written = write(m_Handle, &One, sizeof One);
}

void Event::Reset() noexcept
{
    std::uint64_t Value;
    [[maybe_unused]] auto const Read = read(m_Handle, &Value, sizeof Value);
}

bool Event::IsSet() const noexcept
{
    pollfd Descriptor{m_Handle, POLLIN, 0};
    return poll(&Descriptor, 1, 0) == 1 && (Descriptor.revents & POLLIN);
}

bool Event::TryAcquire() noexcept
{
    if(IsManualReset())
        return IsSet();
    std::uint64_t Value;
    return read(m_Handle, &Value, sizeof Value) == static_cast<ssize_t>(sizeof Value);
}

bool Event::Wait(std::optional<std::chrono::milliseconds> Timeout) noexcept
{
    Event* const Self = this;
    return WaitForAny(std::span<Event* const>(&Self, 1), Timeout) == 0;
}

std::uint32_t Event::WaitForAny(std::span<Event* const> Events, std::optional<std::chrono::milliseconds> Timeout)
{
    CHECK_ARGUMENT(!Events.empty() && Events.size() <= MaximalWaitCount);
    std::optional<Clock::time_point> const Deadline = Timeout ? std::optional(Clock::now() + *Timeout) : std::nullopt;
    std::array<pollfd, MaximalWaitCount> Descriptors;
    for(;;)
    {
        for(std::size_t Index = 0; Index < Events.size(); ++Index)
            Descriptors[Index] = pollfd{Events[Index]->GetHandle(), POLLIN, 0};
        int const Result = poll(Descriptors.data(), Events.size(), RemainingMilliseconds(Deadline));
        if(Result < 0 && errno != EINTR)
            CHECK_ERRNO(Result);
        for(std::size_t Index = 0; Result > 0 && Index < Events.size(); ++Index)
            if((Descriptors[Index].revents & POLLIN) && Events[Index]->TryAcquire())
                return static_cast<std::uint32_t>(Index);
        // Another waiter took an automatic event's signal first, or a signal: wait on.
        if(Result == 0 && Deadline && Clock::now() >= *Deadline)
            return WaitTimedOut;
    }
}
} // namespace MF
