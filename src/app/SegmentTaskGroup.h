#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace Application
{
// Worker threads for media tasks, which run whole pipelines and would hold
// up every other request on the I/O thread. At most WorkerCount tasks run
// at once, which bounds the pipelines (and so memory and processor use) at
// any load; later tasks wait their turn in order of submission. The queue
// itself is bounded by the connection limit, since a connection has one
// request in answer at a time. The destructor lets every submitted task
// finish, so shutdown waits for them.
class SegmentTaskGroup
{
public:
    // One pipeline per processor: encoders use several threads each, so
    // more would only share the processors between more segments.
    static std::size_t DefaultWorkerCount() noexcept;

    explicit SegmentTaskGroup(std::size_t WorkerCount = DefaultWorkerCount());
    ~SegmentTaskGroup();
    SegmentTaskGroup(SegmentTaskGroup const&) = delete;
    SegmentTaskGroup& operator=(SegmentTaskGroup const&) = delete;

    // The task answers its own failures; anything that escapes it is traced.
    void Submit(std::function<void()> Task);

private:
    void Work();
    void ReleaseIdleMemory();

    std::mutex m_Mutex;
    std::condition_variable m_Condition;
    std::deque<std::function<void()>> m_Tasks;
    bool m_Stopping = false;
    std::vector<std::thread> m_Workers;
};
} // namespace Application
