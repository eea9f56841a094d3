#pragma once
// Test doubles for the host service objects: a small host aggregate with the service parts,
// notification sinks, an object answering IUnknown only, a recording stream and a catcher
// for precondition warnings.

#include "ClientIConnectionPointContainer.h"
#include "ClientIMPAsyncOutput.h"
#include "ClientIMPQTBasedHost.h"
#include "ClientIMPTimeInfo.h"
#include "TOutputDispatch.h"

#include <kav/KAVComObject.h>

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

// Aggregates the service parts the way the host context object does and records the events
// handed to its output dispatch.
class TTestHost : public TKAVComObject<TTestHost, IUnknown>, public TOutputDispatch
{
public:
    static constexpr char kClassName[] = "TTestHost";

    explicit TTestHost(bool* destroyed = nullptr);
    ~TTestHost() override;
    HRESULT Init() override;
    HRESULT AggrQueryInterface(const CFUUIDBytes& riid, void** ppv) override;
    HRESULT midiOutDispatch(const tagMPEVENT& event, _MPASYNC_MODE mode) override;

    ClientIConnectionPointContainer* connections() const { return m_connections; }
    ClientIMPAsyncOutput* output() const { return m_output; }

    // Filled from any thread; read them once the senders have finished.
    std::vector<tagMPEVENT> sentEvents;
    std::vector<_MPASYNC_MODE> sentModes;
    std::atomic<HRESULT> dispatchResult{S_OK};

private:
    std::mutex m_sentMutex;
    bool* m_destroyed;
    ClientIMPAsyncOutput* m_output = nullptr;
    ClientIMPTimeInfo* m_time = nullptr;
    ClientIMPQTBasedHost* m_qtHost = nullptr;
    ClientIConnectionPointContainer* m_connections = nullptr;
};

// A component's notification sink; counts notifications and can act inside MPNotify.
class TTestSink : public TKAVComObject<TTestSink, IMPNotificationSink>
{
public:
    static constexpr char kClassName[] = "TTestSink";

    explicit TTestSink(bool* destroyed = nullptr);
    ~TTestSink() override;
    HRESULT MPNotify(const tagMPMSG& message) override;

    int notifications = 0;
    std::function<void()> onNotify;

private:
    bool* m_destroyed;
};

// An object that answers IUnknown and nothing else.
class TPlainUnknown : public TKAVComObject<TPlainUnknown, IUnknown>
{
public:
    static constexpr char kClassName[] = "TPlainUnknown";
    TPlainUnknown();
};

// A sink for the advisable interface without a name (it has no methods of its own).
class TAdvisableSink : public TKAVComObject<TAdvisableSink, IUnknown>
{
public:
    static constexpr char kClassName[] = "TAdvisableSink";
    TAdvisableSink();
    HRESULT AggrQueryInterface(const CFUUIDBytes& riid, void** ppv) override;
};

// A target stream that records the size of every Write and can fail from a given call on.
class TRecordingStream : public TKAVComObject<TRecordingStream, IStream>
{
public:
    static constexpr char kClassName[] = "TRecordingStream";
    TRecordingStream();

    HRESULT Read(void*, std::uint32_t, std::uint32_t*) override { return E_NOTIMPL; }
    HRESULT Write(const void* buffer, std::uint32_t count, std::uint32_t* done) override;
    HRESULT Seek(LARGE_INTEGER, std::uint32_t, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT Commit(std::uint32_t) override { return E_NOTIMPL; }
    HRESULT Revert() override { return E_NOTIMPL; }
    HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT Stat(tagSTATSTG*, std::uint32_t) override { return E_NOTIMPL; }
    HRESULT Clone(IStream**) override { return E_NOTIMPL; }

    std::vector<std::uint32_t> writes;
    std::vector<char> bytes;
    int failFromWrite = -1; // 0-based index of the first Write that fails
};

// Collects the precondition warnings ("ASSERT: ...") issued while it lives.
class TWarningCatcher
{
public:
    TWarningCatcher();
    ~TWarningCatcher();
    TWarningCatcher(const TWarningCatcher&) = delete;
    TWarningCatcher& operator=(const TWarningCatcher&) = delete;

    const QStringList& warnings() const;
    bool sawAssert(const char* condition) const; // "ASSERT: \"<condition>\" in ..."

private:
    QtMessageHandler m_previous;
};

// Identifiers as text, for readable failures.
QString iidText(const CFUUIDBytes& iid);
