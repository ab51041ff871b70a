// Bounded queues that carry units of work between threads, and a pool of preallocated units that
// circulate through them.
//
// Nothing here allocates a unit after start-up: units are taken from the pool queue, passed on and
// given back. Nor does a queue once it has held as many elements as it will, or once its nodes
// are reserved (the pool reserves them): the list nodes of popped elements are kept and reused by
// later pushes. Every queue operation takes the queue's one lock without a time limit and never
// holds a second queue's lock; waiting happens outside the lock on a manual-reset event.
#pragma once

#include <BoostLogWrapper/CustomBoostLog.h>
#include <ZebCommon/CustomConditionVariable.h>

#include <boost/numeric/conversion/cast.hpp>
#include <boost/thread/lock_guard.hpp>
#include <boost/thread/mutex.hpp>

#include <list>
#include <memory>
#include <string>
#include <vector>

// A bounded FIFO of values. Three events mirror its fill state so that other threads can wait for
// it: m_event_NotEmpty is set exactly while it holds an element, m_event_Empty exactly while it
// holds none, m_event_NotFull exactly while it holds fewer than its capacity (a new queue sets it
// even at capacity 0). The events change only under m_mutex, so once the lock is released they
// never disagree with the count.
template <typename T> class CZebQueue
{
public:
    explicit CZebQueue(int capacity) : m_capacity(capacity), m_count(0), m_inputFinished(false)
    {
        m_event_NotEmpty.Reset();
        m_event_NotFull.Set();
        m_event_Empty.Set();
        m_event_Poppable.Reset();
    }

    // No thread may use a queue that is being destroyed. The events are left set so that a stray
    // waiter would pass instead of hanging.
    virtual ~CZebQueue()
    {
        m_list.clear();
        m_event_NotFull.Set();
        m_event_NotEmpty.Set();
        m_event_Empty.Set();
        m_event_Poppable.Set();
    }

    CZebQueue(const CZebQueue&) = delete;
    CZebQueue& operator=(const CZebQueue&) = delete;

    // Appends at the back. Never waits: a full queue gets a failure record (written under the
    // lock) and false, and stays unchanged. Producers that must not fail wait on m_event_NotFull
    // first.
    bool push(T const item)
    {
        boost::lock_guard<boost::mutex> lock(m_mutex);
        if (m_count >= m_capacity) {
            ZEB_LOG_FAILURE();
            return false;
        }
        if (m_spareNodes.empty()) {
            m_list.push_back(item);
        } else {
            m_spareNodes.front() = item;
            m_list.splice(m_list.end(), m_spareNodes, m_spareNodes.begin());
        }
        ++m_count;
        if (m_count == 1) {
            m_event_Empty.Reset();
            m_event_NotEmpty.Set();
            m_event_Poppable.Set();
        }
        if (m_count == m_capacity)
            m_event_NotFull.Reset();
        return true;
    }

    // Takes the front element. Never waits: an empty queue returns false and leaves `item` as it
    // was.
    virtual bool pop(T& item)
    {
        boost::lock_guard<boost::mutex> lock(m_mutex);
        if (m_count <= 0)
            return false;
        item = std::move(m_list.front());
        m_list.front() = T{};  // a spare node holds no value of the caller's
        m_spareNodes.splice(m_spareNodes.begin(), m_list, m_list.begin());
        --m_count;
        if (m_count == 0) {
            m_event_NotEmpty.Reset();
            m_event_Empty.Set();
            if (!m_inputFinished)
                m_event_Poppable.Reset();
        }
        if (m_count == m_capacity - 1)
            m_event_NotFull.Set();
        return true;
    }

    // Waits at most `milliseconds` (0 polls) for an element, then pops it. Several consumers may
    // pass the wait for one element; the losers' pop returns false. Once the producer has
    // announced its last element (InputFinished_Set) an empty queue can never fill again, so the
    // wait ends at once instead of running out its time: consumers notice the end without delay.
    virtual bool wait_pop(T& item, unsigned int milliseconds)
    {
        if (!m_event_Poppable.WaitOne(milliseconds))
            return false;
        return pop(item);
    }

    // Makes the nodes for a full queue now, so that no later push allocates: for queues that
    // must not allocate once their threads run.
    void ReserveNodes()
    {
        boost::lock_guard<boost::mutex> lock(m_mutex);
        const size_t nodes = static_cast<size_t>(m_capacity > 0 ? m_capacity : 0);
        const size_t held = static_cast<size_t>(m_count) + m_spareNodes.size();
        if (held < nodes)
            m_spareNodes.resize(nodes - static_cast<size_t>(m_count));
    }

    virtual bool clear()
    {
        T item{};
        while (pop(item)) { }
        return true;
    }

    // The producer's "no more elements" flag, read and written under the lock. Set it through
    // this call rather than the member, so that consumers blocked in wait_pop wake at once.
    void InputFinished_Set()
    {
        boost::lock_guard<boost::mutex> lock(m_mutex);
        m_inputFinished = true;
        m_event_Poppable.Set();
    }

    bool InputFinished_Get() const
    {
        boost::lock_guard<boost::mutex> lock(m_mutex);
        return m_inputFinished;
    }

    int Count() const
    {
        boost::lock_guard<boost::mutex> lock(m_mutex);
        return m_count;
    }

    int Capacity() const { return m_capacity; }

    std::list<T> m_list;  // front = oldest
    const int m_capacity;
    int m_count;  // always m_list.size()
    // Set by a producer once it has queued its last element; afterwards wait_pop on the emptied
    // queue returns at once. Only touched while m_mutex is held (see InputFinished_Set /
    // InputFinished_Get).
    bool m_inputFinished;
    CustomConditionVariable_Manual m_event_Empty;
    CustomConditionVariable_Manual m_event_NotEmpty;
    CustomConditionVariable_Manual m_event_NotFull;

private:
    std::list<T> m_spareNodes;  // nodes of popped elements, for later pushes

    // Set exactly while the queue holds an element or its input is finished: what wait_pop waits
    // for. Kept in step with the count and the flag under m_mutex like the three events above.
    CustomConditionVariable_Manual m_event_Poppable;

public:
    // Declared last so that it is destroyed before the events, after the list.
    mutable boost::mutex m_mutex;
};

// A queue of pointers that owns the objects they address (each allocated with `new T`). An
// element pushed in belongs to the queue; one popped out belongs to the caller. Elements still
// held at clear() or destruction are deleted.
template <typename T> class CZebPtrQueue : public CZebQueue<T*>
{
public:
    explicit CZebPtrQueue(int capacity) : CZebQueue<T*>(capacity) { }

    ~CZebPtrQueue() override { DeleteAll(); }

    bool clear() override
    {
        DeleteAll();
        return true;
    }

private:
    void DeleteAll()
    {
        T* item = nullptr;
        while (CZebQueue<T*>::pop(item)) {
            delete item;
            item = nullptr;
        }
    }
};

// A fixed set of preallocated units and the three queues through which they circulate. Every unit
// is at any time in exactly one queue or held by exactly one thread, and its holder gives it back;
// the units left in the queues are deleted with the pool.
template <typename T> class CZebPtrQueueBuffer
{
public:
    CZebPtrQueueBuffer() = default;
    virtual ~CZebPtrQueueBuffer() = default;

    CZebPtrQueueBuffer(const CZebPtrQueueBuffer&) = delete;
    CZebPtrQueueBuffer& operator=(const CZebPtrQueueBuffer&) = delete;

    // Takes ownership of `elements` (the vector itself stays with the caller) and puts them, in
    // order, into a full free queue. Each queue holds up to `capacity` units, or all of them when
    // `capacity` is below 1. Queues from an earlier Create are deleted with their units first.
    // An element count beyond the int range throws boost::numeric::positive_overflow.
    virtual bool Create(std::vector<T*>& elements, const std::string& name, int capacity)
    {
        const int count = boost::numeric_cast<int>(elements.size());
        if (capacity < 1)
            capacity = count;
        m_queue_Free.reset();
        m_queue_Input.reset();
        m_queue_Output.reset();
        m_queue_Free.reset(new CZebPtrQueue<T>(capacity));
        m_queue_Input.reset(new CZebPtrQueue<T>(capacity));
        m_queue_Output.reset(new CZebPtrQueue<T>(capacity));
        // The units circulate from here on without a queue allocating.
        m_queue_Free->ReserveNodes();
        m_queue_Input->ReserveNodes();
        m_queue_Output->ReserveNodes();
        for (T* element : elements) {
            // A unit that does not fit still belongs to the pool: release it instead of leaking
            // it (push has written the failure record).
            if (!m_queue_Free->push(element))
                delete element;
        }
        m_name = name;
        return true;
    }

    const std::string& Name() const { return m_name; }

    std::string m_name;
    std::unique_ptr<CZebPtrQueue<T>> m_queue_Free;    // units nobody uses
    std::unique_ptr<CZebPtrQueue<T>> m_queue_Input;   // units waiting for a consumer
    std::unique_ptr<CZebPtrQueue<T>> m_queue_Output;  // spare queue of the same capacity
};
