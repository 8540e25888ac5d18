// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <dirent.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <thread>

#include "base/HResultError.h"

namespace MF::Testing
{
// The status a body raised, S_OK when it raised nothing.
inline HRESULT Raised(std::function<void()> const& Body)
{
    try
    {
        Body();
    }
    catch(HResultError const& Error)
    {
        return Error.Code();
    }
    return S_OK;
}

// Threads of this process, from /proc/self/task.
inline std::size_t CountThreads()
{
    std::size_t Count = 0;
    if(DIR* Directory = opendir("/proc/self/task"))
    {
        while(dirent const* Entry = readdir(Directory))
            if(Entry->d_name[0] != '.')
                ++Count;
        closedir(Directory);
    }
    return Count;
}

// Polls Condition until it holds or Timeout passes; whether it held.
inline bool WaitUntil(std::function<bool()> const& Condition, std::chrono::milliseconds Timeout = std::chrono::seconds(5))
{
    auto const Deadline = std::chrono::steady_clock::now() + Timeout;
    while(!Condition())
    {
        if(std::chrono::steady_clock::now() > Deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
} // namespace MF::Testing
