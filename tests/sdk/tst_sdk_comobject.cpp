// The implementation-object pattern: counting, aggregation, queries, traces, registration.
#include <kav/KAVComObject.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> g_traces;
void captureTrace(const char* text) { g_traces.emplace_back(text); }

struct TraceCapture {
    TraceCapture()
    {
        g_traces.clear();
        previous = NS_KAV::setTraceHook(&captureTrace);
    }
    ~TraceCapture() { NS_KAV::setTraceHook(previous); }
    NS_KAV::TraceHook previous;
};

int g_destroyed = 0;

class TestStandalone : public TKAVComObject<TestStandalone, IMPAsyncOutput> {
public:
    static constexpr char kClassName[] = "TestStandalone";
    using TKAVComObject::TKAVComObject;
    ~TestStandalone() override { ++g_destroyed; }
    HRESULT MPOutput(const tagMPEVENT&, _MPASYNC_MODE) override { return S_OK; }
};

// A part of TestOuter.
class TestPart : public TKAVComObject<TestPart, IMPTimeInfo> {
public:
    static constexpr char kClassName[] = "TestPart";
    using TKAVComObject::TKAVComObject;
    ~TestPart() override { ++g_destroyed; }
    HRESULT MPTimeConvert(std::int64_t, _MPTIME_FORMAT, std::uint32_t, std::int64_t*, _MPTIME_FORMAT,
                          std::uint32_t) override { return E_NOTIMPL; }
    HRESULT MPTimeToMBT(std::int64_t, _MPTIME_FORMAT, std::uint32_t, std::uint32_t*, std::uint32_t*,
                        std::uint32_t*) override { return E_NOTIMPL; }
    HRESULT MPMBTToTime(std::uint32_t, std::uint32_t, std::uint32_t, std::int64_t*, _MPTIME_FORMAT,
                        std::uint32_t) override { return E_NOTIMPL; }
    HRESULT MPGetTimeData(_MPTIME_FORMAT, std::uint32_t*) override { return E_NOTIMPL; }
};

// An aggregate answering IUnknown itself and IMPTimeInfo through its part.
class TestOuter : public TKAVComObject<TestOuter, IUnknown> {
public:
    static constexpr char kClassName[] = "TestOuter";
    using TKAVComObject::TKAVComObject;
    HRESULT Init() override
    {
        m_part = KAVNewObject<TestPart>(static_cast<IUnknown*>(this), IID_IMPTimeInfo, false);
        return m_part ? S_OK : E_OUTOFMEMORY;
    }
    ~TestOuter() override
    {
        if (m_part)
            m_part->Release(); // our count is 0 now, so this destroys the part
        ++g_destroyed;
    }
    HRESULT AggrQueryInterface(const CFUUIDBytes& riid, void** ppv) override
    {
        return QueryPart(m_part, riid, ppv);
    }
    TestPart* m_part = nullptr;
};

class TestFailingInit : public TKAVComObject<TestFailingInit, IMPAsyncOutput> {
public:
    static constexpr char kClassName[] = "TestFailingInit";
    using TKAVComObject::TKAVComObject;
    ~TestFailingInit() override { ++g_destroyed; }
    HRESULT Init() override { return E_OUTOFMEMORY; }
    HRESULT MPOutput(const tagMPEVENT&, _MPASYNC_MODE) override { return S_OK; }
};

// An aggregate whose initialisation fails after it has made its part.
class TestOuterFailingLate : public TestOuter {
public:
    using TestOuter::TestOuter;
    HRESULT Init() override
    {
        TestOuter::Init();
        return E_FAIL;
    }
};

class ComObjectTest : public ::testing::Test {
protected:
    void SetUp() override { g_destroyed = 0; }
};

TEST_F(ComObjectTest, StandaloneCountsAndDestroysAtZero)
{
    auto* object = KAVNewObject<TestStandalone>(nullptr, IID_IMPAsyncOutput, false);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->useCount(), 1u);
    EXPECT_EQ(object->AddRef(), 2u);
    EXPECT_EQ(object->Release(), 1u);
    EXPECT_EQ(g_destroyed, 0);
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_EQ(g_destroyed, 1);
}

TEST_F(ComObjectTest, QueryAnswersIUnknownAndOwnInterfaceOnly)
{
    auto* object = KAVNewObject<TestStandalone>(nullptr, IID_IMPAsyncOutput, false);
    void* out = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_IMPAsyncOutput, &out), S_OK);
    EXPECT_EQ(out, static_cast<IMPAsyncOutput*>(object));
    EXPECT_EQ(object->useCount(), 2u);
    ASSERT_EQ(object->QueryInterface(IID_IUnknown, &out), S_OK);
    EXPECT_EQ(out, static_cast<IUnknown*>(object));
    EXPECT_EQ(object->useCount(), 3u);

    out = reinterpret_cast<void*>(0x1); // must be cleared
    EXPECT_EQ(object->QueryInterface(IID_IMPEventQueue, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(object->useCount(), 3u);
    EXPECT_EQ(object->QueryInterface(IID_IMPAsyncOutput, nullptr), E_POINTER);

    object->Release();
    object->Release();
    EXPECT_EQ(object->Release(), 0u);
}

TEST_F(ComObjectTest, PartQueryForIUnknownReturnsOuterAndCountsOnIt)
{
    auto* outer = KAVNewObject<TestOuter>(nullptr, IID_IUnknown, false);
    ASSERT_NE(outer, nullptr);
    TestPart* part = outer->m_part;

    void* out = nullptr;
    ASSERT_EQ(part->QueryInterface(IID_IUnknown, &out), S_OK);
    EXPECT_EQ(out, static_cast<IUnknown*>(outer));
    EXPECT_EQ(outer->useCount(), 2u);
    EXPECT_EQ(part->useCount(), 1u);

    // AddRef on the part also counts on the outer object.
    EXPECT_EQ(part->AddRef(), 3u);
    EXPECT_EQ(part->useCount(), 1u);
    EXPECT_EQ(part->Release(), 2u);
    outer->Release();
    EXPECT_EQ(outer->Release(), 0u);
    EXPECT_EQ(g_destroyed, 2); // outer and part
}

TEST_F(ComObjectTest, OuterAnswersForItsPart)
{
    auto* outer = KAVNewObject<TestOuter>(nullptr, IID_IUnknown, false);
    void* out = nullptr;
    ASSERT_EQ(outer->QueryInterface(IID_IMPTimeInfo, &out), S_OK);
    EXPECT_EQ(out, static_cast<IMPTimeInfo*>(outer->m_part));
    EXPECT_EQ(outer->useCount(), 2u);
    static_cast<IMPTimeInfo*>(out)->Release();

    out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(outer->QueryInterface(IID_IStream, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(outer->Release(), 0u);
}

TEST_F(ComObjectTest, AggregateLivesWhilePartReferencesExist)
{
    auto* outer = KAVNewObject<TestOuter>(nullptr, IID_IUnknown, false);
    IMPTimeInfo* time = nullptr;
    ASSERT_EQ(outer->QueryInterface(IID_IMPTimeInfo, reinterpret_cast<void**>(&time)), S_OK);

    EXPECT_EQ(outer->Release(), 1u); // the creator's reference
    EXPECT_EQ(g_destroyed, 0);
    EXPECT_EQ(time->MPGetTimeData(MPTF_FORMAT1, nullptr), E_NOTIMPL); // still usable
    EXPECT_EQ(time->Release(), 0u);
    EXPECT_EQ(g_destroyed, 2);
}

TEST_F(ComObjectTest, NonDelegatingQueryStaysOnThePart)
{
    auto* outer = KAVNewObject<TestOuter>(nullptr, IID_IUnknown, false);
    TestPart* part = outer->m_part;
    void* out = nullptr;
    ASSERT_EQ(part->NonDelegatingQuery(IID_IUnknown, &out), S_OK);
    EXPECT_EQ(out, static_cast<IMPTimeInfo*>(part)); // the part itself, not the outer
    EXPECT_EQ(outer->useCount(), 2u);                // but counted on the outer
    part->Release();

    // The part's own query does not know the outer's interfaces.
    out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(part->NonDelegatingQuery(IID_IMPAsyncOutput, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(outer->Release(), 0u);
}

// Components count host objects from MIDI and worker threads; the object must survive every
// pairing and be destroyed exactly once by the last Release.
TEST_F(ComObjectTest, CountingFromManyThreadsDestroysOnce)
{
    auto* outer = KAVNewObject<TestOuter>(nullptr, IID_IUnknown, false);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([outer] {
            for (int i = 0; i < 5000; ++i) {
                outer->m_part->AddRef(); // counts on the outer object
                outer->m_part->Release();
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(outer->useCount(), 1u);
    EXPECT_EQ(g_destroyed, 0);
    EXPECT_EQ(outer->Release(), 0u);
    EXPECT_EQ(g_destroyed, 2);
}

TEST_F(ComObjectTest, AggregateFailingInitAfterMakingPartsIsDestroyedOnce)
{
    g_destroyed = 0;
    EXPECT_EQ(KAVNewObject<TestOuterFailingLate>(nullptr, IID_IUnknown, false), nullptr);
    EXPECT_EQ(g_destroyed, 2); // the part and the outer object, each once
}

TEST_F(ComObjectTest, FailingInitGivesNullAndDestroys)
{
    EXPECT_EQ(KAVNewObject<TestFailingInit>(nullptr, IID_IMPAsyncOutput, false), nullptr);
    EXPECT_EQ(g_destroyed, 1);
}

TEST_F(ComObjectTest, TraceTextsCarryTheClassName)
{
    TraceCapture capture;
    auto* object = KAVNewObject<TestStandalone>(nullptr, IID_IMPAsyncOutput, false);
    object->AddRef();
    object->Release();
    object->Release();
    const std::vector<std::string> expected = {
        "TestStandalone::TestStandalone() Constructor called - useCount: 1",
        "TestStandalone:: AddRef() yields:2",
        "TestStandalone::Release() yields:1",
        "TestStandalone::Release() yields:0",
    };
    EXPECT_EQ(g_traces, expected);
}

TEST_F(ComObjectTest, PartTracesCountingOnTheOuter)
{
    auto* outer = KAVNewObject<TestOuter>(nullptr, IID_IUnknown, false);
    TraceCapture capture;
    outer->m_part->AddRef();
    outer->m_part->Release();
    const std::vector<std::string> expected = {
        "TestOuter:: AddRef() yields:2",
        "TestOuter::Release() yields:1",
    };
    EXPECT_EQ(g_traces, expected);
    outer->Release();
}

TEST_F(ComObjectTest, TracesAreDiscardedWithoutHook)
{
    g_traces.clear();
    NS_KAV::TraceHook previous = NS_KAV::setTraceHook(nullptr);
    COMPRINTF("%s %d", "ignored", 1);
    NS_KAV::setTraceHook(previous);
    EXPECT_TRUE(g_traces.empty());
}

TEST_F(ComObjectTest, FactoryRegistrationCountsLiveInstances)
{
    static constexpr CFUUIDBytes factory = NS_KAV::uuid("8D0BF732-B36F-480E-9CF9-B24E226247C4");
    static int added = 0;
    static int removed = 0;
    NS_KAV::setFactoryInstanceHooks([](const CFUUIDBytes& id) { added += IsEqualIID(id, factory); },
                                    [](const CFUUIDBytes& id) { removed += IsEqualIID(id, factory); });

    auto* registered = KAVNewObject<TestStandalone>(nullptr, factory, true);
    auto* unregistered = KAVNewObject<TestStandalone>(nullptr, factory, false);
    EXPECT_EQ(NS_KAV::factoryInstanceCount(factory), 1u);
    EXPECT_TRUE(registered->registeredWithFactory());
    EXPECT_FALSE(unregistered->registeredWithFactory());
    EXPECT_EQ(added, 1);

    unregistered->Release();
    registered->Release();
    EXPECT_EQ(NS_KAV::factoryInstanceCount(factory), 0u);
    EXPECT_EQ(removed, 1);
    NS_KAV::setFactoryInstanceHooks(nullptr, nullptr);
}

} // namespace
