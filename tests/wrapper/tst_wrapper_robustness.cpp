// Components are untrusted: failing calls, success without objects, garbage left in
// out-parameters and absurd counts never crash the wrapper, and whatever a component hands
// over with success is freed (the sanitizer builds check both).

#include "TWrapperFixture.h"

#include <QFile>

#include <dlfcn.h>

namespace {

// The misbehaving component of tests/wrapper/unruly and its controls.
class TUnruly {
public:
    TUnruly()
        : m_handle(dlopen(QFile::encodeName(QStringLiteral(MW_UNRULY_BUNDLE "/Unruly.so")).constData(),
                          RTLD_NOW | RTLD_LOCAL))
    {
        EXPECT_NE(m_handle, nullptr) << dlerror();
        EXPECT_NE(TBundle::create(QStringLiteral(MW_UNRULY_BUNDLE)), nullptr);
    }
    void setMode(const char* mode) const
    {
        if (auto f = reinterpret_cast<void (*)(const char*)>(symbol("UnrulySetMode")))
            f(mode);
    }
    int liveObjects() const { return call("UnrulyLiveObjects"); }
    int disconnects() const { return call("UnrulyDisconnects"); }
    static TPlugDescription description()
    {
        return describe(QStringLiteral(MW_UNRULY_BUNDLE), NS_KAV::uuid(MW_UNRULY_CLSID), "Unruly");
    }

private:
    void* symbol(const char* name) const { return m_handle ? dlsym(m_handle, name) : nullptr; }
    int call(const char* name) const
    {
        auto f = reinterpret_cast<int (*)()>(symbol(name));
        return f ? f() : -1;
    }
    void* m_handle; // never closed: the host keeps the module loaded anyway
};

struct TUnrulyCase {
    const char* mode;
    bool hasPage;      // a page class was kept
    bool hasRecall;    // a Ravuz Uzuvuv interface was kept
    bool hasFilter;
    const char* error; // translateErrorCode(E_FAIL)
};

void PrintTo(const TUnrulyCase& c, std::ostream* os) { *os << c.mode; }

class TUntrustedComponent : public TWrapperTest, public ::testing::WithParamInterface<TUnrulyCase> {};

} // namespace

TEST_P(TUntrustedComponent, SurvivesAndLetsGo)
{
    const TUnrulyCase& c = GetParam();
    TUnruly unruly;
    unruly.setMode(c.mode);
    const int live = unruly.liveObjects();

    bool ok = false;
    CKAVWrapper* wrapper = instantiate(TUnruly::description(), &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(wrapper->pageClass() != nullptr, c.hasPage);
    EXPECT_EQ(wrapper->totalRecall() != nullptr, c.hasRecall);
    EXPECT_EQ(wrapper->eventFilter() != nullptr, c.hasFilter);
    EXPECT_EQ(wrapper->recallEnabled(), c.hasRecall);
    // A failed option query writes a mask; it is not taken.
    EXPECT_EQ(wrapper->optionMask(), 0u);
    // Icons that came with a failure or S_FALSE are not used.
    EXPECT_TRUE(wrapper->iconLocation(1).isEmpty());
    EXPECT_EQ(wrapper->translateErrorCode(E_FAIL), QString::fromLatin1(c.error));
    EXPECT_EQ(wrapper->getPersistStream(), nullptr);
    EXPECT_FALSE(wrapper->icon().isNull());

    // The editor cannot open (not hosted yet), but asking must be harmless.
    wrapper->propPageShow();
    EXPECT_FALSE(wrapper->isPropPageVisible());

    const int disconnects = unruly.disconnects();
    delete wrapper;
    EXPECT_EQ(unruly.disconnects(), disconnects + 1);
    EXPECT_EQ(unruly.liveObjects(), live);
}

INSTANTIATE_TEST_SUITE_P(
    Wrapper, TUntrustedComponent,
    ::testing::Values(
        // GetPages fails with garbage in the record; icons and error text fail with garbage.
        TUnrulyCase{"", false, true, true, "-2147483640"},
        // One identifier allocated, 0xFFFFFFFF reported: only the first is ever read.
        TUnrulyCase{"pagesHugeCount,errorEmpty", true, true, true, "-2147483640"},
        TUnrulyCase{"pagesNullArray,errorNull", false, true, true, "-2147483640"},
        // An array handed over with a count of 0 is freed, not used.
        TUnrulyCase{"pagesZeroCount,iconsFalse", false, true, true, "-2147483640"},
        // "Success" without objects, and failures that leave a pointer behind, answer nothing.
        TUnrulyCase{"nullAnswers", false, false, false, "-2147483640"},
        TUnrulyCase{"failWithGarbage", false, false, false, "-2147483640"}),
    [](const ::testing::TestParamInfo<TUnrulyCase>& info) {
        std::string name = *info.param.mode ? info.param.mode : "failuresWithGarbage";
        for (char& ch : name)
            if (ch == ',')
                ch = '_';
        return name;
    });

TEST_F(TWrapperTest, HugePageCountKeepsTheFirstIdentifier)
{
    TUnruly unruly;
    unruly.setMode("pagesHugeCount");
    CKAVWrapper* wrapper = instantiate(TUnruly::description());
    ASSERT_NE(wrapper->pageClass(), nullptr);
    CFUUIDBytes expected;
    std::memset(&expected, 0xAB, sizeof expected);
    EXPECT_EQ(*wrapper->pageClass(), expected);
    delete wrapper;
}

TEST_F(TWrapperTest, ComponentWithoutConnectionInterfaceIsRefused)
{
    TUnruly unruly;
    unruly.setMode("noInitialise");
    const int live = unruly.liveObjects();
    TTraceRecorder traces;

    bool ok = true;
    CKAVWrapper* wrapper = instantiate(TUnruly::description(), &ok);
    EXPECT_FALSE(ok);
    EXPECT_NE(wrapper->component(), nullptr);
    EXPECT_EQ(wrapper->initialise(), nullptr);
    EXPECT_TRUE(traces.traces().contains("Failed to get interface."));

    // Never connected, so never disconnected; the instance is released with the wrapper.
    const int disconnects = unruly.disconnects();
    delete wrapper;
    EXPECT_EQ(unruly.disconnects(), disconnects);
    EXPECT_EQ(unruly.liveObjects(), live);
}

// Error texts of a well-behaved component and of one without Ravuz Uzuvuv.
struct TErrorCase {
    const char* bundle;
    CFUUIDBytes clsid;
    std::int32_t code;
    const char* text;
};

void PrintTo(const TErrorCase& c, std::ostream* os) { *os << c.bundle << " " << c.code; }

class TErrorText : public TWrapperTest, public ::testing::WithParamInterface<TErrorCase> {};

TEST_P(TErrorText, TranslatesCodes)
{
    const TErrorCase& c = GetParam();
    probe(c.bundle);
    CKAVWrapper* wrapper = instantiate(describe(TestBundles::bundlePath(c.bundle), c.clsid));
    EXPECT_EQ(wrapper->translateErrorCode(c.code), QString::fromLatin1(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Wrapper, TErrorText,
    ::testing::Values(
        // NoSetup has no Ravuz Uzuvuv interface: the signed decimal, minus sign included.
        TErrorCase{"NoSetup", TestBundles::kNoSetup, E_FAIL, "-2147483640"},
        TErrorCase{"NoSetup", TestBundles::kNoSetup, E_NOTIMPL, "-2147483647"},
        TErrorCase{"NoSetup", TestBundles::kNoSetup, MP_SYNC_CANCELLED, "1223"},
        TErrorCase{"NoSetup", TestBundles::kNoSetup, 0, "0"},
        TErrorCase{"Probe", TestBundles::kProbe, E_FAIL, "Probe error -2147483640"},
        TErrorCase{"Probe", TestBundles::kProbe, 7, "Probe error 7"}));

TEST_F(TWrapperTest, ErrorTextOfAWrapperWithoutComponentIsTheNumber)
{
    CKAVWrapper* wrapper = makeWrapper(describe(TestBundles::bundlePath("Probe"), TestBundles::kProbe));
    EXPECT_EQ(wrapper->translateErrorCode(static_cast<std::int32_t>(0x80000008u)), QStringLiteral("-2147483640"));
}
