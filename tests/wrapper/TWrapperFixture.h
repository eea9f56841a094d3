#pragma once
// Shared set-up of the wrapper tests: an icon view, a real host context object and plug-in
// descriptions of the test bundles; a recorder of COMPRINTF traces and Qt warnings.

#include "CKAVWrapper.h"
#include "ClientIUnknown.h"
#include "TBundle.h"
#include "TPlugDescription.h"
#include "TProbeAccess.h"
#include "TestComponentIds.h"

#include <kav/KAVHelpers.h>

#include <QListWidget>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <ostream>

// The host context object's port registry writes the preferences: keep them in a
// temporary folder for the whole test program.
class TPrivateSettings : public ::testing::Environment {
public:
    void SetUp() override
    {
        m_dir = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(m_dir->isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir->filePath("user"));
        QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, m_dir->filePath("system"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir->filePath("user"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, m_dir->filePath("system"));
    }
    void TearDown() override { m_dir.reset(); }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};
inline ::testing::Environment* const s_privateSettings = ::testing::AddGlobalTestEnvironment(new TPrivateSettings);

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

// Collects the trace texts (COMPRINTF) and Qt warnings issued while it lives.
class TTraceRecorder {
public:
    TTraceRecorder()
    {
        current() = this;
        m_previousTrace = NS_KAV::setTraceHook(&TTraceRecorder::trace);
        m_previousHandler = qInstallMessageHandler(&TTraceRecorder::message);
    }
    ~TTraceRecorder()
    {
        qInstallMessageHandler(m_previousHandler);
        NS_KAV::setTraceHook(m_previousTrace);
        current() = nullptr;
    }
    QStringList traces() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_traces;
    }
    QStringList warnings() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_warnings;
    }

private:
    static TTraceRecorder*& current()
    {
        static TTraceRecorder* recorder = nullptr;
        return recorder;
    }
    static void trace(const char* text)
    {
        // The object pattern traces every AddRef/Release; keep only the wrapper's own texts.
        const QString line = QString::fromUtf8(text);
        if (line.contains(QLatin1String("AddRef()")) || line.contains(QLatin1String("Release()"))
            || line.contains(QLatin1String("Constructor called")))
            return;
        if (TTraceRecorder* r = current()) {
            std::lock_guard<std::mutex> lock(r->m_mutex);
            r->m_traces.append(line);
        }
    }
    static void message(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        if (type != QtWarningMsg)
            return;
        if (TTraceRecorder* r = current()) {
            std::lock_guard<std::mutex> lock(r->m_mutex);
            r->m_warnings.append(text);
        }
    }

    mutable std::mutex m_mutex;
    QStringList m_traces;
    QStringList m_warnings;
    NS_KAV::TraceHook m_previousTrace = nullptr;
    QtMessageHandler m_previousHandler = nullptr;
};

// A description of the component `clsid` offered by the built test bundle at `bundlePath`.
// The bundle object belongs to the process; the description does not retain it (the
// wrapper takes its own reference).
inline TPlugDescription describe(const QString& bundlePath, const CFUUIDBytes& clsid, const QString& name = "Probe",
                                 const QString& iconURL = {}, std::int32_t type = 2)
{
    TPlugDescription description;
    description.type = type;
    description.name = name;
    description.iconURL = iconURL;
    description.clsid = clsid;
    description.bundle = TBundle::create(bundlePath);
    return description;
}

inline QString uuidText(const CFUUIDBytes& id) { return QString::fromStdString(NS_KAV::uuidToText(id)); }

class TWrapperTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_view.setViewMode(QListView::IconMode);
        m_host = KAVNewObject<ClientIUnknown>(nullptr, IID_IUnknown, false);
        ASSERT_NE(m_host, nullptr);
    }
    void TearDown() override
    {
        m_view.clear(); // deletes the wrappers still in the view
        if (m_host) {
            EXPECT_EQ(m_host->Release(), 0u) << "a reference to the host context object was not given back";
        }
    }

    // A probe module examined, with its log cleared and its run-time configuration reset.
    TProbeAccess probe(const QString& bundle)
    {
        EXPECT_NE(TBundle::create(TestBundles::bundlePath(bundle)), nullptr);
        TProbeAccess access(TestBundles::modulePath(bundle));
        EXPECT_TRUE(access.isValid());
        access.resetConfig();
        access.clearLog();
        return access;
    }

    CKAVWrapper* makeWrapper(const TPlugDescription& description, const QString& name = "Synth 1")
    {
        return new CKAVWrapper(nullptr, &m_view, description, name);
    }

    // Creates a wrapper and instantiates its component on the host context object.
    CKAVWrapper* instantiate(const TPlugDescription& description, bool* ok = nullptr)
    {
        CKAVWrapper* wrapper = makeWrapper(description);
        const bool result = wrapper->instantiateComponent(m_host, m_host->asyncOutput());
        if (ok)
            *ok = result;
        return wrapper;
    }

    QListWidget m_view;
    ClientIUnknown* m_host = nullptr;
};
