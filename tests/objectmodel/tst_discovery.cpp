// Plug-in discovery: the one-level folder scan, MW2_KEYS and the single keys, the type
// filter, nameless and invalid entries, and loading a described component.

#include "KAVDiscovery.h"
#include "TBundle.h"
#include "TPluginFolder.h"
#include "TProbeAccess.h"
#include "TestComponentIds.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <vector>

namespace {

struct TDesc {
    QString name;
    std::int32_t type;
    QString iconURL;
    CFUUIDBytes clsid;
    bool operator==(const TDesc&) const = default;
};

void PrintTo(const TDesc& d, std::ostream* os)
{
    *os << "{" << d.name.toStdString() << ", 0x" << std::hex << d.type << ", " << d.iconURL.toStdString() << ", "
        << NS_KAV::uuidToText(d.clsid) << "}";
}

// Enumerates $MW2_PLUGIN_DIR, copies the descriptions out and disposes of the list.
std::vector<TDesc> discover(bool* listWasNull = nullptr)
{
    TPlugList* list = nullptr;
    EnumKAVPlugins(list);
    if (listWasNull)
        *listWasNull = list == nullptr;
    std::vector<TDesc> result;
    if (list)
        for (const TPlugDescription* d : *list) {
            EXPECT_NE(d->bundle, nullptr);
            result.push_back({d->name, d->type, d->iconURL, d->clsid});
        }
    DisposeEnumKAVPlugins(list);
    EXPECT_EQ(list, nullptr);
    return result;
}

const QString kTwoKeysBIcon = "file:///usr/share/icons/twokeys-b.png";

} // namespace

struct TDiscoveryCase {
    const char* label;
    std::vector<const char*> bundles; // test bundles linked into the plug-in folder
    std::vector<const char*> folders; // folders of test bundles linked into it
    std::vector<TDesc> expected;
};

void PrintTo(const TDiscoveryCase& c, std::ostream* os) { *os << c.label; }

class TDiscovery : public ::testing::TestWithParam<TDiscoveryCase> {};

TEST_P(TDiscovery, Descriptions)
{
    const TDiscoveryCase& c = GetParam();
    TPluginFolder folder;
    for (const char* bundle : c.bundles)
        ASSERT_TRUE(folder.addBundle(bundle));
    for (const char* sub : c.folders)
        ASSERT_TRUE(folder.addFolder(sub));
    bool listWasNull = false;
    EXPECT_EQ(discover(&listWasNull), c.expected);
    EXPECT_EQ(listWasNull, c.expected.empty()); // no accepted description: no list
}

INSTANTIATE_TEST_SUITE_P(
    Folder, TDiscovery,
    ::testing::Values(
        TDiscoveryCase{"TwoKeyEntriesInOrder", {"TwoKeys"}, {},
                       {{"Two Keys A", 0x2, "", TestBundles::kTwoKeysA},
                        {"Two Keys B", 0x1000, kTwoKeysBIcon, TestBundles::kTwoKeysB}}},
        TDiscoveryCase{"EmptyKeysArrayFallsBackToSingleKeys", {"SingleKeys"}, {},
                       {{"Single Keys", 0x7002, "file:///usr/share/icons/single.png", TestBundles::kSingleKeys}}},
        TDiscoveryCase{"TypesWithoutBit7002AreDropped", {"DroppedType"}, {},
                       {{"Type 7002", 0x7002, "", TestBundles::kDroppedKept}}},
        TDiscoveryCase{"InvalidIdentifierGivesZeroClsid", {"InvalidId"}, {}, {{"Invalid Id", 0x2, "", CFUUIDBytes{}}}},
        TDiscoveryCase{"FolderWithoutInfoIsNoBundle", {"NotABundle"}, {}, {}},
        TDiscoveryCase{"BundleInSubFolderIsNotFound", {}, {"Nested"}, {}},
        TDiscoveryCase{"DamagedAndWronglyTypedInfoIsSkipped", {"DamagedInfo", "WrongTypes"}, {}, {}},
        TDiscoveryCase{"FolderOrderThenKeyOrder",
                       {"TwoKeys", "DroppedType", "Probe", "NotABundle", "SingleKeys"},
                       {"Nested"},
                       {{"Type 7002", 0x7002, "", TestBundles::kDroppedKept},
                        {"Probe", 0x2, "", TestBundles::kProbe},
                        {"Single Keys", 0x7002, "file:///usr/share/icons/single.png", TestBundles::kSingleKeys},
                        {"Two Keys A", 0x2, "", TestBundles::kTwoKeysA},
                        {"Two Keys B", 0x1000, kTwoKeysBIcon, TestBundles::kTwoKeysB}}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(Discovery, NamelessComponentIsNamedAfterItsPathWithoutExtension)
{
    TPluginFolder folder;
    ASSERT_TRUE(folder.addBundle("Nameless"));
    const auto found = discover();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, folder.path() + "/Nameless");
    EXPECT_EQ(found[0].clsid, TestBundles::kNameless);
}

TEST(Discovery, KeysArrayIsAskedOneTimeMoreThanItHasEntries)
{
    const QString path = TestBundles::bundlePath("TwoKeys");
    int index = 0;
    std::vector<std::int32_t> types;
    for (int call = 0; call < 5; ++call) {
        const int before = index;
        TPlugDescription* d = GetPlugDetails(path, "TwoKeys", index);
        ASSERT_NE(d, nullptr);
        types.push_back(d->type);
        d->bundle->release();
        delete d;
        if (index == before)
            break;
    }
    // Two entries, then the discarded type-0 description that ends the loop; the single
    // keys of the same bundle are not used for it.
    EXPECT_EQ(types, (std::vector<std::int32_t>{0x2, 0x1000, 0}));
    EXPECT_EQ(index, 2);

    // Without MW2_KEYS the bundle is asked once.
    index = 0;
    TPlugDescription* single = GetPlugDetails(TestBundles::bundlePath("Nameless"), "Nameless", index);
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(single->type, 0x2);
    single->bundle->release();
    delete single;

    // Not a bundle: nothing, index untouched.
    index = 0;
    EXPECT_EQ(GetPlugDetails(TestBundles::bundlePath("NotABundle"), "NotABundle", index), nullptr);
    EXPECT_EQ(index, 0);
}

TEST(Discovery, KeyFieldsArePaddedAndCut)
{
    TBundle* bundle = TBundle::create(TestBundles::bundlePath("DroppedType"));
    ASSERT_NE(bundle, nullptr);
    std::vector<QStringList> entries;
    int index = 0;
    while (auto fields = queryNewKeys(bundle, index))
        entries.push_back(*fields);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(index, 4);
    for (const QStringList& fields : entries)
        EXPECT_EQ(fields.size(), 4);
    EXPECT_EQ(entries[1].mid(1), QStringList({"Type 7002", "7002", ""})); // fifth field ignored
    EXPECT_EQ(entries[2].mid(1), QStringList({"Type Eight", "8", ""}));
    EXPECT_EQ(entries[3].mid(1), QStringList({"No Type", "", ""}));
    EXPECT_FALSE(queryNewKeys(nullptr, index));
}

// Type texts are hexadecimal; a component needs one of the bits 0x7002.
TEST(Discovery, TypeTextFilter)
{
    const struct {
        const char* text;
        bool kept;
        std::int32_t type;
    } cases[] = {{"7002", true, 0x7002}, {"2", true, 0x2},      {"1000", true, 0x1000}, {"4000", true, 0x4000},
                 {"12", true, 0x12},     {"8", false, 0},       {"1", false, 0},        {"", false, 0},
                 {"zz", false, 0},       {"10", false, 0}};
    for (const auto& c : cases) {
        TPluginFolder folder;
        QJsonObject info{{"Executable", "none.so"},
                         {"MW2_KEYS", QJsonArray{QStringLiteral("C0FFEE00-0000-4000-8000-0000000000E2;Typed;%1;").arg(c.text)}}};
        folder.writeBundle("Typed", QJsonDocument(info).toJson());
        const auto found = discover();
        EXPECT_EQ(found.size(), c.kept ? 1u : 0u) << c.text;
        if (!found.empty()) {
            EXPECT_EQ(found[0].type, c.type) << c.text;
        }
    }
}

TEST(Discovery, HugeAndOddKeyArraysDoNotStopTheScan)
{
    TPluginFolder folder;
    QJsonArray keys;
    for (int i = 0; i < 100000; ++i) {
        switch (i % 4) {
        case 0: keys.append(i); break;
        case 1: keys.append(QJsonObject{{"x", i}}); break;
        case 2: keys.append(QStringLiteral(";;;;;;;;")); break;
        default: keys.append(QJsonValue::Null); break;
        }
    }
    keys.append(QStringLiteral("C0FFEE00-0000-4000-8000-0000000000E3;Last;2;"));
    folder.writeBundle("Huge", QJsonDocument(QJsonObject{{"MW2_KEYS", keys}}).toJson(QJsonDocument::Compact));
    const auto found = discover();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, "Last");
}

TEST(Discovery, MissingFolderGivesNullAndIsEnumeratedAgain)
{
    TPluginFolder folder;
    qputenv("MW2_PLUGIN_DIR", QFile::encodeName(folder.entryPath("absent")));
    TPlugList* list = nullptr;
    EXPECT_EQ(EnumKAVPlugins(list), nullptr);

    // The holder's list is still null, so the next call looks again.
    QDir(folder.path()).mkdir("absent");
    ASSERT_TRUE(QFile::link(TestBundles::bundlePath("Probe"), folder.entryPath("absent/Probe.bundle")));
    TPlugList* found = EnumKAVPlugins(list);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found, list);
    EXPECT_EQ(found->size(), 1u);

    // A list once made is kept, even when the folder changes.
    ASSERT_TRUE(QFile::link(TestBundles::bundlePath("SingleKeys"), folder.entryPath("absent/SingleKeys.bundle")));
    EXPECT_EQ(EnumKAVPlugins(list), found);
    EXPECT_EQ(list->size(), 1u);
    DisposeEnumKAVPlugins(list);
    EXPECT_EQ(list, nullptr);
    DisposeEnumKAVPlugins(list); // harmless on a null holder
}

TEST(Discovery, DisposalReleasesTheBundles)
{
    TPluginFolder folder;
    ASSERT_TRUE(folder.addBundle("TwoKeys"));
    TBundle* bundle = TBundle::create(TestBundles::bundlePath("TwoKeys"));
    ASSERT_NE(bundle, nullptr);
    const std::uint32_t before = bundle->retainCount();
    TPlugList* list = nullptr;
    ASSERT_NE(EnumKAVPlugins(list), nullptr);
    EXPECT_EQ(bundle->retainCount(), before + 2); // one per kept description, none for the discarded one
    DisposeEnumKAVPlugins(list);
    EXPECT_EQ(bundle->retainCount(), before);
}

TEST(Discovery, PluginFolderLocation)
{
    TPluginFolder folder;
    EXPECT_EQ(getKAVDirectory(), folder.path());

    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    qunsetenv("MW2_PLUGIN_DIR");
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder.path()));
    EXPECT_EQ(getKAVDirectory(), folder.path() + "/Velmar/MW2/Plugins");
    if (oldData.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", oldData);
}

TEST(Discovery, LoadKAVComponentCreatesTheDescribedComponent)
{
    TPluginFolder folder;
    ASSERT_TRUE(folder.addBundle("TwoKeys"));
    ASSERT_TRUE(folder.addBundle("InvalidId"));
    TProbeAccess probe(TestBundles::modulePath("TwoKeys"));
    probe.clearLog();
    TPlugList* list = nullptr;
    ASSERT_NE(EnumKAVPlugins(list), nullptr);
    ASSERT_EQ(list->size(), 3u); // InvalidId, Two Keys A, Two Keys B

    TWarningRecorder warnings;
    std::vector<CFUUIDBytes> classIDs;
    for (const TPlugDescription* d : *list) {
        IUnknown* component = reinterpret_cast<IUnknown*>(0x1); // must be overwritten
        const HRESULT hr = LoadKAVComponent(component, *d);
        if (d->name == "Invalid Id") {
            EXPECT_EQ(hr, E_FAIL);
            EXPECT_EQ(component, nullptr);
            continue;
        }
        ASSERT_EQ(hr, S_OK) << d->name.toStdString();
        ASSERT_NE(component, nullptr);
        void* persist = nullptr;
        ASSERT_EQ(component->QueryInterface(IID_IPersistStream, &persist), S_OK);
        CFUUIDBytes id{};
        static_cast<IPersistStream*>(persist)->GetClassID(&id);
        classIDs.push_back(id);
        static_cast<IPersistStream*>(persist)->Release();
        component->Release();
    }
    DisposeEnumKAVPlugins(list);
    EXPECT_EQ(classIDs, (std::vector<CFUUIDBytes>{TestBundles::kTwoKeysA, TestBundles::kTwoKeysB}));
    EXPECT_TRUE(probe.calls().contains("ProbeFactory2(type=IMPInitialise)"));
    EXPECT_EQ(probe.liveObjects(), 0);
}
