// The host context object as an aggregate: which part answers which identifier, where the
// references count, notifications, and the order in which it takes itself apart.

#include "THostTestSupport.h"

#include "ClientIConnectionPointContainer.h"
#include "ClientIMPAsyncOutput.h"
#include "ClientIMPClientServices.h"
#include "ClientIMPQTBasedHost.h"
#include "ClientIMPTimeInfo.h"

#include <kav/KAVInterfaces.h>

namespace {

struct TLookupCase
{
    const char* name;
    CFUUIDBytes iid;
    void* (*expected)(ClientIUnknown&);
};

void* outputOf(ClientIUnknown& c) { return static_cast<IMPAsyncOutput*>(c.outputPart()); }
void* servicesOf(ClientIUnknown& c) { return static_cast<IMPClientServices2*>(c.servicesPart()); }
void* timeOf(ClientIUnknown& c) { return static_cast<IMPTimeInfo*>(c.timePart()); }
void* qtHostOf(ClientIUnknown& c) { return static_cast<IMPQTBasedHost*>(c.qtHostPart()); }
void* connectionOf(ClientIUnknown& c) { return static_cast<IConnectionPointContainer*>(c.connectionPart()); }
void* selfOf(ClientIUnknown& c) { return static_cast<IUnknown*>(&c); }

const TLookupCase kLookups[] = {
    {"AsyncOutput", IID_IMPAsyncOutput, &outputOf},
    {"ClientServices2", IID_IMPClientServices2, &servicesOf},
    {"ClientServicesBase", IID_IMPClientServices, &servicesOf},
    {"TimeInfo", IID_IMPTimeInfo, &timeOf},
    {"QtBasedHost", IID_IMPQTBasedHost, &qtHostOf},
    {"ConnectionPointContainer", IID_IConnectionPointContainer, &connectionOf},
    {"Unknown", IID_IUnknown, &selfOf},
};

void PrintTo(const TLookupCase& c, std::ostream* os)
{
    *os << c.name;
}

class ContextLookup : public ::testing::TestWithParam<TLookupCase>
{
};

TEST_P(ContextLookup, AnswersWithItsPartAndCountsOnTheAggregate)
{
    TContextPtr context = makeContext();
    ASSERT_TRUE(context);
    const TLookupCase& c = GetParam();

    void* answer = nullptr;
    ASSERT_EQ(context->QueryInterface(c.iid, &answer), S_OK);
    EXPECT_EQ(answer, c.expected(*context));
    EXPECT_EQ(context->useCount(), 2u);

    // The same identifier asked of a part comes back through the aggregate.
    void* viaPart = nullptr;
    ASSERT_EQ(context->timePart()->QueryInterface(c.iid, &viaPart), S_OK);
    EXPECT_EQ(viaPart, answer);
    EXPECT_EQ(context->useCount(), 3u);
    EXPECT_EQ(context->timePart()->useCount(), 1u) << "the part keeps its own count";

    static_cast<IUnknown*>(answer)->Release();
    static_cast<IUnknown*>(viaPart)->Release();
    EXPECT_EQ(context->useCount(), 1u);
}

INSTANTIATE_TEST_SUITE_P(HostContext, ContextLookup, ::testing::ValuesIn(kLookups),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostContextLookup, IdentifiersNoPartAnswersGiveNoInterfaceAndNull)
{
    TContextPtr context = makeContext();
    for (const CFUUIDBytes& iid : {IID_IMPEventFilter, IID_IMPInitialise, IID_IMPClientInfo,
                                   IID_IMPEventQueue, IID_IConnectionPoint, IID_IStream}) {
        void* answer = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(context->QueryInterface(iid, &answer), E_NOINTERFACE);
        EXPECT_EQ(answer, nullptr);
    }
    EXPECT_EQ(context->useCount(), 1u);
}

TEST(HostContextLookup, BothClientServicesIdentifiersGiveTheSameObject)
{
    TContextPtr context = makeContext();
    void* base = nullptr;
    void* derived = nullptr;
    ASSERT_EQ(context->QueryInterface(IID_IMPClientServices, &base), S_OK);
    ASSERT_EQ(context->QueryInterface(IID_IMPClientServices2, &derived), S_OK);
    EXPECT_EQ(static_cast<IMPClientServices*>(base),
              static_cast<IMPClientServices*>(static_cast<IMPClientServices2*>(derived)));
    static_cast<IUnknown*>(base)->Release();
    static_cast<IUnknown*>(derived)->Release();
}

TEST(HostContextLookup, OutputPartDispatchesToTheContext)
{
    TContextPtr context = makeContext();
    EXPECT_EQ(context->outputPart()->outputDispatch(), static_cast<TOutputDispatch*>(context.get()));
    EXPECT_EQ(context->asyncOutput(), static_cast<IMPAsyncOutput*>(context->outputPart()));
}

// --- lifetime ------------------------------------------------------------------------------

// Knows when the context object is gone.
class TWatchedContext : public ClientIUnknown
{
public:
    TWatchedContext(bool* gone) : ClientIUnknown(nullptr, IID_IUnknown, false), m_gone(gone) {}
    ~TWatchedContext() override { *m_gone = true; }

private:
    bool* m_gone;
};

TEST(HostContextLifetime, PartReferenceKeepsTheAggregateAlive)
{
    bool gone = false;
    auto* context = KAVNewObject<TWatchedContext>(&gone);
    ASSERT_TRUE(context);
    void* output = nullptr;
    ASSERT_EQ(context->QueryInterface(IID_IMPAsyncOutput, &output), S_OK);

    EXPECT_EQ(context->Release(), 1u); // the window lets go; the component still holds output
    EXPECT_FALSE(gone);
    // The part still routes (nothing open: E_FAIL, not a crash).
    EXPECT_EQ(static_cast<IMPAsyncOutput*>(output)->MPOutput(noteOn(1, 60), static_cast<_MPASYNC_MODE>(1)),
              E_FAIL);
    EXPECT_EQ(static_cast<IUnknown*>(output)->Release(), 0u);
    EXPECT_TRUE(gone);
}

// Its parts exist, then the initialisation fails: the object is deleted while its own
// count is still 1, and the parts must not hand their Release back to it.
class TFailingContext : public ClientIUnknown
{
public:
    TFailingContext() : ClientIUnknown(nullptr, IID_IUnknown, false) {}
    HRESULT Init() override
    {
        EXPECT_EQ(ClientIUnknown::Init(), S_OK);
        return E_OUTOFMEMORY;
    }
};

TEST(HostContextLifetime, FailedInitialisationDestroysThePartsOnce)
{
    EXPECT_EQ(KAVNewObject<TFailingContext>(), nullptr);
}

// --- notifications ------------------------------------------------------------------------

class TNotifySink : public IMPNotificationSink
{
public:
    TNotifySink(std::vector<std::string>* log, std::string name) : m_log(log), m_name(std::move(name)) {}
    HRESULT QueryInterface(CFUUIDBytes iid, void** ppv) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMPNotificationSink)) {
            *ppv = static_cast<IMPNotificationSink*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return ++m_refs; }
    std::uint32_t Release() override
    {
        if (--m_refs == 0)
            m_log->push_back("released " + m_name);
        return m_refs;
    }
    HRESULT MPNotify(const tagMPMSG& message) override
    {
        m_log->push_back(m_name + " notified " + std::to_string(message.id.bytes[0]));
        return E_FAIL; // ignored by the host
    }
    std::uint32_t refs() const { return m_refs; }

private:
    std::vector<std::string>* m_log;
    std::string m_name;
    std::uint32_t m_refs = 1;
};

IConnectionPoint* notificationPoint(ClientIUnknown& context)
{
    IConnectionPoint* point = nullptr;
    context.connectionPart()->FindConnectionPoint(IID_IMPNotificationSink, &point);
    return point;
}

TEST(HostContextNotify, ReachesEveryAdvisedSinkInAdvisingOrder)
{
    std::vector<std::string> log;
    TNotifySink second(&log, "second");
    TNotifySink first(&log, "first");
    {
        TContextPtr context = makeContext();
        IConnectionPoint* point = notificationPoint(*context);
        ASSERT_TRUE(point);
        std::uint32_t cookie = 0;
        ASSERT_EQ(point->Advise(&second, &cookie), S_OK);
        ASSERT_EQ(point->Advise(&first, &cookie), S_OK);
        point->Release();

        // Both points exist, in the order offered.
        IConnectionPoint* advisable = nullptr;
        EXPECT_EQ(context->connectionPart()->FindConnectionPoint(IID_IMPAdvisable, &advisable), S_OK);
        ASSERT_TRUE(advisable);
        advisable->Release();
        ASSERT_EQ(context->connectionPart()->pointCount(), 2u);

        tagMPMSG message{};
        message.id.bytes[0] = 7;
        EXPECT_EQ(context->ProxyMPNotify(message), S_OK);
        EXPECT_EQ(log, (std::vector<std::string>{"second notified 7", "first notified 7"}));
        log.clear();
    }
    // Destroying the context gave back the references the connection point held.
    EXPECT_EQ(first.refs(), 1u);
    EXPECT_EQ(second.refs(), 1u);
}

// --- destruction order ----------------------------------------------------------------------

// A context whose registry reports its deletion into the driver log.
class TLoggedRegistry : public TMIDIPortAccessor
{
public:
    explicit TLoggedRegistry(std::shared_ptr<TDriverLog> log) : m_log(std::move(log)) {}
    ~TLoggedRegistry() override { m_log->add("registry deleted"); }

private:
    std::shared_ptr<TDriverLog> m_log;
};

class TOrderContext : public ClientIUnknown
{
public:
    explicit TOrderContext(std::shared_ptr<TDriverLog> log)
        : ClientIUnknown(nullptr, IID_IUnknown, false), m_log(std::move(log))
    {
        setEndpointFactory(loggedDrivers(m_log));
    }

protected:
    TMIDIPortAccessor* createPortAccessor() override { return new TLoggedRegistry(m_log); }

private:
    std::shared_ptr<TDriverLog> m_log;
};

TEST(HostContextDestruction, OwnerFirstThenInputsOutputsRegistryAndParts)
{
    auto log = std::make_shared<TDriverLog>();
    std::vector<std::string> sinkLog;
    TNotifySink sink(&sinkLog, "sink");
    TFakeOwner owner;
    TRecordingFilter filter;
    owner.filters = {&filter};

    auto* context = KAVNewObject<TOrderContext>(log);
    ASSERT_TRUE(context);
    context->setOwner(&owner);
    ASSERT_TRUE(context->requestPort(1, 4));
    ASSERT_TRUE(context->requestPort(0, 2));
    ASSERT_TRUE(context->requestPort(1, 3));
    ASSERT_TRUE(context->requestPort(0, 1));
    IConnectionPoint* point = notificationPoint(*context);
    std::uint32_t cookie = 0;
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
    point->Release();
    const int filterCalls = owner.filterListCalls;

    log->entries.clear();
    EXPECT_EQ(context->Release(), 0u);

    EXPECT_EQ(owner.filterListCalls, filterCalls) << "the owner is not asked while tearing down";
    EXPECT_EQ(log->snapshot(), (std::vector<std::string>{"gone in 1", "gone in 2", "gone out 3",
                                                         "gone out 4", "registry deleted"}));
    EXPECT_EQ(sinkLog, std::vector<std::string>{}) << "sink still counted by the caller";
    EXPECT_EQ(sink.refs(), 1u) << "the connection part gave its reference back";
}

} // namespace
