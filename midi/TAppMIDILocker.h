#pragma once
// Scoped lock of an input endpoint's recursive mutex. Debian's Qt is not built for
// ThreadSanitizer, so its mutexes are invisible to it; in such builds the hand-over is
// announced to it here, or every filter attached on the GUI thread would look like a race
// with the pusher thread's delivery.

#include <QRecursiveMutex>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

class TAppMIDILocker
{
public:
    explicit TAppMIDILocker(QRecursiveMutex* mutex) : m_mutex(mutex)
    {
        m_mutex->lock();
#if defined(__SANITIZE_THREAD__)
        __tsan_acquire(m_mutex);
#endif
    }
    ~TAppMIDILocker()
    {
#if defined(__SANITIZE_THREAD__)
        __tsan_release(m_mutex);
#endif
        m_mutex->unlock();
    }
    TAppMIDILocker(const TAppMIDILocker&) = delete;
    TAppMIDILocker& operator=(const TAppMIDILocker&) = delete;

private:
    QRecursiveMutex* m_mutex;
};
