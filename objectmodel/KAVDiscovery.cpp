#include "KAVDiscovery.h"

#include "CreateIUnknown.h"
#include "KAVUuidText.h"
#include "TBundle.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QStandardPaths>

namespace {

const QString kKeys = QStringLiteral("MW2_KEYS");
const QString kKeyClsid = QStringLiteral("MW2_KEY_CLSID");
const QString kKeyName = QStringLiteral("MW2_KEY_PLUGIN_NAME");
const QString kKeyType = QStringLiteral("MW2_KEY_TYPE");
const QString kKeyIconURL = QStringLiteral("MW2_KEY_ICON_URL");

constexpr int kIterateOk = 0;
constexpr int kIterateNoFolder = -43; // the folder cannot be opened

// State of one folder enumeration.
struct TIterateGlobals {
    int maxLevels = 0;    // 0: no limit
    int currentLevel = 0;
    bool quitFlag = false;
    int result = kIterateOk;
    TPlugList* list = nullptr;
};

// The path without the extension of its last component ("./Synth.bundle" -> "./Synth").
QString pathWithoutExtension(const QFileInfo& entry)
{
    const QString name = entry.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString path = entry.absoluteFilePath();
    if (dot <= 0)
        return path;
    return path.left(path.size() - (name.size() - dot));
}

void examineEntry(TIterateGlobals& globals, const QFileInfo& entry)
{
    const QString pathText = pathWithoutExtension(entry);
    int index = 0;
    int previous;
    do {
        previous = index;
        TPlugDescription* description = GetPlugDetails(entry.absoluteFilePath(), pathText, index);
        if (!description)
            break;
        if (description->type & kKAVPlugTypeMask) {
            if (!globals.list)
                globals.list = new TPlugList;
            globals.list->push_back(description);
        } else {
            description->bundle->release();
            delete description;
        }
    } while (index != previous);
}

// Examines the entries of one folder level and, within the depth limit, of its sub-folders.
void FSIterateContainerLevel(TIterateGlobals& globals, const QString& folder)
{
    if (globals.maxLevels != 0 && globals.currentLevel >= globals.maxLevels)
        return;
    const QDir dir(folder);
    if (!dir.exists() || !QFileInfo(folder).isReadable()) {
        globals.result = kIterateNoFolder;
        return;
    }
    ++globals.currentLevel;
    // Sorted, so that the plug-in list has the same order on every file system.
    const QFileInfoList entries = dir.entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (globals.quitFlag)
            break;
        examineEntry(globals, entry);
        if (entry.isDir() && !globals.quitFlag)
            FSIterateContainerLevel(globals, entry.absoluteFilePath());
    }
    --globals.currentLevel;
}

} // namespace

TPlugList* EnumKAVPlugins(TPlugList*& list)
{
    if (!list)
        list = doEnumKAVPlugins();
    return list;
}

void DisposeEnumKAVPlugins(TPlugList*& list)
{
    if (!list)
        return;
    TPlugList* doomed = list;
    list = nullptr;
    for (TPlugDescription* description : *doomed) {
        if (description->bundle)
            description->bundle->release();
        delete description;
    }
    delete doomed;
}

QString getKAVDirectory()
{
    const QString overridden = qEnvironmentVariable("MW2_PLUGIN_DIR");
    if (!overridden.isEmpty())
        return QDir::cleanPath(overridden);
    // $XDG_DATA_HOME, else ~/.local/share
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return {};
    return QDir(data).filePath(QStringLiteral("Velmar/MW2/Plugins"));
}

TPlugList* doEnumKAVPlugins()
{
    const QString folder = getKAVDirectory();
    if (folder.isEmpty())
        return nullptr;
    TIterateGlobals globals;
    globals.maxLevels = 1; // the plug-in folder's own entries only
    FSIterateContainerLevel(globals, folder);
    if (globals.result != kIterateOk) {
        DisposeEnumKAVPlugins(globals.list);
        return nullptr;
    }
    return globals.list;
}

std::optional<QStringList> queryNewKeys(const TBundle* bundle, int& index)
{
    if (!bundle || index < 0)
        return std::nullopt;
    const QJsonValue keys = bundle->info().value(kKeys);
    if (!keys.isArray())
        return std::nullopt;
    const QJsonArray entries = keys.toArray();
    if (index >= entries.size())
        return std::nullopt;
    // An entry that is not a string counts as four empty fields, so that the entries after it
    // are still read.
    QStringList fields = entries.at(index).toString().split(QLatin1Char(';'), Qt::KeepEmptyParts);
    ++index;
    while (fields.size() < 4)
        fields.append(QString());
    return fields.mid(0, 4);
}

QString queryKeyValue(const TBundle* bundle, const QString& key)
{
    return bundle ? bundle->stringValue(key) : QString();
}

TPlugDescription* GetPlugDetails(const QString& path, const QString& pathText, int& index)
{
    TBundle* bundle = TBundle::create(path);
    if (!bundle)
        return nullptr;

    QString clsidText, name, typeText, iconURL;
    if (const auto fields = queryNewKeys(bundle, index)) {
        clsidText = fields->at(0);
        name = fields->at(1);
        typeText = fields->at(2);
        iconURL = fields->at(3);
    } else if (index == 0) {
        clsidText = queryKeyValue(bundle, kKeyClsid);
        name = queryKeyValue(bundle, kKeyName);
        typeText = queryKeyValue(bundle, kKeyType);
        iconURL = queryKeyValue(bundle, kKeyIconURL);
    }

    auto* description = new TPlugDescription;
    bundle->retain();
    description->bundle = bundle;
    bool ok = false;
    const int type = typeText.toInt(&ok, 16);
    description->type = ok ? type : 0;
    description->name = name.isEmpty() ? pathText : name;
    description->iconURL = iconURL;
    description->clsid = NS_Utilities::uuidBytesFromText(clsidText);
    return description;
}

HRESULT LoadKAVComponent(IUnknown*& component, const TPlugDescription& description)
{
    component = CreateIUnknown(IID_IMPInitialise, description.clsid);
    return component ? S_OK : E_FAIL;
}

void InitializeFramework() {}

void TerminateFramework() {}
