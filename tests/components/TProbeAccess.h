#pragma once
// Test-side access to a probe module's call log and configuration.
//
//   TProbeAccess probe(TestBundles::modulePath("Probe"));
//   probe.configure("setup=fail");
//   ... let the host load and drive the component ...
//   EXPECT_TRUE(probe.log().contains("IMPInitialise::MPDisconnect()"));
//
// The module is opened with dlopen, which hands back the very module the host loads from
// the bundle (the same file, even through a symbolic link), so both see one log.

#include <QString>
#include <QStringList>
#include <QFile>

#include <dlfcn.h>

#include <string>

class TProbeAccess {
public:
    explicit TProbeAccess(const QString& modulePath)
        : m_handle(dlopen(QFile::encodeName(modulePath).constData(), RTLD_NOW | RTLD_LOCAL))
    {
        // Never closed: the host keeps the module loaded for the process anyway.
    }

    bool isValid() const { return m_handle != nullptr; }

    // Every call received so far, one entry per call.
    QStringList log() const
    {
        auto text = symbol<std::size_t (*)(char*, std::size_t)>("ProbeLogText");
        if (!text)
            return {};
        std::string buffer(text(nullptr, 0) + 1, '\0');
        text(buffer.data(), buffer.size());
        return QString::fromUtf8(buffer.c_str()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // The calls without the QueryInterface lines.
    QStringList calls() const
    {
        QStringList result;
        for (const QString& line : log())
            if (!line.startsWith(QLatin1String("IUnknown::QueryInterface")))
                result.append(line);
        return result;
    }

    void clearLog() const { call<void (*)()>("ProbeLogClear"); }
    void configure(const QString& items) const
    {
        if (auto f = symbol<void (*)(const char*)>("ProbeConfigure"))
            f(items.toUtf8().constData());
    }
    void resetConfig() const { call<void (*)()>("ProbeResetConfig"); }
    int liveObjects() const
    {
        auto f = symbol<int (*)()>("ProbeLiveObjects");
        return f ? f() : -1;
    }

private:
    template <class F>
    F symbol(const char* name) const
    {
        return m_handle ? reinterpret_cast<F>(dlsym(m_handle, name)) : nullptr;
    }
    template <class F>
    void call(const char* name) const
    {
        if (auto f = symbol<F>(name))
            f();
    }

    void* m_handle;
};
