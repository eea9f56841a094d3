// CreateIUnknown: the factory, then IMPInstanceSetup when the instance answers it.

#include "CreateIUnknown.h"
#include "TBundle.h"
#include "TPluginFolder.h"
#include "TProbeAccess.h"
#include "TestComponentIds.h"

#include <gtest/gtest.h>

namespace {

QString setupLine(const CFUUIDBytes& factory)
{
    return QStringLiteral("IMPInstanceSetup::MPInstanceSetup(factory=%1, type=IMPInitialise)")
        .arg(QString::fromStdString(NS_KAV::uuidToText(factory)));
}

// A probe bundle examined, its log cleared and its run-time configuration reset.
struct TProbeFixture {
    explicit TProbeFixture(const QString& name)
        : probe(TestBundles::modulePath(name))
    {
        EXPECT_NE(TBundle::create(TestBundles::bundlePath(name)), nullptr);
        EXPECT_TRUE(probe.isValid());
        probe.resetConfig();
        probe.clearLog();
    }
    ~TProbeFixture() { probe.resetConfig(); }
    TProbeAccess probe;
};

} // namespace

TEST(CreateIUnknown, SetsUpAnInstanceThatAnswersInstanceSetup)
{
    TProbeFixture f("Probe");
    IUnknown* instance = CreateIUnknown(IID_IMPInitialise, TestBundles::kProbe);
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(f.probe.calls(), QStringList({"ProbeFactory(type=IMPInitialise)", setupLine(TestBundles::kProbe)}));
    EXPECT_TRUE(f.probe.log().contains("IUnknown::QueryInterface(IMPInstanceSetup) -> 0x0"));

    // The caller holds the only reference: the set-up reference was given back.
    EXPECT_EQ(f.probe.liveObjects(), 1);
    EXPECT_EQ(instance->Release(), 0u);
    EXPECT_EQ(f.probe.liveObjects(), 0);
    EXPECT_TRUE(f.probe.calls().contains("CompProbe::~CompProbe()"));
}

TEST(CreateIUnknown, AnInstanceWithoutInstanceSetupIsKept)
{
    TProbeFixture f("NoSetup");
    IUnknown* instance = CreateIUnknown(IID_IMPInitialise, TestBundles::kNoSetup);
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(f.probe.calls(), QStringList({"ProbeFactory(type=IMPInitialise)"}));
    EXPECT_TRUE(f.probe.log().contains("IUnknown::QueryInterface(IMPInstanceSetup) -> 0x80000004"));
    EXPECT_EQ(instance->Release(), 0u);
    EXPECT_EQ(f.probe.liveObjects(), 0);
}

TEST(CreateIUnknown, ARefusedSetupDiscardsTheInstance)
{
    TProbeFixture f("RefusingSetup");
    TWarningRecorder warnings;
    EXPECT_EQ(CreateIUnknown(IID_IMPInitialise, TestBundles::kRefusingSetup), nullptr);
    EXPECT_EQ(f.probe.calls(), QStringList({"ProbeFactory(type=IMPInitialise)", setupLine(TestBundles::kRefusingSetup),
                                            "CompProbe::~CompProbe()"}));
    EXPECT_EQ(f.probe.liveObjects(), 0);
    EXPECT_TRUE(warnings.contains("refused its set-up"));
}

// Run-time variations of the general probe.
struct TSetupCase {
    const char* config;
    bool created;
    bool setupCalled;
};

void PrintTo(const TSetupCase& c, std::ostream* os) { *os << c.config; }

class TSetupVariation : public ::testing::TestWithParam<TSetupCase> {};

TEST_P(TSetupVariation, Outcome)
{
    const TSetupCase& c = GetParam();
    TProbeFixture f("Probe");
    f.probe.configure(c.config);
    IUnknown* instance = CreateIUnknown(IID_IMPInitialise, TestBundles::kProbe);
    EXPECT_EQ(instance != nullptr, c.created);
    EXPECT_EQ(f.probe.calls().contains(setupLine(TestBundles::kProbe)), c.setupCalled);
    if (instance)
        instance->Release();
    EXPECT_EQ(f.probe.liveObjects(), 0); // a discarded instance is released, not leaked
}

INSTANTIATE_TEST_SUITE_P(
    Probe, TSetupVariation,
    ::testing::Values(TSetupCase{"setup=ok", true, true},
                      TSetupCase{"setup=fail", false, true},
                      TSetupCase{"setup=fail;setupResult=0x80000003", false, true},
                      TSetupCase{"setup=fail;setupResult=1", true, true}, // a positive result is success
                      TSetupCase{"setup=null", false, false}, // answered without an object
                      TSetupCase{"answer=IPersistStream", true, false},
                      TSetupCase{"factory=null", false, false}));

TEST(CreateIUnknown, UnknownFactoriesGiveNull)
{
    TWarningRecorder warnings;
    EXPECT_EQ(CreateIUnknown(IID_IMPInitialise, CFUUIDBytes{}), nullptr);
    EXPECT_EQ(CreateIUnknown(IID_IMPInitialise, NS_KAV::uuid("C0FFEE00-0000-4000-8000-0000000000FE")), nullptr);
    EXPECT_TRUE(warnings.contains("No plug-in offers the factory"));
}

TEST(CreateIUnknown, PagesAreCreatedWithThePageType)
{
    TProbeFixture f("Probe");
    IUnknown* page = CreateIUnknown(IID_IPropertyPage, TestBundles::kProbePage);
    ASSERT_NE(page, nullptr);
    void* answer = nullptr;
    EXPECT_EQ(page->QueryInterface(IID_IPropertyPage, &answer), S_OK);
    static_cast<IPropertyPage*>(answer)->Release();
    page->Release();
    EXPECT_EQ(f.probe.calls().first(), "ProbePageFactory(type=IPropertyPage)");
    EXPECT_EQ(f.probe.liveObjects(), 0);
}

TEST(CreateIUnknown, EarlierTotalRecallIdentifierOnly)
{
    TProbeFixture f("EarlierRecall");
    IUnknown* instance = CreateIUnknown(IID_IMPInitialise, TestBundles::kEarlierRecall);
    ASSERT_NE(instance, nullptr);
    void* recall = nullptr;
    EXPECT_EQ(instance->QueryInterface(IID_IMPTotalRecall, &recall), E_NOINTERFACE);
    EXPECT_EQ(recall, nullptr);
    ASSERT_EQ(instance->QueryInterface(IID_IMPTotalRecallEarlier, &recall), S_OK);
    ASSERT_NE(recall, nullptr);
    char16_t* first = nullptr;
    char16_t* second = nullptr;
    EXPECT_EQ(static_cast<IMPTotalRecall*>(recall)->MPGetIconURLs(&first, &second), S_OK);
    EXPECT_TRUE(f.probe.calls().contains("IMPTotalRecall::MPGetIconURLs()"));
    std::free(first);
    std::free(second);
    static_cast<IMPTotalRecall*>(recall)->Release();
    EXPECT_EQ(instance->Release(), 0u);
}
