// A host that is not a Qt program: it makes no QApplication, takes the server, and drives
// Qt only through the library (its 1 ms GLib timeout, or MW21_PumpEvents() in its own loop).
//   --glib / --glib-no-qt-glib   the host runs a plain GLib main loop
//   --pump / --pump-qt-glib      the host has no GLib loop and calls MW21_PumpEvents()
// (the -no-qt-glib / plain pump variants run with QT_NO_GLIB=1, set by the test registration)
#include "CAppServer.h"
#include "CApplication.h"
#include "MW21EventPump.h"
#include "TMarshallEvent.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QThread>
#include <QTimer>

#include <glib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace
{
int g_failures = 0;

#define CHECK(cond)                                                                  \
    do {                                                                             \
        if (!(cond)) {                                                               \
            ++g_failures;                                                            \
            std::fprintf(stderr, "FAILED: %s (%s:%d)\n", #cond, __FILE__, __LINE__);  \
        }                                                                            \
    } while (false)

struct TState
{
    std::thread::id mainThread;
    QThread* guiThread = nullptr;
    QObject target;
    bool checkReentrancy = false;

    bool marshalled = false;
    bool marshalledOnMainThread = false;
    int marshalledValue = 0;
    bool followUpRan = false;
    bool followUpRanInsideFirst = false;
    bool singleShotZero = false;
    bool zeroTimer = false;
    bool shortTimer = false;
    bool deferredDeleted = false;

    bool allDone() const
    {
        return marshalled && followUpRan && singleShotZero && zeroTimer && shortTimer && deferredDeleted;
    }
};

TState* g_state = nullptr;

void onFollowUp(QObject*)
{
    g_state->followUpRan = true;
}

void onMarshalled(QObject* object, int value)
{
    TState& s = *g_state;
    s.marshalled = (object == &s.target);
    s.marshalledValue = value;
    s.marshalledOnMainThread =
        std::this_thread::get_id() == s.mainThread && QThread::currentThread() == s.guiThread;
    // The pump must not recurse into itself from a call it is delivering.
    QCoreApplication::postEvent(CAppServer::MS(), new TMarshallEvent(nullptr, &onFollowUp));
    MW21_PumpEvents();
    MW21_activateZeroTimers();
    s.followUpRanInsideFirst = s.followUpRan;
}

gboolean quitLoop(gpointer loop)
{
    g_main_loop_quit(static_cast<GMainLoop*>(loop));
    return G_SOURCE_REMOVE;
}

gboolean quitWhenDone(gpointer loop)
{
    if (!g_state->allDone())
        return G_SOURCE_CONTINUE;
    g_main_loop_quit(static_cast<GMainLoop*>(loop));
    return G_SOURCE_REMOVE;
}

void runGlibHost()
{
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    // Bounded: give up after 20 s rather than hang the suite.
    const guint safety = g_timeout_add(20000, &quitLoop, loop);
    const guint poll = g_timeout_add(5, &quitWhenDone, loop);
    g_main_loop_run(loop);
    if (!g_state->allDone()) {
        g_source_remove(poll);
    } else {
        g_source_remove(safety);
    }
    g_main_loop_unref(loop);
}

void runPumpingHost()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!g_state->allDone() && std::chrono::steady_clock::now() < deadline) {
        MW21_PumpEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1)); // the host's own loop pace
    }
}
} // namespace

int main(int argc, char** argv)
{
    const char* mode = argc > 1 ? argv[1] : "--glib";
    const bool glibHost = std::strncmp(mode, "--glib", 6) == 0;
    if (!glibHost && std::strncmp(mode, "--pump", 6) != 0) {
        std::fprintf(stderr, "usage: %s --glib|--glib-no-qt-glib|--pump|--pump-qt-glib\n", argv[0]);
        return 2;
    }

    CHECK(QCoreApplication::instance() == nullptr);
    CHECK(MW21_runningAsPlugin() == 0);

    CAppServer* server = CAppServer::Instance();
    CHECK(server != nullptr);
    CHECK(qobject_cast<CApplication*>(QCoreApplication::instance()) != nullptr);
    CHECK(server->app() == qApp);
    CHECK(s_running_as_plugin.load() == 1);
    CHECK(MW21_runningAsPlugin() == 1);
    CHECK(!QGuiApplication::desktopSettingsAware());
    CHECK(QCoreApplication::testAttribute(Qt::AA_DontUseNativeMenuBar));
    CHECK(server->guiThread() == QThread::currentThread());
    if (g_failures)
        return 1;

    const bool qtOnGlib = QAbstractEventDispatcher::instance()->inherits("QEventDispatcherGlib");
    std::printf("mode %s, Qt dispatcher %s\n", mode,
                QAbstractEventDispatcher::instance()->metaObject()->className());

    {
        TState state;
        g_state = &state;
        state.mainThread = std::this_thread::get_id();
        state.guiThread = QThread::currentThread();
        // Calls delivered by Qt's own GLib source are outside our pump and may nest it.
        state.checkReentrancy = !glibHost || !qtOnGlib;

        std::thread worker([&] {
            QCoreApplication::postEvent(CAppServer::MS(), new TMarshallEvent(&state.target, &onMarshalled, 4242));
        });
        worker.join();

        QTimer::singleShot(0, &state.target, [&] { state.singleShotZero = true; });
        QTimer zero;
        zero.setSingleShot(true);
        QObject::connect(&zero, &QTimer::timeout, [&] { state.zeroTimer = true; });
        zero.start(0);
        QTimer::singleShot(2, &state.target, [&] { state.shortTimer = true; });
        auto* doomed = new QObject;
        QObject::connect(doomed, &QObject::destroyed, [&] { state.deferredDeleted = true; });
        doomed->deleteLater();

        CHECK(!state.marshalled); // nothing runs before the host's loop does
        if (glibHost)
            runGlibHost();
        else
            runPumpingHost();

        CHECK(state.marshalled);
        CHECK(state.marshalledOnMainThread);
        CHECK(state.marshalledValue == 4242);
        CHECK(state.followUpRan);
        if (state.checkReentrancy)
            CHECK(!state.followUpRanInsideFirst);
        CHECK(state.singleShotZero);
        CHECK(state.zeroTimer);
        CHECK(state.shortTimer);
        CHECK(state.deferredDeleted);
        g_state = nullptr;
    }

    server->release();
    CHECK(CAppServer::s_singleton == nullptr);
    CHECK(QCoreApplication::instance() == nullptr);
    CHECK(CAppServer::MS() == nullptr);
    CHECK(MW21_runningAsPlugin() == 0);

    std::printf("foreign host %s: %s\n", mode, g_failures ? "FAILED" : "ok");
    return g_failures ? 1 : 0;
}
