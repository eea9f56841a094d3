// What a component receives from its wrapper, and in which order: creation, connection,
// the interface queries, icons and options, persistence and teardown.

#include "TWrapperFixture.h"

#include "ClientIMPClientServices.h"
#include "TAppMIDIIn.h"
#include "TMIDIPortAccessor.h"

#include <QUuid>

namespace {

QString qi(const char* name, const char* result = "0x0")
{
    return QStringLiteral("IUnknown::QueryInterface(%1) -> %2").arg(QLatin1String(name), QLatin1String(result));
}

const char* const kNoInterface = "0x80000004";

QStringList creationLines(const CFUUIDBytes& clsid)
{
    return {QStringLiteral("ProbeFactory(type=IMPInitialise)"), qi("IMPInstanceSetup"),
            QStringLiteral("IMPInstanceSetup::MPInstanceSetup(factory=%1, type=IMPInitialise)").arg(uuidText(clsid)),
            qi("IMPInitialise"),
            QStringLiteral("IMPInitialise::MPConnect(host=set, output=set, mode=1, value=0, flags=0x40)")};
}

// The two ways a component can offer Ravuz Uzuvuv; the wrapper must treat them alike.
struct TRecallCase {
    const char* bundle;
    CFUUIDBytes clsid;
    QStringList queriesAfterConnect; // log lines between MPConnect and MPGetIconURLs
    bool hasPages;
    bool hasFilter;
};

void PrintTo(const TRecallCase& c, std::ostream* os) { *os << c.bundle; }

class TRecallContract : public TWrapperTest, public ::testing::WithParamInterface<TRecallCase> {};

} // namespace

TEST_P(TRecallContract, CreatesConnectsAndQueriesInOrder)
{
    const TRecallCase& c = GetParam();
    TProbeAccess access = probe(c.bundle);
    access.configure("optionMask=6");
    TTraceRecorder traces;

    bool ok = false;
    CKAVWrapper* wrapper = instantiate(describe(TestBundles::bundlePath(c.bundle), c.clsid), &ok);
    ASSERT_TRUE(ok);

    QStringList expected = creationLines(c.clsid);
    expected += c.queriesAfterConnect;
    expected += {QStringLiteral("IMPTotalRecall::MPGetIconURLs()"), QStringLiteral("IMPTotalRecall::MPGetSyncOptions()")};
    EXPECT_EQ(access.log(), expected);

    EXPECT_NE(wrapper->component(), nullptr);
    EXPECT_NE(wrapper->initialise(), nullptr);
    EXPECT_NE(wrapper->totalRecall(), nullptr);
    EXPECT_EQ(wrapper->eventFilter() != nullptr, c.hasFilter);
    EXPECT_EQ(wrapper->pageClass() != nullptr, c.hasPages);
    if (c.hasPages) {
        EXPECT_EQ(*wrapper->pageClass(), TestBundles::kProbePage);
    }
    EXPECT_TRUE(wrapper->recallEnabled());
    EXPECT_EQ(wrapper->optionMask(), 6u);
    EXPECT_EQ(traces.traces().contains("KAV Component doesn't support ISpecifyPropertyPages Interface?"), !c.hasPages);

    // The Ravuz Uzuvuv interface is the one used for error texts, whichever name answered.
    access.clearLog();
    EXPECT_EQ(wrapper->translateErrorCode(E_FAIL), QStringLiteral("Probe error -2147483640"));
    EXPECT_EQ(access.calls(), QStringList({"IMPTotalRecall::MPGetErrorText(-2147483640)"}));

    access.clearLog();
    delete wrapper;
    EXPECT_EQ(access.calls(), QStringList({"IMPInitialise::MPDisconnect()", "CompProbe::~CompProbe()"}));
    EXPECT_EQ(access.liveObjects(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Wrapper, TRecallContract,
    ::testing::Values(
        TRecallCase{"Probe", TestBundles::kProbe,
                    {qi("ISpecifyPropertyPages"), "ISpecifyPropertyPages::GetPages()", qi("IMPEventFilter"),
                     qi("IMPTotalRecall")},
                    true, true},
        TRecallCase{"EarlierRecall", TestBundles::kEarlierRecall,
                    {qi("ISpecifyPropertyPages", kNoInterface), qi("IMPEventFilter", kNoInterface),
                     qi("IMPTotalRecall", kNoInterface), qi("IMPTotalRecallEarlier")},
                    false, false}),
    [](const ::testing::TestParamInfo<TRecallCase>& info) { return std::string(info.param.bundle); });

TEST_F(TWrapperTest, FailedConnectionIsReportedAndTheComponentStillLetGo)
{
    TProbeAccess access = probe("Probe");
    access.configure("connect=0x80000008");

    bool ok = true;
    CKAVWrapper* wrapper = instantiate(describe(TestBundles::bundlePath("Probe"), TestBundles::kProbe), &ok);
    EXPECT_FALSE(ok);
    // Nothing is asked after the refused connection.
    EXPECT_EQ(access.log(), creationLines(TestBundles::kProbe));
    EXPECT_EQ(wrapper->totalRecall(), nullptr);
    EXPECT_EQ(wrapper->eventFilter(), nullptr);

    // The caller discards the wrapper; the component is disconnected and released.
    access.clearLog();
    delete wrapper;
    EXPECT_EQ(access.calls(), QStringList({"IMPInitialise::MPDisconnect()", "CompProbe::~CompProbe()"}));
    EXPECT_EQ(access.liveObjects(), 0);
    EXPECT_EQ(m_view.count(), 0);
}

// Components that never come into being: the wrapper reports failure and traces why.
struct TNoInstanceCase {
    const char* bundle;
    CFUUIDBytes clsid;
    const char* config;
};

void PrintTo(const TNoInstanceCase& c, std::ostream* os) { *os << c.bundle << " " << c.config; }

class TNoInstance : public TWrapperTest, public ::testing::WithParamInterface<TNoInstanceCase> {};

TEST_P(TNoInstance, FailsWithTraceAndNeverConnects)
{
    const TNoInstanceCase& c = GetParam();
    TProbeAccess access = probe(c.bundle);
    access.configure(c.config);
    TTraceRecorder traces;

    bool ok = true;
    CKAVWrapper* wrapper = instantiate(describe(TestBundles::bundlePath(c.bundle), c.clsid), &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(wrapper->component(), nullptr);
    EXPECT_TRUE(traces.traces().contains("Failed to create instance."));
    delete wrapper;
    for (const QString& line : access.calls())
        EXPECT_FALSE(line.startsWith("IMPInitialise::")) << line.toStdString();
    EXPECT_EQ(access.liveObjects(), 0);
}

INSTANTIATE_TEST_SUITE_P(Wrapper, TNoInstance,
                         ::testing::Values(TNoInstanceCase{"Probe", TestBundles::kProbe, "factory=null"},
                                           TNoInstanceCase{"RefusingSetup", TestBundles::kRefusingSetup, ""},
                                           // A class identifier no bundle offers.
                                           TNoInstanceCase{"Probe", TestBundles::kMissingModule, ""}));

TEST_F(TWrapperTest, PersistentStreamIsAskedForOnce)
{
    TProbeAccess access = probe("Probe");
    CKAVWrapper* wrapper = instantiate(describe(TestBundles::bundlePath("Probe"), TestBundles::kProbe));
    access.clearLog();

    IPersistStream* first = wrapper->getPersistStream();
    IPersistStream* second = wrapper->getPersistStream();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(access.log(), QStringList({qi("IPersistStream")}));

    // The kept reference is given back with the rest.
    delete wrapper;
    EXPECT_EQ(access.liveObjects(), 0);
}

TEST_F(TWrapperTest, PersistentStreamOfAComponentWithoutOneIsNull)
{
    TProbeAccess access = probe("EarlierRecall");
    access.configure("answer=IMPInstanceSetup");
    CKAVWrapper* wrapper = instantiate(describe(TestBundles::bundlePath("EarlierRecall"), TestBundles::kEarlierRecall));
    EXPECT_EQ(wrapper->getPersistStream(), nullptr);
    delete wrapper;
    EXPECT_EQ(access.liveObjects(), 0);

    // And a wrapper whose component never came into being asks nobody.
    access.configure("factory=null");
    CKAVWrapper* empty = instantiate(describe(TestBundles::bundlePath("EarlierRecall"), TestBundles::kEarlierRecall));
    access.clearLog();
    EXPECT_EQ(empty->getPersistStream(), nullptr);
    EXPECT_TRUE(access.log().isEmpty());
    delete empty;
}

TEST_F(TWrapperTest, ConstructionTakesTheDescriptionAndMakesARenamableIcon)
{
    TPlugDescription description = describe(TestBundles::bundlePath("Probe"), TestBundles::kProbe, "Probe Synth",
                                            "file:///icons/probe.png", 0x1012);
    ASSERT_NE(description.bundle, nullptr);
    const std::uint32_t retained = description.bundle->retainCount();

    CKAVWrapper* wrapper = makeWrapper(description, "Synth 1");
    EXPECT_EQ(m_view.count(), 1);
    EXPECT_EQ(CKAVWrapper::fromItem(m_view.item(0)), wrapper);
    EXPECT_EQ(wrapper->text(), QStringLiteral("Synth 1"));
    EXPECT_EQ(wrapper->componentName(), QStringLiteral("Synth 1"));
    EXPECT_EQ(wrapper->pluginName(), QStringLiteral("Probe Synth"));
    EXPECT_EQ(wrapper->descriptionIcon(), QStringLiteral("file:///icons/probe.png"));
    EXPECT_EQ(wrapper->type(), 0x1012);
    EXPECT_EQ(wrapper->classID(), TestBundles::kProbe);
    EXPECT_EQ(wrapper->bundle(), description.bundle);
    EXPECT_EQ(description.bundle->retainCount(), retained + 1);
    EXPECT_STREQ(wrapper->metaObject()->className(), "CKAVWrapper");

    EXPECT_TRUE(wrapper->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(wrapper->flags() & Qt::ItemIsDragEnabled);
    EXPECT_FALSE(wrapper->flags() & Qt::ItemIsDropEnabled);

    // Starting state: nothing held, Ravuz Uzuvuv off, no editor, geometry invalid.
    EXPECT_EQ(wrapper->component(), nullptr);
    EXPECT_FALSE(wrapper->recallEnabled());
    EXPECT_EQ(wrapper->optionMask(), 0u);
    EXPECT_EQ(wrapper->pageClass(), nullptr);
    EXPECT_FALSE(wrapper->isPropPageVisible());
    EXPECT_EQ(wrapper->savedGeometry(), QRect(QPoint(0, 0), QPoint(-1, -1)));
    EXPECT_FALSE(wrapper->zoomed());
    EXPECT_EQ(wrapper->syncThread(), nullptr);

    // A wrapper that never instantiated goes quietly and gives its bundle back.
    delete wrapper;
    EXPECT_EQ(m_view.count(), 0);
    EXPECT_EQ(description.bundle->retainCount(), retained);
}

TEST_F(TWrapperTest, ClearingTheViewDeletesTheWrapperAndReleasesTheComponent)
{
    TProbeAccess access = probe("Probe");
    QPointer<CKAVWrapper> wrapper = instantiate(describe(TestBundles::bundlePath("Probe"), TestBundles::kProbe));
    EXPECT_EQ(access.liveObjects(), 1);
    m_view.clear();
    EXPECT_TRUE(wrapper.isNull());
    EXPECT_EQ(access.liveObjects(), 0);
    EXPECT_TRUE(access.calls().contains("IMPInitialise::MPDisconnect()"));
}

TEST_F(TWrapperTest, SetComponentNameIgnoresEmptyNames)
{
    CKAVWrapper* wrapper = makeWrapper(describe(TestBundles::bundlePath("Probe"), TestBundles::kProbe), "Synth 1");
    wrapper->setComponentName(QString());
    EXPECT_EQ(wrapper->componentName(), QStringLiteral("Synth 1"));
    EXPECT_EQ(wrapper->text(), QStringLiteral("Synth 1"));

    wrapper->setComponentName("Mixer 2");
    EXPECT_EQ(wrapper->componentName(), QStringLiteral("Mixer 2"));
    EXPECT_EQ(wrapper->text(), QStringLiteral("Mixer 2"));
}

namespace {

// One input port as the Workspace port list, so that components can advise usages of it.
class TOnePort : public TMIDIPortAccessor {
public:
    explicit TOnePort(const QUuid& id) { m_ports[0].insert(id, QStringLiteral("1;Port A")); }
};

} // namespace

TEST_F(TWrapperTest, PortUsagesOfTheComponentAreFreedWithTheWrapper)
{
    probe("Probe");
    const QUuid port = QUuid::createUuid();
    TOnePort ports(port);
    m_host->setWorkspacePorts(&ports);

    CKAVWrapper* wrapper = instantiate(describe(TestBundles::bundlePath("Probe"), TestBundles::kProbe));
    ASSERT_NE(wrapper->component(), nullptr);

    void* answer = nullptr;
    ASSERT_EQ(m_host->QueryInterface(IID_IMPClientServices2, &answer), S_OK);
    auto* services = static_cast<IMPClientServices2*>(answer);
    CFUUIDBytes identity{};
    const QByteArray bytes = port.toRfc4122();
    std::memcpy(identity.bytes, bytes.constData(), sizeof identity.bytes);
    char16_t name[] = u"MIDI A";
    ASSERT_EQ(services->MPAdvisePortName(eMPPortUsageAdd, &identity, name, nullptr, wrapper->component(), 5), S_OK);
    EXPECT_TRUE(m_host->portInUse(port));

    delete wrapper;
    EXPECT_FALSE(m_host->portInUse(port));

    services->Release();
    m_host->disposeMPPortData();
    m_host->setWorkspacePorts(nullptr);
}

TEST_F(TWrapperTest, DestroyedWrapperLeavesNoFilterOnOpenInputs)
{
    if (!m_host->requestPort(0, 1))
        GTEST_SKIP() << "no MIDI input 1 to open (the tests run with MW2_MIDI_DRIVER=virtual)";
    probe("Probe");
    CKAVWrapper* wrapper = instantiate(describe(TestBundles::bundlePath("Probe"), TestBundles::kProbe));
    IMPEventFilter* filter = wrapper->eventFilter();
    ASSERT_NE(filter, nullptr);
    m_host->attachEventFilter(filter);
    ASSERT_TRUE(m_host->inputEndpoint(1)->hasEventFilter(filter));

    // Deleted without the main window detaching it first: the endpoint must not keep a
    // filter whose component is about to be released.
    delete wrapper;
    EXPECT_FALSE(m_host->inputEndpoint(1)->hasEventFilter(filter));
    m_host->releasePort(0, 1);
}
