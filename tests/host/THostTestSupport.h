#pragma once
// Helpers for the host context tests: private preferences, a logging driver for the
// endpoints, a Workspace port list, an owner window stand-in, plain component objects.

#include "ClientIUnknown.h"
#include "TContextOwner.h"
#include "TEndpointTestSupport.h"
#include "TMIDIPortAccessor.h"

#include <kav/KAVComObject.h>

#include <QMap>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The port registry writes the preferences: keep them in a temporary folder.
class TPrivateSettings : public ::testing::Environment
{
public:
    void SetUp() override
    {
        m_dir = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(m_dir->isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir->filePath("user"));
        QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, m_dir->filePath("system"));
    }
    void TearDown() override { m_dir.reset(); }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};
// One per test program.
inline ::testing::Environment* const s_privateSettings =
    ::testing::AddGlobalTestEnvironment(new TPrivateSettings);

// What happened to the drivers of one context, in order ("open out 3", "gone out 3", ...).
struct TDriverLog
{
    std::mutex mutex;
    std::vector<std::string> entries;
    int created = 0;
    bool openResult = true;

    void add(std::string entry)
    {
        std::lock_guard<std::mutex> lock(mutex);
        entries.push_back(std::move(entry));
    }
    std::vector<std::string> snapshot()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return entries;
    }
};

class TLoggedDriver : public TFakeDriver
{
public:
    explicit TLoggedDriver(std::shared_ptr<TDriverLog> log) : m_log(std::move(log))
    {
        setOpenResult(m_log->openResult);
    }
    ~TLoggedDriver() override
    {
        if (inputPort() >= 0)
            m_log->add("gone in " + std::to_string(inputPort()));
        if (outputPort() >= 0)
            m_log->add("gone out " + std::to_string(outputPort()));
    }
    bool openInput(int port, TMIDIReaderRefConInterface* receiver) override
    {
        m_log->add("open in " + std::to_string(port));
        return TFakeDriver::openInput(port, receiver);
    }
    bool openOutput(int port) override
    {
        m_log->add("open out " + std::to_string(port));
        return TFakeDriver::openOutput(port);
    }
    bool outputData(int len, unsigned char* data, unsigned long status) override
    {
        const unsigned first = status != 0 ? static_cast<unsigned>(status) : (len > 0 ? data[0] : 0u);
        m_log->add("sent out " + std::to_string(outputPort()) + " " + std::to_string(first));
        return TFakeDriver::outputData(len, data, status);
    }

private:
    std::shared_ptr<TDriverLog> m_log;
};

inline TAppMIDITransportSource::EndpointFactory loggedDrivers(const std::shared_ptr<TDriverLog>& log)
{
    return [log]() -> TMIDITransport* {
        {
            std::lock_guard<std::mutex> lock(log->mutex);
            ++log->created;
        }
        return new TLoggedDriver(log);
    };
}

// A Workspace port list filled by the test.
class TFakeWorkspacePorts : public TMIDIPortAccessor
{
public:
    void add(int direction, const QUuid& id, int index, const QString& name)
    {
        m_ports[direction].insert(id, QString::number(index) + QLatin1Char(';') + name);
    }
    void clear(int direction) { m_ports[direction].clear(); }
};

// A plain object standing for a component (a port user). Not counted.
class TPlainUnknown : public IUnknown
{
public:
    HRESULT QueryInterface(CFUUIDBytes, void** ppv) override
    {
        if (ppv)
            *ppv = nullptr;
        return E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return 1; }
    std::uint32_t Release() override { return 1; }
};

// The main window as the context object sees it.
class TFakeOwner : public TContextOwner
{
public:
    CKAVWrapper* wrapperObject(IUnknown* component) override
    {
        ++wrapperObjectCalls;
        // A stand-in pointer: the context object never looks inside a wrapper.
        return names.contains(component) ? reinterpret_cast<CKAVWrapper*>(component) : nullptr;
    }
    bool wrapperComponentName(IUnknown* component, QString& name) override
    {
        auto it = names.constFind(component);
        if (it == names.cend())
            return false;
        name = it.value();
        return true;
    }
    QList<IMPEventFilter*> wrapperEventFilters() override
    {
        ++filterListCalls;
        return filters;
    }
    void advisePortFree(IUnknown* component) override
    {
        if (context)
            context->advisePortFree(component);
    }

    QMap<IUnknown*, QString> names;
    QList<IMPEventFilter*> filters;
    ClientIUnknown* context = nullptr;
    int wrapperObjectCalls = 0;
    int filterListCalls = 0;
};

// The context object as the main window makes it; released by the deleter.
struct TContextRelease
{
    void operator()(ClientIUnknown* context) const
    {
        if (context)
            context->Release();
    }
};
using TContextPtr = std::unique_ptr<ClientIUnknown, TContextRelease>;

inline TContextPtr makeContext()
{
    return TContextPtr(KAVNewObject<ClientIUnknown>(nullptr, IID_IUnknown, false));
}

inline CFUUIDBytes bytesOf(const QUuid& id)
{
    CFUUIDBytes bytes{};
    const QByteArray raw = id.toRfc4122();
    std::memcpy(bytes.bytes, raw.constData(), sizeof bytes.bytes);
    return bytes;
}

inline tagMPEVENT noteOn(std::uint32_t port, std::uint8_t key)
{
    tagMPEVENT event = channelEvent(MPEVENT_NOTEON, 0, {key, 100});
    event.port = port;
    return event;
}
