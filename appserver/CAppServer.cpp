#include "CAppServer.h"

#include "CApplication.h"
#include "CMarshallDispatcher.h"
#include "MW21EventPump.h"
#include "TMarshallEvent.h"

#include <QApplication>
#include <QCursor>
#include <QRecursiveMutex>
#include <QThread>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

#define MW_ASSERT(cond)                                                         \
    do {                                                                        \
        if (!(cond))                                                            \
            qWarning("ASSERT: \"%s\" in %s (%d)", #cond, __FILE__, __LINE__);  \
    } while (false)

namespace
{
// Serialises creation and final release (and reading s_singleton).
QRecursiveMutex s_m;

// Debian's Qt is not built for ThreadSanitizer, so its mutexes are invisible to it; tell it
// about the hand-over ourselves in such builds.
class TLocker
{
public:
    explicit TLocker(QRecursiveMutex* mutex) : m_mutex(mutex)
    {
        m_mutex->lock();
#if defined(__SANITIZE_THREAD__)
        __tsan_acquire(m_mutex);
#endif
    }
    ~TLocker()
    {
#if defined(__SANITIZE_THREAD__)
        __tsan_release(m_mutex);
#endif
        m_mutex->unlock();
    }
    TLocker(const TLocker&) = delete;
    TLocker& operator=(const TLocker&) = delete;

private:
    QRecursiveMutex* m_mutex;
};

// QApplication keeps a reference to its argument count for its whole life.
int s_argc = 0;
} // namespace

CAppServer* CAppServer::s_singleton = nullptr;

CAppServer::CAppServer()
{
    if (!QCoreApplication::instance()) {
        // Inside a foreign host: Qt must neither take over the host's desktop settings nor
        // its menu bar, and the host's loop drives Qt through CApplication's timer.
        s_running_as_plugin = 1;
        QApplication::setDesktopSettingsAware(false);
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar, true);
        m_application = new CApplication(s_argc, nullptr);
    }
    // The application's thread, not necessarily ours: a first Instance() from a worker
    // would otherwise send every marshalled call to a thread that runs no events.
    m_guiThread = QCoreApplication::instance()->thread();
    m_mutex = std::make_unique<QRecursiveMutex>();
}

CAppServer::~CAppServer()
{
    {
        TLocker lock(m_mutex.get()); // waits for anyone still inside use()/usageCount()
    }
    m_mutex.reset();
    if (m_application) {
        MW_ASSERT(QThread::currentThread() == m_guiThread);
        delete m_application; // clears qApp
        m_application = nullptr;
        s_running_as_plugin = 0;
    }
}

CAppServer* CAppServer::Instance()
{
    TLocker lock(&s_m);
    if (!s_singleton)
        s_singleton = new CAppServer;
    else
        s_singleton->use();
    return s_singleton;
}

void CAppServer::use()
{
    TLocker lock(m_mutex.get());
    ++m_usageCount;
}

void CAppServer::release()
{
    TLocker lock(&s_m);
    int count;
    {
        TLocker instanceLock(m_mutex.get());
        count = --m_usageCount;
    }
    if (count > 0)
        return;
    MW_ASSERT(count == 0);
    if (s_singleton == this)
        s_singleton = nullptr;
    delete this;
}

int CAppServer::usageCount() const
{
    TLocker lock(m_mutex.get());
    return m_usageCount;
}

QThread* CAppServer::guiThread() const
{
    return m_guiThread;
}

QApplication* CAppServer::app() const
{
    return qobject_cast<QApplication*>(QCoreApplication::instance());
}

QObject* CAppServer::ms() const
{
    auto* dispatcher = new CMarshallDispatcher;
    if (dispatcher->thread() != m_guiThread)
        dispatcher->moveToThread(m_guiThread);
    return dispatcher;
}

QObject* CAppServer::MS()
{
    TLocker lock(&s_m);
    return s_singleton ? s_singleton->ms() : nullptr;
}

void CAppServer::PrepareForBusyAction(QObject* receiver)
{
    if (QCoreApplication::closingDown() || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    // The override-cursor stack belongs to the GUI thread.
    MW_ASSERT(QThread::currentThread() == QCoreApplication::instance()->thread());
    if (QThread::currentThread() != QCoreApplication::instance()->thread())
        return;
    if (!receiver)
        receiver = MS();
    if (!receiver)
        return;
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); // pushes, never replaces
    QCoreApplication::postEvent(receiver, new TMarshallEvent(nullptr, &CAppServer::handle_busyCursorPop));
}

void CAppServer::handle_busyCursorPop(QObject*)
{
    QGuiApplication::restoreOverrideCursor();
}

void CAppServer::waitForTermination()
{
}
