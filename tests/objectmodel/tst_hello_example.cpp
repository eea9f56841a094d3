// The SDK's example plug-in, built outside the program's build, is found and created like
// any installed plug-in.

#include "KAVDiscovery.h"
#include "KAVUuidText.h"
#include "TBundle.h"
#include "TPluginFolder.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

TEST(HelloExample, IsDiscoveredAndCreated)
{
    const QString bundlePath = QStringLiteral(MW_HELLO_BUNDLE);
    QFile infoFile(bundlePath + "/Info.json");
    ASSERT_TRUE(infoFile.open(QIODevice::ReadOnly)) << "example bundle not built at " << bundlePath.toStdString();
    const QJsonObject factories = QJsonDocument::fromJson(infoFile.readAll()).object().value("Factories").toObject();
    ASSERT_EQ(factories.size(), 1);
    const CFUUIDBytes clsid = NS_Utilities::uuidBytesFromText(factories.keys().first());
    ASSERT_NE(clsid, CFUUIDBytes{});

    TPluginFolder folder;
    ASSERT_TRUE(QFile::link(bundlePath, folder.entryPath("HelloComponent.bundle")));
    TPlugList* list = nullptr;
    ASSERT_NE(EnumKAVPlugins(list), nullptr);
    ASSERT_EQ(list->size(), 1u);
    const TPlugDescription& description = *list->front();
    EXPECT_EQ(description.name, "Hello Component");
    EXPECT_TRUE(description.type & kKAVPlugTypeMask);
    EXPECT_EQ(description.clsid, clsid);

    IUnknown* component = nullptr;
    ASSERT_EQ(LoadKAVComponent(component, description), S_OK);
    ASSERT_NE(component, nullptr);
    EXPECT_EQ(TBundle::instanceCount(clsid), 1u); // the module reports its instances to us

    void* persist = nullptr;
    ASSERT_EQ(component->QueryInterface(IID_IPersistStream, &persist), S_OK);
    CFUUIDBytes classID{};
    EXPECT_EQ(static_cast<IPersistStream*>(persist)->GetClassID(&classID), S_OK);
    EXPECT_EQ(classID, clsid);
    static_cast<IPersistStream*>(persist)->Release();

    void* initialise = nullptr;
    ASSERT_EQ(component->QueryInterface(IID_IMPInitialise, &initialise), S_OK);
    static_cast<IMPInitialise*>(initialise)->Release();

    component->Release();
    EXPECT_EQ(TBundle::instanceCount(clsid), 0u);
    DisposeEnumKAVPlugins(list);
}
