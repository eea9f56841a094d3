// Time information codes, the Qt host information and the output object's forwarding
// through the host aggregate.

#include "ClientIMPAsyncOutput.h"
#include "ClientIMPQTBasedHost.h"
#include "ClientIMPTimeInfo.h"
#include "TServicesTestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

template <class I>
I* ask(IUnknown* object)
{
    void* p = nullptr;
    if (object->QueryInterface(I::iid, &p) != S_OK)
        return nullptr;
    return static_cast<I*>(p);
}

class HostParts : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host = KAVNewObject<TTestHost>(&destroyed);
        ASSERT_NE(host, nullptr);
    }
    void TearDown() override
    {
        EXPECT_EQ(host->useCount(), 1u);
        host->Release();
        EXPECT_TRUE(destroyed);
    }
    bool destroyed = false;
    TTestHost* host = nullptr;
};

TEST_F(HostParts, TimeConvertAcceptsOnlySameFormatOrFormatZeroTarget)
{
    IMPTimeInfo* time = ask<IMPTimeInfo>(host);
    ASSERT_NE(time, nullptr);
    struct Case {
        int from;
        int to;
        HRESULT expected;
    };
    const HRESULT bad = static_cast<HRESULT>(0x80001100u);
    const Case cases[] = {
        {1, 1, S_OK}, {2, 2, S_OK}, {3, 3, S_OK},         // same format
        {1, 0, S_OK}, {2, 0, S_OK}, {3, 0, S_OK},         // known format to 0
        {1, 2, bad},  {2, 1, bad},  {3, 1, bad},          // two different known formats
        {0, 0, bad},  {0, 1, bad},  {-1, -1, bad}, {-2, 0, bad}, // from 0 or negative
        {4, 4, bad},  {4, 0, bad},  {1, 4, bad},  {2, 7, bad},   // above 3
        {1, -1, bad},
    };
    for (const Case& c : cases) {
        std::int64_t out = 4242;
        EXPECT_EQ(time->MPTimeConvert(960, static_cast<_MPTIME_FORMAT>(c.from), 0, &out,
                                      static_cast<_MPTIME_FORMAT>(c.to), 0),
                  c.expected)
            << "from " << c.from << " to " << c.to;
        EXPECT_EQ(out, 4242); // no conversion ever takes place
    }
    time->Release();
}

TEST_F(HostParts, TimeDataAndUnsupportedConversions)
{
    IMPTimeInfo* time = ask<IMPTimeInfo>(host);
    ASSERT_NE(time, nullptr);
    struct Case {
        int format;
        HRESULT expected;
        std::uint32_t value;
    };
    const Case cases[] = {{1, S_OK, 1}, {2, S_OK, 960}, {3, static_cast<HRESULT>(0x80001100u), 0},
                          {0, static_cast<HRESULT>(0x80001100u), 0}, {-5, static_cast<HRESULT>(0x80001100u), 0}};
    for (const Case& c : cases) {
        std::uint32_t data = 0;
        EXPECT_EQ(time->MPGetTimeData(static_cast<_MPTIME_FORMAT>(c.format), &data), c.expected) << c.format;
        EXPECT_EQ(data, c.value) << c.format;
    }
    EXPECT_EQ(time->MPGetTimeData(MPTF_FORMAT2, nullptr), E_INVALIDARG);

    std::uint32_t m = 0, b = 0, t = 0;
    std::int64_t when = 0;
    EXPECT_EQ(time->MPTimeToMBT(0, MPTF_FORMAT2, 0, &m, &b, &t), E_NOTIMPL);
    EXPECT_EQ(time->MPMBTToTime(1, 1, 0, &when, MPTF_FORMAT2, 0), E_NOTIMPL);
    time->Release();
}

TEST_F(HostParts, QtHostKnowsTheApplicationObject)
{
    IMPQTBasedHost* qt = ask<IMPQTBasedHost>(host);
    ASSERT_NE(qt, nullptr);
    std::uint32_t info = 0;
    EXPECT_EQ(qt->QTGetInformation(info), S_OK);
    EXPECT_EQ(info, 1u);

    ASSERT_NE(qApp, nullptr);
    EXPECT_EQ(qt->QTIdenticalHost(qApp), S_OK);
    EXPECT_EQ(qt->QTIdenticalHost(nullptr), E_FAIL);
    int notAnApplication = 0;
    EXPECT_EQ(qt->QTIdenticalHost(&notAnApplication), E_FAIL);
    qt->Release();
}

TEST_F(HostParts, OutputForwardsToTheHostDispatchAndPassesItsResult)
{
    IMPAsyncOutput* output = ask<IMPAsyncOutput>(host);
    ASSERT_NE(output, nullptr);
    tagMPEVENT e{};
    e.type = MPEVENT_NOTEON;
    e.port = 4;
    e.data.bytes[0] = 60;

    EXPECT_EQ(output->MPOutput(e, MPASYNC_SENDNOW), S_OK);
    host->dispatchResult = E_FAIL; // e.g. no open output for the port
    EXPECT_EQ(output->MPOutput(e, MPASYNC_DEFERRED), E_FAIL);

    ASSERT_EQ(host->sentEvents.size(), 2u);
    EXPECT_EQ(host->sentEvents[0].port, 4u);
    EXPECT_EQ(host->sentEvents[0].data.bytes[0], 60);
    EXPECT_EQ(host->sentModes[0], MPASYNC_SENDNOW);
    EXPECT_EQ(host->sentModes[1], MPASYNC_DEFERRED);

    // Cleared dispatch: nobody to send to.
    host->output()->setOutputDispatch(nullptr);
    EXPECT_EQ(output->MPOutput(e, MPASYNC_SENDNOW), E_FAIL);
    EXPECT_EQ(host->sentEvents.size(), 2u);
    output->Release();
}

// Components send from their own threads, each with its own reference on the output.
TEST_F(HostParts, OutputFromSeveralThreads)
{
    constexpr int kThreads = 4;
    constexpr int kEvents = 500;
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([this, t] {
            for (int i = 0; i < kEvents; ++i) {
                IMPAsyncOutput* output = ask<IMPAsyncOutput>(host);
                if (!output)
                    return;
                tagMPEVENT e{};
                e.type = MPEVENT_CONTROL;
                e.port = static_cast<std::uint32_t>(t + 1);
                output->MPOutput(e, MPASYNC_SENDNOW);
                output->Release();
            }
        });
    }
    for (std::thread& sender : senders)
        sender.join();
    EXPECT_EQ(host->sentEvents.size(), static_cast<std::size_t>(kThreads * kEvents));
    std::vector<int> perPort(kThreads + 1, 0);
    for (const tagMPEVENT& e : host->sentEvents)
        if (e.port >= 1 && e.port <= kThreads)
            ++perPort[e.port];
    for (int port = 1; port <= kThreads; ++port)
        EXPECT_EQ(perPort[port], kEvents) << port;
}

TEST(OutputAlone, WithoutHostFails)
{
    auto* output = KAVNewObject<ClientIMPAsyncOutput>(nullptr, IID_IMPAsyncOutput, false);
    ASSERT_NE(output, nullptr);
    tagMPEVENT e{};
    EXPECT_EQ(output->MPOutput(e, MPASYNC_SENDNOW), E_FAIL);
    EXPECT_EQ(output->Release(), 0u);
}

// A part answers IUnknown with the aggregate and counts on it, never on itself.
TEST_F(HostParts, PartsAnswerForTheAggregate)
{
    IMPAsyncOutput* output = ask<IMPAsyncOutput>(host);
    IMPTimeInfo* time = ask<IMPTimeInfo>(host);
    IMPQTBasedHost* qt = ask<IMPQTBasedHost>(host);
    IConnectionPointContainer* cpc = ask<IConnectionPointContainer>(host);
    ASSERT_TRUE(output && time && qt && cpc);
    EXPECT_EQ(host->useCount(), 5u);

    for (IUnknown* part : {static_cast<IUnknown*>(output), static_cast<IUnknown*>(time),
                           static_cast<IUnknown*>(qt), static_cast<IUnknown*>(cpc)}) {
        IUnknown* identity = ask<IUnknown>(part);
        EXPECT_EQ(identity, static_cast<IUnknown*>(host));
        EXPECT_EQ(host->useCount(), 6u);
        identity->Release();
        // Parts reach each other through the aggregate.
        IMPTimeInfo* viaPart = ask<IMPTimeInfo>(part);
        EXPECT_EQ(viaPart, time);
        viaPart->Release();
    }
    EXPECT_EQ(host->output()->useCount(), 1u);

    void* none = &none;
    EXPECT_EQ(output->QueryInterface(IID_IStream, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    output->Release();
    time->Release();
    qt->Release();
    cpc->Release();
}

} // namespace
