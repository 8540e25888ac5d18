// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "mf/AsyncCallback.h"
#include "mf/AttributeKeys.h"
#include "mf/EventQueue.h"
#include "mf/Guids.h"
#include "mf/MediaEventGeneratorT.h"
#include "mf/MediaTypeHandler.h"
#include "mf/MfTestTools.h"
#include "mf/OperationQueue.h"
#include "mf/Platform.h"
#include "mf/ShutdownAwareT.h"

using MF::Testing::Raised;
using MF::Testing::WaitUntil;

namespace
{
// A component built like the real ones, whose operations run a function.
class Component final : public MF::MediaEventGeneratorT<Component>,
                        public MF::ShutdownAwareT<Component>,
                        public MF::OperationQueue<Component>,
                        public std::enable_shared_from_this<Component>
{
public:
    class FunctionOperation final : public BaseOperation
    {
    public:
        FunctionOperation(std::shared_ptr<Component> Owner, std::function<void()> Body) : BaseOperation(std::move(Owner)), m_Body(std::move(Body)) {}

    private:
        void Run(Component&) override { m_Body(); }
        std::function<void()> m_Body;
    };

    Component() { CreateEventQueue(); }
    bool Queue(std::shared_ptr<MF::WorkQueue> const& WorkQueue, std::function<void()> Body)
    {
        return QueueOperation(WorkQueue, std::make_shared<FunctionOperation>(shared_from_this(), std::move(Body)));
    }
    void Shutdown()
    {
        std::unique_lock Lock(GetLock());
        MarkShutdown();
        ShutdownEventQueue();
    }
};

std::shared_ptr<MF::MediaType> MakeVideoType(MF::Guid const& Subtype)
{
    auto Type = std::make_shared<MF::MediaType>();
    Type->SetGUID(MF::MF_MT_MAJOR_TYPE, MF::MFMediaType_Video);
    Type->SetGUID(MF::MF_MT_SUBTYPE, Subtype);
    Type->SetSize(MF::MF_MT_FRAME_SIZE, 1280, 720);
    Type->SetRatio(MF::MF_MT_FRAME_RATE, 25, 1);
    return Type;
}

class Framework : public testing::Test
{
protected:
    MF::PlatformScope m_Platform;
};
} // namespace

TEST_F(Framework, SerialQueueRunsItsTasksOneAtATimeInOrder)
{
    auto const Queue = MF::AllocateSerialWorkQueue();
    std::vector<int> Order;
    std::atomic<int> Running{0};
    std::atomic<bool> Overlapped{false};
    for(int Index = 0; Index < 200; ++Index)
        ASSERT_TRUE(Queue->Put([&, Index] {
            if(Running.fetch_add(1) != 0)
                Overlapped = true;
            Order.push_back(Index);
            Running.fetch_sub(1);
        }));
    ASSERT_TRUE(WaitUntil([&] {
        std::atomic_thread_fence(std::memory_order_seq_cst);
        return Running == 0 && Order.size() == 200;
    }));
    EXPECT_FALSE(Overlapped);
    for(int Index = 0; Index < 200; ++Index)
        EXPECT_EQ(Order[Index], Index);
    Queue->Shutdown();
    EXPECT_FALSE(Queue->Put([] {}));
}

TEST_F(Framework, OperationsOnAQueueThatIsShutDownAreDroppedWithoutError)
{
    auto const Owner = std::make_shared<Component>();
    auto const Queue = MF::AllocateSerialWorkQueue();
    Queue->Shutdown();
    bool Ran = false;
    bool Queued = true;
    EXPECT_EQ(Raised([&] { Queued = Owner->Queue(Queue, [&] { Ran = true; }); }), S_OK);
    EXPECT_FALSE(Queued);
    EXPECT_FALSE(Ran);
}

TEST_F(Framework, EventQueueDeliversOneEventPerRequestAndIgnoresEventsAfterShutdown)
{
    auto const Owner = std::make_shared<Component>();
    EXPECT_EQ(Raised([&] { Owner->GetEvent(MF::MF_EVENT_FLAG_NO_WAIT); }), MF_E_NO_EVENTS_AVAILABLE);

    std::mutex Mutex;
    std::vector<MF::MediaEventType> Types;
    std::shared_ptr<MF::AsyncCallback> Callback;
    Callback = std::make_shared<MF::AsyncCallback>([&](std::shared_ptr<MF::AsyncResult> const& Result) {
        auto const Event = Owner->EndGetEvent(Result);
        std::lock_guard Lock(Mutex);
        Types.push_back(Event->GetType());
        if(Types.size() < 3)
            Owner->BeginGetEvent(Callback, nullptr);
    });
    Owner->BeginGetEvent(Callback, nullptr);
    EXPECT_EQ(Raised([&] { Owner->BeginGetEvent(Callback, nullptr); }), MF_E_MULTIPLE_BEGIN);
    Owner->InternalQueueEvent(MF::MEStreamSinkStarted);
    Owner->InternalQueueEvent(MF::MEStreamSinkRequestSample);
    Owner->QueueEvent(MF::MEStreamSinkMarker, {}, S_OK, MF::PropVariant(std::uint32_t{5}));
    ASSERT_TRUE(WaitUntil([&] {
        std::lock_guard Lock(Mutex);
        return Types.size() == 3;
    }));
    EXPECT_EQ(Types, (std::vector{MF::MEStreamSinkStarted, MF::MEStreamSinkRequestSample, MF::MEStreamSinkMarker}));

    Owner->Shutdown();
    EXPECT_EQ(Raised([&] { Owner->Shutdown(); }), MF_E_SHUTDOWN);
    EXPECT_EQ(Raised([&] { Owner->GetEvent(0); }), MF_E_SHUTDOWN);
    EXPECT_EQ(Raised([&] { Owner->QueueEvent(MF::MEError, {}, E_FAIL, {}); }), MF_E_SHUTDOWN);
    EXPECT_EQ(Raised([&] { Owner->InternalQueueEvent(MF::MEError, E_FAIL); }), S_OK);
    Callback->Clear();
}

TEST_F(Framework, AClearedCallbackIsNotCalledAndAFailingOneStoresItsStatus)
{
    bool Called = false;
    auto const Cleared = std::make_shared<MF::AsyncCallback>([&](auto const&) { Called = true; });
    auto const Result = Cleared->CreateAsyncResult(nullptr, nullptr);
    Cleared->Clear();
    EXPECT_EQ(Cleared->Invoke(Result), S_FALSE);
    EXPECT_FALSE(Called);
    auto const Failing = std::make_shared<MF::AsyncCallback>([](auto const&) { throw HResultError(E_ABORT); });
    auto const Failed = Failing->CreateAsyncResult(nullptr, nullptr);
    EXPECT_EQ(Failing->Invoke(Failed), E_ABORT);
    EXPECT_EQ(Failed->GetStatus(), E_ABORT);
}

TEST_F(Framework, MediaTypeHandlerAcceptsItsOneTypeOnly)
{
    auto const Type = MakeVideoType(MF::MFVideoFormat_H264);
    MF::MediaTypeHandler Handler(Type);
    EXPECT_TRUE(Handler.IsMediaTypeSupported(Type->Clone(), nullptr));

    auto const Other = MakeVideoType(MF::MFVideoFormat_H264);
    Other->SetSize(MF::MF_MT_FRAME_SIZE, 640, 360);
    std::shared_ptr<MF::MediaType> Match;
    EXPECT_FALSE(Handler.IsMediaTypeSupported(Other, &Match));
    ASSERT_TRUE(Match);
    EXPECT_EQ(Match->IsEqual(*Type), MF::MF_MEDIATYPE_EQUAL_ALL);
    EXPECT_NE(Match, Type) << "a copy, not the handler's own type";
    EXPECT_EQ(Raised([&] { Handler.SetCurrentMediaType(Other); }), MF_E_INVALIDREQUEST);

    MF::MediaTypeHandler Lenient(Type, [](MF::MediaType const& Value) { return Value.GetSubtype() == MF::MFVideoFormat_H264; });
    EXPECT_TRUE(Lenient.IsMediaTypeSupported(Other, nullptr));
}

TEST_F(Framework, AttributesAreTyped)
{
    auto const Type = MakeVideoType(MF::MFVideoFormat_H264);
    EXPECT_EQ(Raised([&] { Type->GetUINT32(MF::MF_MT_AVG_BITRATE); }), MF_E_ATTRIBUTENOTFOUND);
    EXPECT_EQ(Raised([&] { Type->GetUINT32(MF::MF_MT_SUBTYPE); }), MF_E_INVALIDTYPE);
    EXPECT_EQ(Type->GetUINT32(MF::MF_MT_AVG_BITRATE, 42u), 42u);
    EXPECT_EQ(Type->GetSize(MF::MF_MT_FRAME_SIZE), (std::pair<std::uint32_t, std::uint32_t>{1280, 720}));
}

TEST(Platform, StopsEveryThreadItStartedAndRefusesWorkAfterwards)
{
    auto const Before = MF::Testing::CountThreads();
    std::shared_ptr<MF::WorkQueue> Queue;
    {
        MF::PlatformScope Platform;
        Queue = MF::AllocateSerialWorkQueue();
        EXPECT_GT(MF::Testing::CountThreads(), Before);
    }
    EXPECT_EQ(MF::Testing::CountThreads(), Before);
    EXPECT_FALSE(Queue->Put([] {}));
    EXPECT_EQ(Raised([] { MF::GetMultithreadedWorkQueue(); }), MF_E_PLATFORM_NOT_INITIALIZED);
}

TEST(Event, WaitForAnyReportsTheFirstSignalledOrTheTimeout)
{
    MF::Event Manual(MF::EventReset::Manual);
    MF::Event Automatic(MF::EventReset::Automatic, true);
    MF::Event* const Events[]{&Manual, &Automatic};
    EXPECT_EQ(MF::Event::WaitForAny(Events, std::chrono::milliseconds(0)), 1u);
    EXPECT_EQ(MF::Event::WaitForAny(Events, std::chrono::milliseconds(20)), MF::Event::WaitTimedOut);
    std::thread Setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Manual.Set();
    });
    EXPECT_EQ(MF::Event::WaitForAny(Events, std::chrono::seconds(5)), 0u);
    Setter.join();
    EXPECT_TRUE(Manual.IsSet()) << "a manual event stays signalled";
    Manual.Reset();
    EXPECT_FALSE(Manual.IsSet());
}
