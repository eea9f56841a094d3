// The bundle layer: Info.json reading, module loading failures, factory look-up and
// instance counting per factory.

#include "CreateIUnknown.h"
#include "TBundle.h"
#include "TPluginFolder.h"
#include "TProbeAccess.h"
#include "TestComponentIds.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

TBundle* testBundle(const QString& name) { return TBundle::create(TestBundles::bundlePath(name)); }

} // namespace

TEST(TBundle, ReadsInfoAndReturnsOneObjectPerDirectory)
{
    TPluginFolder folder;
    ASSERT_TRUE(folder.addBundle("Probe", "Linked"));
    TBundle* bundle = testBundle("Probe");
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(bundle->stringValue("Executable"), "Probe.so");
    EXPECT_EQ(TBundle::create(folder.entryPath("Linked.bundle")), bundle);
    EXPECT_EQ(TBundle::create(TestBundles::dir() + "/./Probe.bundle/"), bundle);
}

TEST(TBundle, NonBundlesGiveNull)
{
    TPluginFolder folder;
    TWarningRecorder warnings;
    EXPECT_EQ(TBundle::create({}), nullptr);
    EXPECT_EQ(TBundle::create(folder.entryPath("missing.bundle")), nullptr);
    EXPECT_EQ(testBundle("NotABundle"), nullptr); // a module but no Info.json
    EXPECT_EQ(TBundle::create(TestBundles::modulePath("Probe")), nullptr); // a file
    EXPECT_EQ(testBundle("DamagedInfo"), nullptr);
    EXPECT_TRUE(warnings.contains("not a JSON object"));
    EXPECT_EQ(TBundle::create(folder.writeBundle("Array", "[1, 2, 3]")), nullptr);
    EXPECT_EQ(TBundle::create(folder.writeBundle("Empty", "")), nullptr);
}

TEST(TBundle, OversizedInfoIsNotRead)
{
    TPluginFolder folder;
    TWarningRecorder warnings;
    QByteArray info = "{ \"Executable\": \"x.so\", \"Padding\": \"";
    info.append(QByteArray(kMaxBundleInfoSize, 'x'));
    info.append("\" }");
    EXPECT_EQ(TBundle::create(folder.writeBundle("Huge", info)), nullptr);
    EXPECT_TRUE(warnings.contains("larger than"));
}

TEST(TBundle, ValuesOfTheWrongTypeReadAsMissing)
{
    TWarningRecorder warnings;
    TBundle* bundle = testBundle("WrongTypes");
    ASSERT_NE(bundle, nullptr);
    EXPECT_TRUE(bundle->stringValue("Executable").isEmpty());
    EXPECT_TRUE(bundle->stringValue("MW2_KEY_PLUGIN_NAME").isEmpty());
    EXPECT_TRUE(bundle->stringValue("MW2_KEY_ICON_URL").isEmpty());
    EXPECT_FALSE(bundle->loadModule());
    EXPECT_TRUE(warnings.contains("no usable \"Executable\""));
}

// Loading must fail cleanly: a null instance and a warning, never a crash.
struct TBrokenCase {
    const char* bundle;
    CFUUIDBytes factory;
    const char* warning;
};

void PrintTo(const TBrokenCase& c, std::ostream* os) { *os << c.bundle; }

class TBrokenBundle : public ::testing::TestWithParam<TBrokenCase> {};

TEST_P(TBrokenBundle, CreationFailsWithAWarning)
{
    const TBrokenCase& c = GetParam();
    TWarningRecorder warnings;
    ASSERT_NE(testBundle(c.bundle), nullptr);
    for (int attempt = 0; attempt < 2; ++attempt) // a second attempt fails the same way
        EXPECT_EQ(CreateIUnknown(IID_IMPInitialise, c.factory), nullptr);
    EXPECT_TRUE(warnings.contains(c.warning)) << warnings.warnings().join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Bundles, TBrokenBundle,
                         ::testing::Values(TBrokenCase{"MissingModule", TestBundles::kMissingModule, "is missing"},
                                           TBrokenCase{"NotShared", TestBundles::kNotShared, "cannot load"},
                                           TBrokenCase{"MissingFactory", TestBundles::kMissingFactory,
                                                       "lacks the factory function NoSuchFactory"}),
                         [](const auto& info) { return std::string(info.param.bundle); });

TEST(TBundle, ExecutableMustStayInsideTheBundle)
{
    TPluginFolder folder;
    TWarningRecorder warnings;
    const QByteArray info = "{ \"Executable\": \"../../" + QFile::encodeName(TestBundles::modulePath("Probe"))
        + "\", \"Factories\": { \"C0FFEE00-0000-4000-8000-0000000000E1\": \"ProbeFactory\" },"
          " \"Types\": { \"0958ECA1-6709-4267-9696-33D56FEC4F6A\": [\"C0FFEE00-0000-4000-8000-0000000000E1\"] } }";
    TBundle* bundle = TBundle::create(folder.writeBundle("Escaping", info));
    ASSERT_NE(bundle, nullptr);
    EXPECT_FALSE(bundle->loadModule());
    EXPECT_EQ(CreateIUnknown(IID_IMPInitialise, NS_KAV::uuid("C0FFEE00-0000-4000-8000-0000000000E1")), nullptr);
    EXPECT_TRUE(warnings.contains("no usable \"Executable\""));
}

TEST(TBundle, UnknownFactoryOrTypeGivesNull)
{
    TWarningRecorder warnings;
    ASSERT_NE(testBundle("Probe"), nullptr);
    EXPECT_EQ(TBundle::createInstance(NS_KAV::uuid("C0FFEE00-0000-4000-8000-0000000000FF"), IID_IMPInitialise), nullptr);
    EXPECT_EQ(TBundle::createInstance(CFUUIDBytes{}, IID_IMPInitialise), nullptr);
    // The component factory does not make pages, nor the page factory components.
    EXPECT_EQ(TBundle::createInstance(TestBundles::kProbe, IID_IPropertyPage), nullptr);
    EXPECT_EQ(TBundle::createInstance(TestBundles::kProbePage, IID_IMPInitialise), nullptr);
    EXPECT_TRUE(warnings.contains("does not create type"));
    EXPECT_TRUE(TBundle::factoriesForType(IID_IMPInitialise).contains(TestBundles::kProbe));
    EXPECT_TRUE(TBundle::factoriesForType(IID_IPropertyPage).contains(TestBundles::kProbePage));
}

TEST(TBundle, ASecondBundleCannotTakeOverAFactory)
{
    TPluginFolder folder;
    TWarningRecorder warnings;
    ASSERT_NE(testBundle("Probe"), nullptr);
    const std::string info = "{ \"Executable\": \"none.so\", \"Factories\": { \""
        + NS_KAV::uuidToText(TestBundles::kProbe) + "\": \"ProbeFactory\" }, \"Types\": { \""
        + NS_KAV::uuidToText(IID_IMPInitialise) + "\": [\"" + NS_KAV::uuidToText(TestBundles::kProbe) + "\"] } }";
    ASSERT_NE(TBundle::create(folder.writeBundle("Impostor", QByteArray::fromStdString(info))), nullptr);
    EXPECT_TRUE(warnings.contains("already offered"));
    IUnknown* instance = TBundle::createInstance(TestBundles::kProbe, IID_IMPInitialise);
    ASSERT_NE(instance, nullptr);
    instance->Release();
}

TEST(TBundle, InstancesAreCountedPerFactory)
{
    ASSERT_NE(testBundle("Probe"), nullptr);
    const std::uint32_t components = TBundle::instanceCount(TestBundles::kProbe);
    const std::uint32_t pages = TBundle::instanceCount(TestBundles::kProbePage);

    IUnknown* first = CreateIUnknown(IID_IMPInitialise, TestBundles::kProbe);
    IUnknown* second = CreateIUnknown(IID_IMPInitialise, TestBundles::kProbe);
    IUnknown* page = CreateIUnknown(IID_IPropertyPage, TestBundles::kProbePage);
    ASSERT_TRUE(first && second && page);
    EXPECT_EQ(TBundle::instanceCount(TestBundles::kProbe), components + 2);
    EXPECT_EQ(TBundle::instanceCount(TestBundles::kProbePage), pages + 1);

    // A reference held on a part keeps the instance, and its count, alive.
    void* persist = nullptr;
    ASSERT_EQ(first->QueryInterface(IID_IPersistStream, &persist), S_OK);
    first->Release();
    EXPECT_EQ(TBundle::instanceCount(TestBundles::kProbe), components + 2);
    static_cast<IPersistStream*>(persist)->Release();
    EXPECT_EQ(TBundle::instanceCount(TestBundles::kProbe), components + 1);

    second->Release();
    page->Release();
    EXPECT_EQ(TBundle::instanceCount(TestBundles::kProbe), components);
    EXPECT_EQ(TBundle::instanceCount(TestBundles::kProbePage), pages);
}

TEST(TBundle, CreationAndCountingFromManyThreads)
{
    ASSERT_NE(testBundle("Probe"), nullptr);
    const std::uint32_t before = TBundle::instanceCount(TestBundles::kProbe);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&failures] {
            for (int i = 0; i < 50; ++i) {
                IUnknown* instance = CreateIUnknown(IID_IMPInitialise, TestBundles::kProbe);
                if (!instance)
                    ++failures;
                else
                    instance->Release();
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(TBundle::instanceCount(TestBundles::kProbe), before);
}

TEST(TBundle, RetainAndReleaseCountHolders)
{
    TBundle* bundle = testBundle("SingleKeys");
    ASSERT_NE(bundle, nullptr);
    const std::uint32_t before = bundle->retainCount();
    bundle->retain();
    EXPECT_EQ(bundle->retainCount(), before + 1);
    bundle->release();
    EXPECT_EQ(bundle->retainCount(), before);
}
