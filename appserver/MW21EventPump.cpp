#include "MW21EventPump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QThread>

#include <glib.h>

std::atomic<int> s_running_as_plugin{0};

namespace
{
// Only ever touched on the GUI thread (every entry point checks that first).
bool s_pumping = false;

class TPumpGuard
{
public:
    TPumpGuard() : m_entered(!s_pumping) { s_pumping = true; }
    ~TPumpGuard()
    {
        if (m_entered)
            s_pumping = false;
    }
    bool entered() const { return m_entered; }

private:
    bool m_entered;
};

bool onLiveGuiThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && !QCoreApplication::closingDown() && QThread::currentThread() == app->thread();
}

void activateDueTimers()
{
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher)
        return;
    // With Qt's GLib dispatcher its timer source sits on the default context; when we are
    // inside a dispatch of that context the enclosing loop fires the timers itself, and
    // iterating it again here would run the host's sources re-entrantly.
    if (g_main_depth() > 0 && dispatcher->inherits("QEventDispatcherGlib"))
        return;
    dispatcher->processEvents(QEventLoop::AllEvents); // no WaitForMoreEvents: never blocks
}

// Qt only deletes deleteLater() objects posted outside any event delivery once an event loop
// runs; a foreign host never runs one, so do it here while nothing of Qt is on the stack.
void deleteTopLevelDeferred()
{
    if (QThread::currentThread()->loopLevel() == 0 && g_main_depth() <= 1)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

int MW21_runningAsPlugin(void)
{
    return s_running_as_plugin.load();
}

void MW21_activateZeroTimers(void)
{
    if (!onLiveGuiThread())
        return;
    TPumpGuard guard;
    if (guard.entered())
        activateDueTimers();
}

void MW21_PumpEvents(void)
{
    if (!onLiveGuiThread())
        return;
    TPumpGuard guard;
    if (!guard.entered())
        return;
    QCoreApplication::sendPostedEvents();
    activateDueTimers();
    deleteTopLevelDeferred();
}
