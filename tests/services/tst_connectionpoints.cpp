// Connection point container and points: finding points, advising with cookies, the
// positive codes 1965 and 1976, references held on sinks and on the host.

#include "ClientIConnectionPoint.h"
#include "ClientIConnectionPointContainer.h"
#include "TServicesTestSupport.h"

#include <gtest/gtest.h>

namespace {

class ConnectionPoints : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host = KAVNewObject<TTestHost>(&hostDestroyed);
        ASSERT_NE(host, nullptr);
        void* p = nullptr;
        ASSERT_EQ(host->QueryInterface(IID_IConnectionPointContainer, &p), S_OK);
        container = static_cast<IConnectionPointContainer*>(p);
        ASSERT_EQ(container->FindConnectionPoint(IID_IMPNotificationSink, &point), S_OK);
        ASSERT_NE(point, nullptr);
    }

    void TearDown() override
    {
        if (point)
            point->Release();
        if (container)
            container->Release();
        if (host) {
            EXPECT_EQ(host->useCount(), 1u) << "a test leaked a host reference";
            host->Release();
            EXPECT_TRUE(hostDestroyed);
        }
    }

    bool hostDestroyed = false;
    TTestHost* host = nullptr;
    IConnectionPointContainer* container = nullptr;
    IConnectionPoint* point = nullptr;
};

TEST_F(ConnectionPoints, CookiesCountUpPerPointAndAreNeverReused)
{
    TTestSink* a = KAVNewObject<TTestSink>();
    TTestSink* b = KAVNewObject<TTestSink>();
    TTestSink* c = KAVNewObject<TTestSink>();
    std::uint32_t cookie = 0;

    ASSERT_EQ(point->Advise(a, &cookie), S_OK);
    EXPECT_EQ(cookie, 1u);
    ASSERT_EQ(point->Advise(b, &cookie), S_OK);
    EXPECT_EQ(cookie, 2u);
    EXPECT_EQ(point->Unadvise(1), S_OK);
    ASSERT_EQ(point->Advise(c, &cookie), S_OK);
    EXPECT_EQ(cookie, 3u);

    // The other point counts on its own.
    IConnectionPoint* other = nullptr;
    ASSERT_EQ(container->FindConnectionPoint(IID_IMPAdvisable, &other), S_OK);
    TAdvisableSink* advisable = KAVNewObject<TAdvisableSink>();
    ASSERT_EQ(other->Advise(advisable, &cookie), S_OK);
    EXPECT_EQ(cookie, 1u);
    EXPECT_EQ(other->Unadvise(cookie), S_OK);
    other->Release();
    advisable->Release();

    EXPECT_EQ(point->Unadvise(2), S_OK);
    EXPECT_EQ(point->Unadvise(3), S_OK);
    a->Release();
    b->Release();
    c->Release();
}

TEST_F(ConnectionPoints, UnadviseOfUnknownOrSpentCookieFails)
{
    TTestSink* sink = KAVNewObject<TTestSink>();
    std::uint32_t cookie = 0;
    ASSERT_EQ(point->Advise(sink, &cookie), S_OK);

    EXPECT_EQ(point->Unadvise(0), E_FAIL);
    EXPECT_EQ(point->Unadvise(42), E_FAIL);
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(point->Unadvise(cookie), E_FAIL);
    sink->Release();
}

TEST_F(ConnectionPoints, ConnectionHoldsOneSinkReferenceUntilUnadvise)
{
    bool sinkDestroyed = false;
    TTestSink* sink = KAVNewObject<TTestSink>(&sinkDestroyed);
    std::uint32_t cookie = 0;
    ASSERT_EQ(point->Advise(sink, &cookie), S_OK);
    EXPECT_EQ(sink->useCount(), 2u);

    sink->Release(); // the component lets go; the host keeps it
    EXPECT_FALSE(sinkDestroyed);
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_TRUE(sinkDestroyed);
}

TEST_F(ConnectionPoints, HostDestructionReleasesRemainingSinks)
{
    bool sinkDestroyed = false;
    TTestSink* sink = KAVNewObject<TTestSink>(&sinkDestroyed);
    std::uint32_t cookie = 0;
    ASSERT_EQ(point->Advise(sink, &cookie), S_OK);
    sink->Release();

    point->Release();
    point = nullptr;
    container->Release();
    container = nullptr;
    host->Release();
    host = nullptr;
    EXPECT_TRUE(hostDestroyed);
    EXPECT_TRUE(sinkDestroyed);
}

TEST_F(ConnectionPoints, SinkWithoutTheInterfaceGets1976AndNoConnection)
{
    TPlainUnknown* plain = KAVNewObject<TPlainUnknown>();
    std::uint32_t cookie = 77;
    EXPECT_EQ(point->Advise(plain, &cookie), 1976);
    EXPECT_EQ(cookie, 77u);
    EXPECT_EQ(plain->useCount(), 1u);
    const TConnectionList* list = host->connections()->GetConnections(&IID_IMPNotificationSink);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->empty());

    // A failed attempt uses no cookie.
    TTestSink* sink = KAVNewObject<TTestSink>();
    ASSERT_EQ(point->Advise(sink, &cookie), S_OK);
    EXPECT_EQ(cookie, 1u);
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    sink->Release();
    plain->Release();
}

TEST_F(ConnectionPoints, NullAdviseArgumentsAreRejectedWithWarnings)
{
    TTestSink* sink = KAVNewObject<TTestSink>();
    std::uint32_t cookie = 0;
    {
        TWarningCatcher warnings;
        EXPECT_EQ(point->Advise(sink, nullptr), E_POINTER);
        EXPECT_TRUE(warnings.sawAssert("pdwCookie"));
    }
    {
        TWarningCatcher warnings;
        EXPECT_EQ(point->Advise(nullptr, &cookie), E_POINTER);
        EXPECT_TRUE(warnings.sawAssert("pUnk"));
    }
    EXPECT_EQ(sink->useCount(), 1u);
    sink->Release();
}

TEST_F(ConnectionPoints, FindConnectionPointAnswersOfferedInterfacesOnly)
{
    struct Case {
        CFUUIDBytes iid;
        HRESULT expected;
    };
    const Case cases[] = {
        {IID_IMPNotificationSink, S_OK},
        {IID_IMPAdvisable, S_OK},
        {IID_IMPEventFilter, 1965},
        {IID_IUnknown, 1965},
        {IID_IConnectionPoint, 1965},
    };
    for (const Case& c : cases) {
        IConnectionPoint* found = reinterpret_cast<IConnectionPoint*>(&found); // junk to be cleared
        EXPECT_EQ(container->FindConnectionPoint(c.iid, &found), c.expected) << qPrintable(iidText(c.iid));
        if (c.expected == S_OK) {
            ASSERT_NE(found, nullptr);
            CFUUIDBytes iid{};
            EXPECT_EQ(found->GetConnectionInterface(&iid), S_OK);
            EXPECT_TRUE(IsEqualIID(iid, c.iid));
            found->Release();
        } else {
            EXPECT_EQ(found, nullptr) << qPrintable(iidText(c.iid));
        }
    }

    TWarningCatcher warnings;
    EXPECT_EQ(container->FindConnectionPoint(IID_IMPNotificationSink, nullptr), E_POINTER);
    EXPECT_TRUE(warnings.sawAssert("ppCP"));
}

TEST_F(ConnectionPoints, PointReferencesCountOnTheHost)
{
    const std::uint32_t before = host->useCount();
    IConnectionPoint* again = nullptr;
    ASSERT_EQ(container->FindConnectionPoint(IID_IMPNotificationSink, &again), S_OK);
    EXPECT_EQ(again, point);
    EXPECT_EQ(host->useCount(), before + 1);
    again->Release();
    EXPECT_EQ(host->useCount(), before);

    // The aggregate outlives its own reference while a point reference exists.
    point->AddRef();
    IConnectionPoint* keep = point;
    point->Release();
    point = nullptr;
    container->Release();
    container = nullptr;
    host->Release();
    TTestHost* gone = host;
    host = nullptr;
    EXPECT_FALSE(hostDestroyed);
    EXPECT_EQ(gone->useCount(), 1u);
    keep->Release();
    EXPECT_TRUE(hostDestroyed);
}

TEST_F(ConnectionPoints, GetConnectionPointContainerReturnsTheContainerItself)
{
    const std::uint32_t before = host->useCount();
    IConnectionPointContainer* owner = nullptr;
    ASSERT_EQ(point->GetConnectionPointContainer(&owner), S_OK);
    EXPECT_EQ(owner, container);
    EXPECT_EQ(host->useCount(), before + 1);
    owner->Release();
    EXPECT_EQ(host->useCount(), before);

    TWarningCatcher warnings;
    EXPECT_EQ(point->GetConnectionPointContainer(nullptr), E_POINTER);
    EXPECT_TRUE(warnings.sawAssert("ppCPC"));
}

TEST(ConnectionPointAlone, WithoutContainerReportsFailure)
{
    auto* lone = KAVNewObject<ClientIConnectionPoint>(nullptr, IID_IConnectionPoint, false);
    ASSERT_NE(lone, nullptr);
    TWarningCatcher warnings;
    IConnectionPointContainer* owner = reinterpret_cast<IConnectionPointContainer*>(&owner);
    EXPECT_EQ(lone->GetConnectionPointContainer(&owner), E_FAIL);
    EXPECT_EQ(owner, nullptr);
    EXPECT_TRUE(warnings.sawAssert("pOuter != NULL"));
    EXPECT_EQ(lone->Release(), 0u);
}

TEST_F(ConnectionPoints, GetConnectionInterfaceCopiesTheIdentifier)
{
    CFUUIDBytes iid{};
    EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
    EXPECT_TRUE(IsEqualIID(iid, IID_IMPNotificationSink));

    TWarningCatcher warnings;
    EXPECT_EQ(point->GetConnectionInterface(nullptr), E_POINTER);
    EXPECT_TRUE(warnings.sawAssert("pIID"));
}

TEST_F(ConnectionPoints, GetConnectionsGivesTheListInAdvisingOrder)
{
    ClientIConnectionPointContainer* part = host->connections();
    EXPECT_EQ(part->GetConnections(nullptr), nullptr);
    EXPECT_EQ(part->GetConnections(&IID_IMPEventFilter), nullptr);

    TTestSink* a = KAVNewObject<TTestSink>();
    TTestSink* b = KAVNewObject<TTestSink>();
    std::uint32_t cookieA = 0;
    std::uint32_t cookieB = 0;
    ASSERT_EQ(point->Advise(a, &cookieA), S_OK);
    ASSERT_EQ(point->Advise(b, &cookieB), S_OK);

    const TConnectionList* list = part->GetConnections(&IID_IMPNotificationSink);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->size(), 2u);
    EXPECT_EQ((*list)[0]->cookie(), cookieA);
    EXPECT_EQ((*list)[0]->sink(), static_cast<IUnknown*>(static_cast<IMPNotificationSink*>(a)));
    EXPECT_EQ((*list)[1]->cookie(), cookieB);

    const TConnectionList* other = part->GetConnections(&IID_IMPAdvisable);
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(other->empty());

    point->Unadvise(cookieA);
    point->Unadvise(cookieB);
    a->Release();
    b->Release();
}

// Delivery walks a copy of the list, so a sink may unadvise itself (and be destroyed)
// while the others are still being notified.
TEST_F(ConnectionPoints, SinkMayUnadviseItselfDuringDelivery)
{
    bool firstDestroyed = false;
    TTestSink* first = KAVNewObject<TTestSink>(&firstDestroyed);
    TTestSink* second = KAVNewObject<TTestSink>();
    std::uint32_t firstCookie = 0;
    std::uint32_t secondCookie = 0;
    ASSERT_EQ(point->Advise(first, &firstCookie), S_OK);
    ASSERT_EQ(point->Advise(second, &secondCookie), S_OK);
    first->Release();
    IConnectionPoint* p = point;
    first->onNotify = [p, firstCookie] { p->Unadvise(firstCookie); };

    TConnectionList snapshot = *host->connections()->GetConnections(&IID_IMPNotificationSink);
    tagMPMSG message{};
    message.id = MSGID_MPPortsChanged;
    for (const auto& connection : snapshot)
        if (connection && connection->sink())
            static_cast<IMPNotificationSink*>(connection->sink())->MPNotify(message);

    EXPECT_EQ(second->notifications, 1);
    EXPECT_FALSE(firstDestroyed); // the copy still holds it
    snapshot.clear();
    EXPECT_TRUE(firstDestroyed);
    EXPECT_EQ(host->connections()->GetConnections(&IID_IMPNotificationSink)->size(), 1u);

    point->Unadvise(secondCookie);
    second->Release();
}

} // namespace
