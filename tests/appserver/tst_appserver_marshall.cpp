// Marshalled calls: every event type reaches the GUI thread with its arguments, guarded
// objects read as null once dead, and heap arguments are freed whether delivered or not.
#include "AppServerTestSupport.h"
#include "CMarshallDispatcher.h"
#include "TMarshallEvent.h"

#include <QCoreApplication>
#include <QPointer>
#include <QString>
#include <QTest>
#include <QThread>

#include <climits>
#include <functional>
#include <thread>

namespace
{
struct TCall
{
    int type = 0;
    QObject* object = nullptr;
    QObject* other = nullptr;
    int ints[3] = {0, 0, 0};
    unsigned long ulong1 = 0;
    const QString* string = nullptr;
    QString stringText; // deep copy, so the probe below sees only the event's reference
    QThread* thread = nullptr;
};

QList<TCall> g_calls;

TCall& record(int type, QObject* object)
{
    TCall call;
    call.type = type;
    call.object = object;
    call.thread = QThread::currentThread();
    g_calls.append(call);
    return g_calls.last();
}

void onObject(QObject* o) { record(1256, o); }
void onInt(QObject* o, int a) { record(1257, o).ints[0] = a; }
void onULong(QObject* o, unsigned long a) { record(1258, o).ulong1 = a; }
void onObjectObject(QObject* o, QObject* other) { record(1259, o).other = other; }
void onInt3(QObject* o, int a, int b, int c)
{
    TCall& call = record(1260, o);
    call.ints[0] = a;
    call.ints[1] = b;
    call.ints[2] = c;
}
void onString(QObject* o, QString* s)
{
    TCall& call = record(1261, o);
    call.string = s;
    if (s)
        call.stringText = QString(s->constData(), s->size());
}

// A heap string (literals have static, unshared data): copies of it share its data, so once
// the event's copy is freed the probe owns its data alone again.
QString makeProbe()
{
    return QString::fromUtf8("marshalled text \u00e9\u00df");
}

class MarshallTest : public AppServerTest
{
protected:
    void SetUp() override
    {
        AppServerTest::SetUp();
        g_calls.clear();
        m_server = CAppServer::Instance();
    }
    void TearDown() override
    {
        QCoreApplication::sendPostedEvents();
        m_server->release();
        AppServerTest::TearDown();
    }

    // Obtains a dispatcher and posts from a thread of its own, as component threads do.
    static void postFromWorker(std::function<TMarshallEvent*()> make)
    {
        std::thread worker([&] { QCoreApplication::postEvent(CAppServer::MS(), make()); });
        worker.join();
    }

    CAppServer* m_server = nullptr;
};

struct TTypeCase
{
    const char* name;
    int type;
    std::function<TMarshallEvent*(QObject* target, QObject* other)> make;
    std::function<void(const TCall&, QObject* other)> check;
};

TEST_F(MarshallTest, EveryTypeDeliversItsArgumentsOnTheGuiThread)
{
    const QList<TTypeCase> cases = {
        {"1256", 1256, [](QObject* t, QObject*) { return new TMarshallEvent(t, &onObject); },
         [](const TCall&, QObject*) {}},
        {"1257", 1257, [](QObject* t, QObject*) { return new TMarshallEvent(t, &onInt, -123456); },
         [](const TCall& c, QObject*) { EXPECT_EQ(c.ints[0], -123456); }},
        {"1258 keeps all bits", 1258,
         [](QObject* t, QObject*) { return new TMarshallEvent(t, &onULong, ULONG_MAX - 1); },
         [](const TCall& c, QObject*) { EXPECT_EQ(c.ulong1, ULONG_MAX - 1); }},
        {"1259", 1259, [](QObject* t, QObject* o) { return new TMarshallEvent(t, &onObjectObject, o); },
         [](const TCall& c, QObject* o) { EXPECT_EQ(c.other, o); }},
        {"1260", 1260, [](QObject* t, QObject*) { return new TMarshallEvent(t, &onInt3, 7, -8, INT_MAX); },
         [](const TCall& c, QObject*) {
             EXPECT_EQ(c.ints[0], 7);
             EXPECT_EQ(c.ints[1], -8);
             EXPECT_EQ(c.ints[2], INT_MAX);
         }},
        {"1261", 1261,
         [](QObject* t, QObject*) { return new TMarshallEvent(t, &onString, new QString(makeProbe())); },
         [](const TCall& c, QObject*) {
             EXPECT_NE(c.string, nullptr);
             EXPECT_EQ(c.stringText, makeProbe());
         }},
    };
    for (const TTypeCase& tc : cases) {
        SCOPED_TRACE(tc.name);
        g_calls.clear();
        QObject target;
        QObject other;
        postFromWorker([&] { return tc.make(&target, &other); });
        ASSERT_TRUE(QTest::qWaitFor([] { return !g_calls.isEmpty(); }, 5000));
        ASSERT_EQ(g_calls.size(), 1);
        const TCall& call = g_calls.first();
        EXPECT_EQ(call.type, tc.type);
        EXPECT_EQ(call.object, &target);
        EXPECT_EQ(call.thread, qApp->thread());
        tc.check(call, &other);
    }
}

TEST_F(MarshallTest, DeadSecondObjectArrivesAsNull)
{
    QObject target;
    auto* other = new QObject;
    QCoreApplication::postEvent(CAppServer::MS(), new TMarshallEvent(&target, &onObjectObject, other));
    delete other;
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(g_calls.size(), 1);
    EXPECT_EQ(g_calls[0].object, &target);
    EXPECT_EQ(g_calls[0].other, nullptr);
}

TEST_F(MarshallTest, DeadObjectStillRunsCallbackAndFreesString)
{
    const QString probe = makeProbe();
    auto* target = new QObject;
    std::thread worker([&] {
        QCoreApplication::postEvent(CAppServer::MS(), new TMarshallEvent(target, &onString, new QString(probe)));
    });
    worker.join();
    EXPECT_FALSE(probe.isDetached()); // the event's copy shares the probe's data
    delete target;

    ASSERT_TRUE(QTest::qWaitFor([] { return !g_calls.isEmpty(); }, 5000));
    ASSERT_EQ(g_calls.size(), 1);
    EXPECT_EQ(g_calls[0].object, nullptr);
    EXPECT_EQ(g_calls[0].stringText, probe);
    EXPECT_TRUE(probe.isDetached()); // the event freed its string with itself
}

TEST_F(MarshallTest, UndeliveredEventsFreeTheirArguments)
{
    const QString probe = makeProbe();
    QObject other;
    {
        // Never posted.
        delete new TMarshallEvent(nullptr, &onString, new QString(probe));
        EXPECT_TRUE(probe.isDetached());
    }
    {
        // Posted, but its dispatcher goes away first: Qt's queue drops the event.
        QObject* dispatcher = CAppServer::MS();
        QCoreApplication::postEvent(dispatcher, new TMarshallEvent(nullptr, &onString, new QString(probe)));
        QCoreApplication::postEvent(dispatcher, new TMarshallEvent(nullptr, &onObjectObject, &other));
        EXPECT_FALSE(probe.isDetached());
        delete dispatcher;
        EXPECT_TRUE(probe.isDetached());
    }
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(g_calls.isEmpty());
}

TEST_F(MarshallTest, DispatcherServesExactlyOneEvent)
{
    const QString probe = makeProbe();
    QPointer<QObject> dispatcher = CAppServer::MS();
    QCoreApplication::postEvent(dispatcher, new TMarshallEvent(nullptr, &onInt, 1));
    QCoreApplication::postEvent(dispatcher, new TMarshallEvent(nullptr, &onString, new QString(probe)));
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(dispatcher.isNull());
    ASSERT_EQ(g_calls.size(), 1);
    EXPECT_EQ(g_calls[0].type, 1257);
    EXPECT_TRUE(probe.isDetached()); // the second event died with the dispatcher's queue
}

TEST_F(MarshallTest, SentEventsReturnWhetherACallRan)
{
    struct TSendCase
    {
        const char* name;
        std::function<bool(QObject*)> send;
        bool expectedResult;
        int expectedCalls;
    };
    const QList<TSendCase> cases = {
        {"marshalled", [](QObject* d) {
             TMarshallEvent e(nullptr, &onInt, 5);
             return QCoreApplication::sendEvent(d, &e);
         }, false, 1},
        {"foreign type", [](QObject* d) {
             QEvent e(QEvent::User);
             return QCoreApplication::sendEvent(d, &e);
         }, true, 0},
        {"marshalled number, other class", [](QObject* d) {
             QEvent e(QEvent::Type(TMarshallEvent::TypeObject));
             return QCoreApplication::sendEvent(d, &e);
         }, true, 0},
        {"null event", [](QObject* d) { return d->event(nullptr); }, true, 0},
    };
    for (const TSendCase& tc : cases) {
        SCOPED_TRACE(tc.name);
        g_calls.clear();
        QPointer<QObject> dispatcher = CAppServer::MS();
        EXPECT_EQ(tc.send(dispatcher), tc.expectedResult);
        EXPECT_TRUE(dispatcher.isNull());
        EXPECT_EQ(g_calls.size(), tc.expectedCalls);
    }
}
} // namespace
