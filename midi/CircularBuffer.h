#pragma once
// Fixed-size byte ring that carries whole event records from a producer thread to a
// consumer thread. The buffer never locks its own mutex: callers hold it around every
// use (lock()/unlock(), or mutex() for a QWaitCondition). The byte count is also kept
// atomically, so avail() and space() may be read without the lock.
//
// The count only changes under the caller's lock, so a release store of the new value is
// an atomic add here: no reader ever sees a torn or stale-then-newer count, and the
// receive thread's hot path saves a locked instruction per event.

#include <QMutex>
#include <QRecursiveMutex>

#include <atomic>
#include <cstdint>
#include <memory>

class CircularBuffer
{
public:
    CircularBuffer(int capacity, bool recursiveMutex);
    ~CircularBuffer();

    CircularBuffer(const CircularBuffer&) = delete;
    CircularBuffer& operator=(const CircularBuffer&) = delete;

    int avail() const { return m_count.load(std::memory_order_acquire); }
    int size() const { return m_capacity; }
    int space() const { return m_capacity - avail(); }

    // Copies min(len, space()) bytes in; returns the number written.
    int write(const unsigned char* src, int len);
    // Takes min(len, avail()) bytes out; a null dst discards them. Returns the number taken.
    int read(unsigned char* dst, int len);

    // The caller-held lock. lock()/unlock() make the buffer usable with std::lock_guard.
    void lock()
    {
        if (m_recursive)
            m_recursiveMutex.lock();
        else
            m_mutex.lock();
    }
    void unlock()
    {
        if (m_recursive)
            m_recursiveMutex.unlock();
        else
            m_mutex.unlock();
    }
    // The plain mutex, for waiting on a QWaitCondition; null for a recursive buffer.
    QMutex* mutex() { return m_recursive ? nullptr : &m_mutex; }
    bool isRecursive() const { return m_recursive; }

private:
    void addCount(int n)
    {
        m_count.store(m_count.load(std::memory_order_relaxed) + n, std::memory_order_release);
    }

    std::uint32_t m_writePos = 0;
    std::uint32_t m_readPos = 0;
    std::atomic<std::int32_t> m_count{0};
    std::unique_ptr<unsigned char[]> m_storage;
    std::int32_t m_capacity = 0;
    bool m_recursive = false;
    QMutex m_mutex;
    QRecursiveMutex m_recursiveMutex;
};
