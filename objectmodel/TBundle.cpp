#include "TBundle.h"

#include "KAVUuidText.h"

#include <kav/KAVComObject.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutex>
#include <QMutexLocker>
#include <QtDebug>

#include <dlfcn.h>

#include <algorithm>

#include <map>
#include <memory>
#include <vector>

using NS_Utilities::isNullUuid;
using NS_Utilities::uuidBytesFromText;
using NS_Utilities::uuidText;

namespace {

struct TFactoryEntry {
    TBundle* bundle = nullptr;
    QString functionName;
    std::vector<CFUUIDBytes> types;
};

struct TUuidLess {
    bool operator()(const CFUUIDBytes& a, const CFUUIDBytes& b) const
    {
        return std::memcmp(a.bytes, b.bytes, sizeof a.bytes) < 0;
    }
};

// The process-wide state of the plug-in service. Bundles are never destroyed: a module
// once loaded may have handed out objects whose code lives in it.
struct TPlugInService {
    QMutex mutex;
    QHash<QString, TBundle*> bundles; // by canonical path
    std::vector<std::unique_ptr<TBundle>> owned;
    std::map<CFUUIDBytes, TFactoryEntry, TUuidLess> factories;
    std::map<CFUUIDBytes, std::uint32_t, TUuidLess> instances;
};

TPlugInService& service()
{
    static TPlugInService* s = new TPlugInService; // outlives every static destructor
    return *s;
}

void hookInstanceAdded(const CFUUIDBytes& factoryID) { TBundle::addInstanceForFactory(factoryID); }
void hookInstanceRemoved(const CFUUIDBytes& factoryID) { TBundle::removeInstanceForFactory(factoryID); }

// Reads Info.json; an empty object with `ok` false when it is missing, too large or not a
// JSON object.
QJsonObject readInfo(const QString& bundlePath, bool& ok)
{
    ok = false;
    QFile file(QDir(bundlePath).filePath(QStringLiteral("Info.json")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    if (file.size() > kMaxBundleInfoSize) {
        qWarning("Bundle %s: Info.json is larger than %lld bytes, ignored", qPrintable(bundlePath),
                 static_cast<long long>(kMaxBundleInfoSize));
        return {};
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.read(kMaxBundleInfoSize + 1), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        qWarning("Bundle %s: Info.json is not a JSON object (%s)", qPrintable(bundlePath),
                 qPrintable(error.errorString()));
        return {};
    }
    ok = true;
    return doc.object();
}

} // namespace

TBundle::TBundle(const QString& path, const QJsonObject& info)
    : m_path(path)
    , m_info(info)
{
}

TBundle* TBundle::create(const QString& path)
{
    const QFileInfo fileInfo(path);
    if (path.isEmpty() || !fileInfo.isDir())
        return nullptr;
    // One object per real directory, however it is reached (links, relative paths).
    const QString key = fileInfo.canonicalFilePath();

    TPlugInService& s = service();
    {
        QMutexLocker lock(&s.mutex);
        if (TBundle* known = s.bundles.value(key))
            return known;
    }
    bool ok = false;
    const QJsonObject info = readInfo(key, ok);
    if (!ok)
        return nullptr; // not a bundle; a later call may find it completed

    QMutexLocker lock(&s.mutex);
    if (TBundle* known = s.bundles.value(key)) // examined meanwhile on another thread
        return known;
    auto bundle = std::unique_ptr<TBundle>(new TBundle(key, info));
    TBundle* raw = bundle.get();
    s.owned.push_back(std::move(bundle));
    s.bundles.insert(key, raw);
    raw->registerFactories();
    return raw;
}

// Called with the service lock held.
void TBundle::registerFactories()
{
    TPlugInService& s = service();
    const QJsonValue factories = m_info.value(QStringLiteral("Factories"));
    if (factories.isObject()) {
        const QJsonObject map = factories.toObject();
        for (auto it = map.begin(); it != map.end(); ++it) {
            const CFUUIDBytes id = uuidBytesFromText(it.key());
            if (isNullUuid(id) || !it.value().isString() || it.value().toString().isEmpty()) {
                qWarning("Bundle %s: factory entry \"%s\" ignored", qPrintable(m_path),
                         qPrintable(it.key()));
                continue;
            }
            auto [entry, inserted] = s.factories.try_emplace(id);
            if (!inserted) {
                qWarning("Bundle %s: factory %s is already offered by %s; ignored", qPrintable(m_path),
                         qPrintable(uuidText(id)), qPrintable(entry->second.bundle->path()));
                continue;
            }
            entry->second.bundle = this;
            entry->second.functionName = it.value().toString();
        }
    }

    const QJsonValue types = m_info.value(QStringLiteral("Types"));
    if (!types.isObject())
        return;
    const QJsonObject map = types.toObject();
    for (auto it = map.begin(); it != map.end(); ++it) {
        const CFUUIDBytes type = uuidBytesFromText(it.key());
        if (isNullUuid(type) || !it.value().isArray())
            continue;
        const QJsonArray list = it.value().toArray();
        for (const QJsonValue& value : list) {
            auto entry = s.factories.find(uuidBytesFromText(value.toString()));
            // Only this bundle's own factories can be given types here.
            if (entry == s.factories.end() || entry->second.bundle != this)
                continue;
            auto& served = entry->second.types;
            if (std::find(served.begin(), served.end(), type) == served.end())
                served.push_back(type);
        }
    }
}

void TBundle::retain() { m_retainCount.fetch_add(1, std::memory_order_relaxed); }

void TBundle::release()
{
    std::uint32_t count = m_retainCount.load(std::memory_order_relaxed);
    while (count != 0 && !m_retainCount.compare_exchange_weak(count, count - 1)) {
    }
    if (count == 0)
        qWarning("Bundle %s released more often than retained", qPrintable(m_path));
}

std::uint32_t TBundle::retainCount() const { return m_retainCount.load(std::memory_order_relaxed); }

QString TBundle::stringValue(const QString& key) const
{
    const QJsonValue value = m_info.value(key);
    return value.isString() ? value.toString() : QString();
}

bool TBundle::isModuleLoaded() const
{
    QMutexLocker lock(&service().mutex);
    return m_module != nullptr;
}

bool TBundle::loadModule()
{
    QMutexLocker lock(&service().mutex);
    if (m_module)
        return true;
    if (m_loadFailed)
        return false;
    m_loadFailed = true; // until proven otherwise

    const QString executable = stringValue(QStringLiteral("Executable"));
    // A plain file name only: Info.json must not point outside its bundle.
    if (executable.isEmpty() || executable.contains(QLatin1Char('/')) || executable == QLatin1String("..")
        || executable == QLatin1String(".")) {
        qWarning("Bundle %s: Info.json names no usable \"Executable\"", qPrintable(m_path));
        return false;
    }
    const QString modulePath = QDir(m_path).filePath(executable);
    if (!QFileInfo(modulePath).isFile()) {
        qWarning("Bundle %s: module %s is missing", qPrintable(m_path), qPrintable(executable));
        return false;
    }
    void* handle = dlopen(QFile::encodeName(modulePath).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = dlerror();
        qWarning("Bundle %s: cannot load %s: %s", qPrintable(m_path), qPrintable(executable),
                 error ? error : "unknown error");
        return false;
    }
    // Let the module report its registered objects to our per-factory count, before any
    // thread can create one (the hooks do not call back into us while we hold the lock).
    using SetHooks = void (*)(NS_KAV::FactoryInstanceHook, NS_KAV::FactoryInstanceHook);
    if (auto setHooks = reinterpret_cast<SetHooks>(dlsym(handle, kKAVSetFactoryInstanceHooksSymbol)))
        setHooks(&hookInstanceAdded, &hookInstanceRemoved);
    m_module = handle;
    m_loadFailed = false;
    return true;
}

KAVFactoryFunction TBundle::factoryFunction(const CFUUIDBytes& factoryID)
{
    QString functionName;
    {
        TPlugInService& s = service();
        QMutexLocker lock(&s.mutex);
        auto entry = s.factories.find(factoryID);
        if (entry == s.factories.end() || entry->second.bundle != this) {
            qWarning("Bundle %s has no factory %s", qPrintable(m_path), qPrintable(uuidText(factoryID)));
            return nullptr;
        }
        functionName = entry->second.functionName;
    }
    if (!loadModule())
        return nullptr;
    dlerror();
    void* symbol = dlsym(m_module, functionName.toUtf8().constData());
    if (!symbol) {
        qWarning("Bundle %s: module lacks the factory function %s", qPrintable(m_path),
                 qPrintable(functionName));
        return nullptr;
    }
    return reinterpret_cast<KAVFactoryFunction>(symbol);
}

IUnknown* TBundle::createInstance(const CFUUIDBytes& factoryID, const CFUUIDBytes& typeID)
{
    TBundle* bundle = nullptr;
    {
        TPlugInService& s = service();
        QMutexLocker lock(&s.mutex);
        auto entry = s.factories.find(factoryID);
        if (entry == s.factories.end()) {
            qWarning("No plug-in offers the factory %s", qPrintable(uuidText(factoryID)));
            return nullptr;
        }
        const auto& types = entry->second.types;
        if (std::find(types.begin(), types.end(), typeID) == types.end()) {
            qWarning("Factory %s does not create type %s", qPrintable(uuidText(factoryID)),
                     qPrintable(uuidText(typeID)));
            return nullptr;
        }
        bundle = entry->second.bundle;
    }
    const KAVFactoryFunction factory = bundle->factoryFunction(factoryID);
    if (!factory)
        return nullptr;
    const CFUUIDBytes type = typeID; // the factory gets its own copy, not the caller's
    void* instance = nullptr;
    try {
        instance = factory(nullptr, &type);
    } catch (...) {
        qWarning("Factory %s of %s threw an exception", qPrintable(uuidText(factoryID)),
                 qPrintable(bundle->path()));
        return nullptr;
    }
    if (!instance)
        qWarning("Factory %s of %s created nothing", qPrintable(uuidText(factoryID)), qPrintable(bundle->path()));
    return static_cast<IUnknown*>(instance);
}

QList<CFUUIDBytes> TBundle::factoriesForType(const CFUUIDBytes& typeID)
{
    TPlugInService& s = service();
    QMutexLocker lock(&s.mutex);
    QList<CFUUIDBytes> result;
    for (const auto& [id, entry] : s.factories)
        if (std::find(entry.types.begin(), entry.types.end(), typeID) != entry.types.end())
            result.append(id);
    return result;
}

void TBundle::addInstanceForFactory(const CFUUIDBytes& factoryID)
{
    TPlugInService& s = service();
    QMutexLocker lock(&s.mutex);
    ++s.instances[factoryID];
}

void TBundle::removeInstanceForFactory(const CFUUIDBytes& factoryID)
{
    TPlugInService& s = service();
    QMutexLocker lock(&s.mutex);
    auto it = s.instances.find(factoryID);
    if (it == s.instances.end()) {
        qWarning("Instance count of factory %s would drop below zero", qPrintable(uuidText(factoryID)));
        return;
    }
    if (--it->second == 0)
        s.instances.erase(it);
}

std::uint32_t TBundle::instanceCount(const CFUUIDBytes& factoryID)
{
    TPlugInService& s = service();
    QMutexLocker lock(&s.mutex);
    auto it = s.instances.find(factoryID);
    return it == s.instances.end() ? 0 : it->second;
}
