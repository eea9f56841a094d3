// The two enumerators: Next, Skip, Reset, Clone, the references they hold, and their
// precondition warnings.

#include "ClientIConnectionPoint.h"
#include "ClientIEnumConnectionPoints.h"
#include "ClientIEnumConnections.h"
#include "TServicesTestSupport.h"

#include <gtest/gtest.h>

namespace {

IUnknown* identityOf(IUnknown* object)
{
    void* p = nullptr;
    if (FAILED(object->QueryInterface(IID_IUnknown, &p)))
        return nullptr;
    auto* unknown = static_cast<IUnknown*>(p);
    unknown->Release();
    return unknown;
}

class Enumerators : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host = KAVNewObject<TTestHost>(&hostDestroyed);
        ASSERT_NE(host, nullptr);
        container = host->connections();
        ASSERT_EQ(container->FindConnectionPoint(IID_IMPNotificationSink, &point), S_OK);
        first = KAVNewObject<TTestSink>();
        second = KAVNewObject<TTestSink>();
        ASSERT_EQ(point->Advise(first, &firstCookie), S_OK);
        ASSERT_EQ(point->Advise(second, &secondCookie), S_OK);
    }

    void TearDown() override
    {
        point->Unadvise(firstCookie);
        point->Unadvise(secondCookie);
        point->Release();
        EXPECT_EQ(first->Release(), 0u);
        EXPECT_EQ(second->Release(), 0u);
        EXPECT_EQ(host->useCount(), 1u) << "a test leaked a host reference";
        host->Release();
        EXPECT_TRUE(hostDestroyed);
    }

    IEnumConnections* connectionsEnum()
    {
        IEnumConnections* e = nullptr;
        EXPECT_EQ(point->EnumConnections(&e), S_OK);
        return e;
    }

    bool hostDestroyed = false;
    TTestHost* host = nullptr;
    ClientIConnectionPointContainer* container = nullptr;
    IConnectionPoint* point = nullptr;
    TTestSink* first = nullptr;
    TTestSink* second = nullptr;
    std::uint32_t firstCookie = 0;
    std::uint32_t secondCookie = 0;
};

TEST_F(Enumerators, NextOneWalksConnectionsAndResetStartsAgain)
{
    IEnumConnections* e = connectionsEnum();
    ASSERT_NE(e, nullptr);
    const std::uint32_t sinkCount = first->useCount();

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        CONNECTDATA data{};
        std::uint32_t fetched = 99;
        EXPECT_EQ(e->Next(1, &data, &fetched), S_OK);
        EXPECT_EQ(fetched, 1u);
        EXPECT_EQ(data.dwCookie, firstCookie);
        EXPECT_EQ(data.pUnk, identityOf(first));
        EXPECT_EQ(first->useCount(), sinkCount + 1); // pUnk is the receiver's reference
        data.pUnk->Release();

        EXPECT_EQ(e->Next(1, &data, &fetched), S_OK);
        EXPECT_EQ(fetched, 1u);
        EXPECT_EQ(data.dwCookie, secondCookie);
        EXPECT_EQ(data.pUnk, identityOf(second));
        data.pUnk->Release();

        data = CONNECTDATA{};
        EXPECT_EQ(e->Next(1, &data, &fetched), S_FALSE);
        EXPECT_EQ(fetched, 0u);
        EXPECT_EQ(data.pUnk, nullptr);

        EXPECT_EQ(e->Reset(), S_OK);
    }
    EXPECT_EQ(first->useCount(), sinkCount);
    e->Release();
}

TEST_F(Enumerators, NextManySkipAndClone)
{
    IEnumConnections* e = connectionsEnum();
    CONNECTDATA data[3]{};
    std::uint32_t fetched = 0;
    EXPECT_EQ(e->Next(3, data, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(data[0].dwCookie, firstCookie);
    EXPECT_EQ(data[1].dwCookie, secondCookie);
    data[0].pUnk->Release();
    data[1].pUnk->Release();

    e->Reset();
    EXPECT_EQ(e->Skip(1), S_OK);
    EXPECT_EQ(e->Next(1, data, &fetched), S_OK);
    EXPECT_EQ(data[0].dwCookie, secondCookie);
    data[0].pUnk->Release();

    EXPECT_EQ(e->Skip(0xFFFFFFFFu), S_OK); // far past the end, no wrap back to the start
    EXPECT_EQ(e->Next(1, data, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);

    IEnumConnections* copy = e;
    EXPECT_EQ(e->Clone(&copy), E_NOTIMPL);
    EXPECT_EQ(copy, nullptr);
    e->Release();
}

TEST_F(Enumerators, EnumConnectionPointsListsTheOfferedPointsInOrder)
{
    IEnumConnectionPoints* e = nullptr;
    ASSERT_EQ(container->EnumConnectionPoints(&e), S_OK);
    const CFUUIDBytes expected[] = {IID_IMPNotificationSink, IID_IMPAdvisable};
    for (int round = 0; round < 2; ++round) {
        for (const CFUUIDBytes& iid : expected) {
            IConnectionPoint* p = nullptr;
            std::uint32_t fetched = 0;
            ASSERT_EQ(e->Next(1, &p, &fetched), S_OK);
            ASSERT_EQ(fetched, 1u);
            CFUUIDBytes got{};
            EXPECT_EQ(p->GetConnectionInterface(&got), S_OK);
            EXPECT_TRUE(IsEqualIID(got, iid)) << qPrintable(iidText(got));
            p->Release();
        }
        IConnectionPoint* none = nullptr;
        std::uint32_t fetched = 5;
        EXPECT_EQ(e->Next(1, &none, &fetched), S_FALSE);
        EXPECT_EQ(fetched, 0u);
        EXPECT_EQ(none, nullptr);
        e->Reset();
    }

    e->Skip(1);
    IConnectionPoint* p = nullptr;
    ASSERT_EQ(e->Next(1, &p, nullptr), S_OK);
    CFUUIDBytes got{};
    p->GetConnectionInterface(&got);
    EXPECT_TRUE(IsEqualIID(got, IID_IMPAdvisable));
    p->Release();

    IEnumConnectionPoints* copy = e;
    EXPECT_EQ(e->Clone(&copy), E_NOTIMPL);
    EXPECT_EQ(copy, nullptr);
    e->Release();
}

// An enumerator holds the object it walks, so the host stays alive with it; releasing it
// gives every reference back.
TEST_F(Enumerators, EnumeratorsHoldTheHostAndGiveTheReferenceBack)
{
    const std::uint32_t before = host->useCount();
    IEnumConnections* connections = connectionsEnum();
    IEnumConnectionPoints* points = nullptr;
    ASSERT_EQ(container->EnumConnectionPoints(&points), S_OK);
    EXPECT_EQ(host->useCount(), before + 2);

    // Enumerators are standalone objects with their own counts.
    EXPECT_EQ(connections->AddRef(), 2u);
    EXPECT_EQ(connections->Release(), 1u);
    EXPECT_EQ(connections->Release(), 0u);
    EXPECT_EQ(points->Release(), 0u);
    EXPECT_EQ(host->useCount(), before);
}

TEST(EnumeratorsAlone, HostLivesWhileAnEnumeratorDoes)
{
    bool destroyed = false;
    TTestHost* host = KAVNewObject<TTestHost>(&destroyed);
    IEnumConnectionPoints* e = nullptr;
    ASSERT_EQ(host->connections()->EnumConnectionPoints(&e), S_OK);
    host->Release();
    EXPECT_FALSE(destroyed);
    IConnectionPoint* p = nullptr;
    EXPECT_EQ(e->Next(1, &p, nullptr), S_OK); // still usable
    p->Release();
    e->Release();
    EXPECT_TRUE(destroyed);
}

TEST_F(Enumerators, NullOutputsAndOddCountsAreReported)
{
    {
        TWarningCatcher warnings;
        EXPECT_EQ(point->EnumConnections(nullptr), E_POINTER);
        EXPECT_TRUE(warnings.sawAssert("ppEnum"));
    }
    {
        TWarningCatcher warnings;
        EXPECT_EQ(container->EnumConnectionPoints(nullptr), E_POINTER);
        EXPECT_TRUE(warnings.sawAssert("ppEnum"));
    }

    IEnumConnections* e = connectionsEnum();
    {
        TWarningCatcher warnings;
        std::uint32_t fetched = 7;
        EXPECT_EQ(e->Next(0, nullptr, &fetched), S_OK);
        EXPECT_EQ(fetched, 0u);
        EXPECT_TRUE(warnings.sawAssert("cConnections > 0"));
        EXPECT_EQ(e->Next(1, nullptr, &fetched), E_POINTER);
    }
    {
        // More than one entry without a fetched count: warned, and still delivered.
        TWarningCatcher warnings;
        CONNECTDATA data[2]{};
        EXPECT_EQ(e->Next(2, data, nullptr), S_OK);
        EXPECT_TRUE(warnings.sawAssert("cConnections == 1 || pcFetched != NULL"));
        data[0].pUnk->Release();
        data[1].pUnk->Release();
    }
    e->Release();
}

TEST(EnumeratorsAlone, WithoutBackReferenceNextFails)
{
    TWarningCatcher warnings;
    auto* connections = KAVNewObject<ClientIEnumConnections>(nullptr, IID_IEnumConnections, false, nullptr);
    auto* points = KAVNewObject<ClientIEnumConnectionPoints>(nullptr, IID_IEnumConnectionPoints, false, nullptr);
    ASSERT_NE(connections, nullptr);
    ASSERT_NE(points, nullptr);
    EXPECT_TRUE(warnings.sawAssert("pOuter != NULL")); // from their initialisation

    CONNECTDATA data{};
    IConnectionPoint* p = nullptr;
    std::uint32_t fetched = 3;
    EXPECT_EQ(connections->Next(1, &data, &fetched), E_FAIL);
    EXPECT_EQ(points->Next(1, &p, &fetched), E_FAIL);
    EXPECT_EQ(connections->Release(), 0u);
    EXPECT_EQ(points->Release(), 0u);
}

} // namespace
