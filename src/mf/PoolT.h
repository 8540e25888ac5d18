// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "base/Check.h"
#include "mf/Event.h"

// Pools of objects needed once per sample (operations, resource sets, write
// objects), recycled instead of allocated per sample.
//
//   Pool::PoolT<WriteObject, Pool::Strategy::DynamicStrategy> m_WriteObjectPool;
//   m_WriteObjectPool.Initialize(16);
//   std::shared_ptr<WriteObject> Object = m_WriteObjectPool.Acquire();
//   // ... when the last copy of Object goes, the element returns to the pool.
//
// A static pool has a fixed number of elements: Acquire returns nullptr
// when all are in use, and the caller waits on GetAvailabilityEvent() (an
// automatic event; a waiting work item, so that no thread blocks) and tries
// again. Signals of returns that come before anyone waits collapse into
// one, so a waiter may find no element and must wait again; every element
// in use signals once more when it returns, so waiters always progress.
// A dynamic pool grows when it runs dry. Elements keep their state
// between uses: the user resets what it needs. An element may outlive its
// pool; it is then destroyed when its last user lets go.
namespace Pool
{
namespace Strategy
{
struct StaticStrategy
{
    static constexpr bool CanGrow = false;
    // A waiter cannot be counted (it waits outside the pool), so every return signals.
    static constexpr bool PreferSetEvent() noexcept { return true; }
};

struct DynamicStrategy
{
    static constexpr bool CanGrow = true;
    static constexpr bool PreferSetEvent() noexcept { return false; }
};
} // namespace Strategy

template <typename T>
class ElementT;

// How an element returns itself to its pool.
template <typename T>
class IPool
{
public:
    virtual ~IPool() = default;
    virtual void Release(ElementT<T>* Element) = 0;
};

// One pooled object and its in-use mark.
template <typename T>
class ElementT
{
public:
    explicit ElementT(std::unique_ptr<T> Value) : m_Value(std::move(Value)) { ASSERT(m_Value); }

    // Takes the element if it is free; whether it did.
    bool TryGet() noexcept
    {
        bool Expected = false;
        return m_InUse.compare_exchange_strong(Expected, true);
    }
    void Free() noexcept { m_InUse.store(false); }
    T& Get() noexcept { return *m_Value; }

private:
    std::unique_ptr<T> const m_Value;
    std::atomic<bool> m_InUse{false};
};

template <typename T, typename StrategyT>
class PoolT
{
public:
    using Factory = std::function<std::unique_ptr<T>()>;

    // Factory makes each element; by default T is default-constructed.
    explicit PoolT(Factory MakeElement = [] { return std::make_unique<T>(); }) : m_State(std::make_shared<State>(std::move(MakeElement))) {}
    PoolT(PoolT const&) = delete;
    PoolT& operator=(PoolT const&) = delete;

    // Creates the availability event and Capacity free elements; once only.
    void Initialize(std::size_t Capacity)
    {
        ASSERT(Capacity);
        std::unique_lock Lock(m_State->Mutex);
        ASSERT(!m_State->AvailabilityEvent);
        ASSERT(!m_State->WaitCount);
        ASSERT(m_State->ElementVector.empty());
        m_State->AvailabilityEvent = MF::Event::Create(MF::EventReset::Automatic);
        ASSERT(!!m_State->AvailabilityEvent);
        for(std::size_t Index = 0; Index < Capacity; ++Index)
            m_State->ElementVector.push_back(std::make_unique<ElementT<T>>(m_State->MakeElement()));
    }

    // An element, or nullptr when a static pool has none free.
    std::shared_ptr<T> Acquire()
    {
        ElementT<T>* AvailableElement = nullptr;
        ASSERT(!AvailableElement);
        AvailableElement = m_State->TryAcquire();
        if(!AvailableElement && StrategyT::CanGrow)
        {
            // Only the sole waiter looks once more: with several, one of them
            // would take what another returned, and growing is cheap anyway.
            if(m_State->WaitCount.fetch_add(1) == 0)
                AvailableElement = m_State->TryAcquire();
            m_State->WaitCount.fetch_sub(1);
            if(!AvailableElement)
                AvailableElement = m_State->Grow();
        }
        if(!AvailableElement)
            return nullptr;
        auto State = m_State;
        return std::shared_ptr<T>(&AvailableElement->Get(), [State, AvailableElement](T*) { State->Release(AvailableElement); });
    }

    // Signalled when an element returns (see the strategies).
    std::shared_ptr<MF::Event> GetAvailabilityEvent() const
    {
        std::shared_lock Lock(m_State->Mutex);
        return m_State->AvailabilityEvent;
    }
    // The number of elements, free or in use.
    std::size_t GetSize() const
    {
        std::shared_lock Lock(m_State->Mutex);
        return m_State->ElementVector.size();
    }
    std::size_t GetWaitCount() const noexcept { return m_State->WaitCount.load(); }

private:
    struct State final : IPool<T>
    {
        explicit State(Factory Value) : MakeElement(std::move(Value)) {}

        ElementT<T>* TryAcquire()
        {
            std::shared_lock Lock(Mutex);
            ASSERT(AvailabilityEvent);
            for(auto const& Element : ElementVector)
                if(Element->TryGet())
                    return Element.get();
            return nullptr;
        }
        ElementT<T>* Grow()
        {
            auto Element = std::make_unique<ElementT<T>>(MakeElement());
            auto* const AvailableElement = Element.get();
            VERIFY(AvailableElement->TryGet());
            std::unique_lock Lock(Mutex);
            ElementVector.push_back(std::move(Element));
            return AvailableElement;
        }
        void Release(ElementT<T>* Element) override
        {
            ASSERT(Element);
            Element->Free();
            if(WaitCount.load() != 0 || StrategyT::PreferSetEvent())
                AvailabilityEvent->Set();
        }

        Factory const MakeElement;
        mutable std::shared_mutex Mutex;
        std::vector<std::unique_ptr<ElementT<T>>> ElementVector;
        std::shared_ptr<MF::Event> AvailabilityEvent;
        std::atomic<unsigned> WaitCount{0};
    };

    std::shared_ptr<State> const m_State;
};
} // namespace Pool
