// Server life cycle and reference counting, with a QApplication the test made itself.
#include "AppServerTestSupport.h"
#include "CApplication.h"
#include "MW21EventPump.h"

#include <QApplication>
#include <QThread>

#include <latch>
#include <thread>
#include <vector>

namespace
{
using LifecycleTest = AppServerTest;

TEST_F(LifecycleTest, TwoInstancesOneReleaseKeepsServerAlive)
{
    CAppServer* first = CAppServer::Instance();
    CAppServer* second = CAppServer::Instance();
    ASSERT_EQ(first, second);
    EXPECT_EQ(first->usageCount(), 2);

    first->release();
    ASSERT_EQ(CAppServer::s_singleton, first);
    EXPECT_EQ(first->usageCount(), 1);
    QObject* dispatcher = CAppServer::MS();
    EXPECT_NE(dispatcher, nullptr);
    delete dispatcher;

    second->release();
    EXPECT_EQ(CAppServer::s_singleton, nullptr);
    EXPECT_EQ(CAppServer::MS(), nullptr);
}

TEST_F(LifecycleTest, UseAddsAReference)
{
    CAppServer* server = CAppServer::Instance();
    server->use();
    EXPECT_EQ(server->usageCount(), 2);
    server->release();
    EXPECT_EQ(CAppServer::s_singleton, server);
    server->release();
    EXPECT_EQ(CAppServer::s_singleton, nullptr);
}

TEST_F(LifecycleTest, ExistingApplicationIsUsedNotReplaced)
{
    QApplication* before = qApp;
    const int flagBefore = s_running_as_plugin.load();

    CAppServer* server = CAppServer::Instance();
    EXPECT_EQ(qApp, before);
    EXPECT_EQ(server->app(), before);
    EXPECT_EQ(qobject_cast<CApplication*>(qApp), nullptr);
    EXPECT_EQ(s_running_as_plugin.load(), flagBefore);
    EXPECT_EQ(MW21_runningAsPlugin(), 0);
    EXPECT_EQ(server->guiThread(), QThread::currentThread());

    server->release();
    EXPECT_EQ(qApp, before); // not ours to destroy
}

TEST_F(LifecycleTest, EveryMSIsANewDispatcher)
{
    CAppServer* server = CAppServer::Instance();
    QObject* a = CAppServer::MS();
    QObject* b = CAppServer::MS();
    QObject* c = server->ms();
    EXPECT_NE(a, b);
    EXPECT_NE(b, c);
    EXPECT_NE(a, c);
    for (QObject* d : {a, b, c}) {
        EXPECT_EQ(d->thread(), server->guiThread());
        EXPECT_EQ(d->parent(), nullptr);
        delete d;
    }
    server->release();
}

TEST_F(LifecycleTest, WaitForTerminationReturns)
{
    CAppServer* server = CAppServer::Instance();
    server->waitForTermination();
    EXPECT_EQ(server->usageCount(), 1);
    server->release();
}

// Several threads race for the first reference and later for the last one: exactly one
// server is made, every thread gets it, and the final release destroys it once.
TEST_F(LifecycleTest, ConcurrentFirstInstanceAndFinalRelease)
{
    constexpr int threads = 8;
    std::vector<CAppServer*> got(threads, nullptr);
    std::latch startCreate(threads);
    std::latch created(threads + 1);
    std::latch startRelease(1);
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i) {
        pool.emplace_back([&, i] {
            startCreate.arrive_and_wait();
            got[i] = CAppServer::Instance();
            created.count_down();
            startRelease.wait();
            got[i]->release();
        });
    }
    created.arrive_and_wait();
    CAppServer* server = got[0];
    ASSERT_NE(server, nullptr);
    for (CAppServer* s : got)
        EXPECT_EQ(s, server);
    EXPECT_EQ(CAppServer::s_singleton, server);
    EXPECT_EQ(server->usageCount(), threads);
    // The GUI thread is the application's, even though a worker made the server.
    EXPECT_EQ(server->guiThread(), qApp->thread());

    startRelease.count_down();
    for (std::thread& t : pool)
        t.join();
    EXPECT_EQ(CAppServer::s_singleton, nullptr);
    EXPECT_EQ(CAppServer::MS(), nullptr);
}
} // namespace
