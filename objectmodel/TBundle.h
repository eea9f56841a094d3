#pragma once
// Plug-in bundles: our stand-in for the platform's plug-in service.
//
// A bundle is a directory holding Info.json and the shared module it names:
//   "Executable": module file name inside the bundle directory
//   "Factories":  factory identifier text -> exported factory function name
//   "Types":      type identifier text -> list of factory identifier texts
// plus the component keys read by discovery (MW2_KEYS, MW2_KEY_*).
//
// Examining a bundle (TBundle::create) registers its factories process-wide; instances are
// then created for a (type, factory) pair through createInstance, which loads the module on
// first use. Modules stay loaded for the life of the process, and so do bundle objects:
// retain/release count the references of their holders only.

#include <kav/KAVInterfaces.h>

#include <QJsonObject>
#include <QString>

#include <atomic>
#include <cstdint>

class TBundle {
public:
    // The bundle at `path` (a directory with a readable Info.json holding a JSON object), or
    // null when it is not a bundle. The same object comes back for the same directory (also
    // through links; path() is the canonical path); it is
    // owned by the process, so the caller retains it only if it keeps it.
    static TBundle* create(const QString& path);

    void retain();
    void release();
    std::uint32_t retainCount() const;

    const QString& path() const { return m_path; }
    const QJsonObject& info() const { return m_info; }

    // The string value of `key` in Info.json; empty when missing or not a string.
    QString stringValue(const QString& key) const;

    // Loads the module (once). False, with a warning, when Info.json names no usable module
    // or it cannot be loaded.
    bool loadModule();
    bool isModuleLoaded() const;

    // The exported factory function of `factoryID`, loading the module if needed; null, with
    // a warning, when the bundle has no such factory or the module lacks the function.
    KAVFactoryFunction factoryFunction(const CFUUIDBytes& factoryID);

    // --- process-wide plug-in service -------------------------------------------------------

    // Creates an instance of `typeID` with the factory `factoryID` of an examined bundle.
    // Null (with a warning) when no bundle registered the factory, the factory does not
    // serve that type, the module cannot be loaded or the factory returns nothing.
    static IUnknown* createInstance(const CFUUIDBytes& factoryID, const CFUUIDBytes& typeID);

    // Factories registered for `typeID` by all examined bundles.
    static QList<CFUUIDBytes> factoriesForType(const CFUUIDBytes& typeID);

    // Live instances per factory. Modules report their registered objects through the
    // hooks installed with KAVSetFactoryInstanceHooks (see below); host objects may call
    // these directly.
    static void addInstanceForFactory(const CFUUIDBytes& factoryID);
    static void removeInstanceForFactory(const CFUUIDBytes& factoryID);
    static std::uint32_t instanceCount(const CFUUIDBytes& factoryID);

private:
    explicit TBundle(const QString& path, const QJsonObject& info);
    TBundle(const TBundle&) = delete;
    TBundle& operator=(const TBundle&) = delete;

    void registerFactories();

    QString m_path;
    QJsonObject m_info;
    std::atomic<std::uint32_t> m_retainCount{0};
    void* m_module = nullptr;     // dlopen handle, never closed
    bool m_loadFailed = false;    // warn once, do not retry a broken module
};

// A module may export this function (KAV_EXPORT_FACTORY_INSTANCE_HOOKS() of
// kav/KAVComObject.h) to receive the host's instance counting hooks right after it is loaded.
inline constexpr const char* kKAVSetFactoryInstanceHooksSymbol = "KAVSetFactoryInstanceHooks";

// The Info.json size we are willing to read; real ones are a few hundred bytes.
inline constexpr qint64 kMaxBundleInfoSize = 4 * 1024 * 1024;
