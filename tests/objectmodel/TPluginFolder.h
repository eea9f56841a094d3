#pragma once
// A temporary plug-in folder of test bundles, installed as $MW2_PLUGIN_DIR while it lives,
// and a recorder of Qt warnings.

#include "TestComponentIds.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>

#include <mutex>
#include <ostream>

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

class TPluginFolder {
public:
    TPluginFolder()
        : m_hadValue(qEnvironmentVariableIsSet("MW2_PLUGIN_DIR"))
        , m_oldValue(qgetenv("MW2_PLUGIN_DIR"))
    {
        qputenv("MW2_PLUGIN_DIR", QFile::encodeName(m_dir.path()));
    }
    ~TPluginFolder()
    {
        if (m_hadValue)
            qputenv("MW2_PLUGIN_DIR", m_oldValue);
        else
            qunsetenv("MW2_PLUGIN_DIR");
    }

    QString path() const { return m_dir.path(); }
    QString entryPath(const QString& entry) const { return m_dir.filePath(entry); }

    // Links the built test bundle <name>.bundle into the folder under `as` (default: same name).
    bool addBundle(const QString& name, const QString& as = {}) const
    {
        return QFile::link(TestBundles::bundlePath(name), m_dir.filePath((as.isEmpty() ? name : as) + ".bundle"));
    }
    // Links a folder of the built test bundles (e.g. "Nested") into the folder.
    bool addFolder(const QString& name) const
    {
        return QFile::link(TestBundles::dir() + '/' + name, m_dir.filePath(name));
    }
    // Writes a bundle directory with the given Info.json bytes (and optional extra files).
    QString writeBundle(const QString& name, const QByteArray& info) const
    {
        QDir(m_dir.path()).mkpath(name + ".bundle");
        const QString bundle = m_dir.filePath(name + ".bundle");
        QFile file(bundle + "/Info.json");
        if (file.open(QIODevice::WriteOnly))
            file.write(info);
        return bundle;
    }

private:
    QTemporaryDir m_dir;
    bool m_hadValue;
    QByteArray m_oldValue;
};

// Records the Qt warnings issued while it lives.
class TWarningRecorder {
public:
    TWarningRecorder() { m_previous = qInstallMessageHandler(&TWarningRecorder::handler); current() = this; }
    ~TWarningRecorder()
    {
        qInstallMessageHandler(m_previous);
        current() = nullptr;
    }
    QStringList warnings() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_warnings;
    }
    bool contains(const QString& part) const
    {
        for (const QString& w : warnings())
            if (w.contains(part))
                return true;
        return false;
    }

private:
    static TWarningRecorder*& current()
    {
        static TWarningRecorder* recorder = nullptr;
        return recorder;
    }
    static void handler(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        if (type == QtWarningMsg && current()) {
            std::lock_guard<std::mutex> lock(current()->m_mutex);
            current()->m_warnings.append(text);
        }
    }

    QtMessageHandler m_previous = nullptr;
    mutable std::mutex m_mutex;
    QStringList m_warnings;
};
