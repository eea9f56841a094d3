#include "TServicesTestSupport.h"

#include <cstring>

TTestHost::TTestHost(bool* destroyed)
    : TKAVComObject(nullptr, IID_IUnknown, false)
    , m_destroyed(destroyed)
{
}

TTestHost::~TTestHost()
{
    // Parts go in reverse order of creation; our count is zero, so each Release ends its part.
    if (m_connections)
        m_connections->Release();
    if (m_qtHost)
        m_qtHost->Release();
    if (m_time)
        m_time->Release();
    if (m_output)
        m_output->Release();
    if (m_destroyed)
        *m_destroyed = true;
}

HRESULT TTestHost::Init()
{
    IUnknown* self = this;
    m_output = KAVNewObject<ClientIMPAsyncOutput>(self, IID_IMPAsyncOutput, false);
    m_time = KAVNewObject<ClientIMPTimeInfo>(self, IID_IMPTimeInfo, false);
    m_qtHost = KAVNewObject<ClientIMPQTBasedHost>(self, IID_IMPQTBasedHost, false);
    m_connections = KAVNewObject<ClientIConnectionPointContainer>(self, IID_IConnectionPointContainer, false);
    if (!m_output || !m_time || !m_qtHost || !m_connections)
        return E_OUTOFMEMORY;
    m_connections->AddAvailableConnectionPoint(&IID_IMPNotificationSink);
    m_connections->AddAvailableConnectionPoint(&IID_IMPAdvisable);
    return S_OK;
}

HRESULT TTestHost::AggrQueryInterface(const CFUUIDBytes& riid, void** ppv)
{
    if (SUCCEEDED(QueryPart(m_output, riid, ppv)) || SUCCEEDED(QueryPart(m_qtHost, riid, ppv))
        || SUCCEEDED(QueryPart(m_time, riid, ppv)) || SUCCEEDED(QueryPart(m_connections, riid, ppv)))
        return S_OK;
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT TTestHost::midiOutDispatch(const tagMPEVENT& event, _MPASYNC_MODE mode)
{
    std::lock_guard<std::mutex> lock(m_sentMutex);
    sentEvents.push_back(event);
    sentModes.push_back(mode);
    return dispatchResult;
}

TTestSink::TTestSink(bool* destroyed)
    : TKAVComObject(nullptr, IID_IMPNotificationSink, false)
    , m_destroyed(destroyed)
{
}

TTestSink::~TTestSink()
{
    if (m_destroyed)
        *m_destroyed = true;
}

HRESULT TTestSink::MPNotify(const tagMPMSG&)
{
    ++notifications;
    if (onNotify)
        onNotify();
    return S_OK;
}

TPlainUnknown::TPlainUnknown()
    : TKAVComObject(nullptr, IID_IUnknown, false)
{
}

TAdvisableSink::TAdvisableSink()
    : TKAVComObject(nullptr, IID_IUnknown, false)
{
}

HRESULT TAdvisableSink::AggrQueryInterface(const CFUUIDBytes& riid, void** ppv)
{
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IMPAdvisable))
        return E_NOINTERFACE;
    AddRef();
    *ppv = static_cast<IUnknown*>(this);
    return S_OK;
}

TRecordingStream::TRecordingStream()
    : TKAVComObject(nullptr, IID_IStream, false)
{
}

HRESULT TRecordingStream::Write(const void* buffer, std::uint32_t count, std::uint32_t* done)
{
    const int index = static_cast<int>(writes.size());
    writes.push_back(count);
    if (failFromWrite >= 0 && index >= failFromWrite) {
        if (done)
            *done = 0;
        return E_FAIL;
    }
    const auto* bytesIn = static_cast<const char*>(buffer);
    bytes.insert(bytes.end(), bytesIn, bytesIn + count);
    if (done)
        *done = count;
    return S_OK;
}

namespace {
QStringList& caughtWarnings()
{
    static QStringList list;
    return list;
}

void catchMessage(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtWarningMsg)
        caughtWarnings().append(text);
}
} // namespace

TWarningCatcher::TWarningCatcher()
{
    caughtWarnings().clear();
    m_previous = qInstallMessageHandler(catchMessage);
}

TWarningCatcher::~TWarningCatcher()
{
    qInstallMessageHandler(m_previous);
    caughtWarnings().clear();
}

const QStringList& TWarningCatcher::warnings() const
{
    return caughtWarnings();
}

bool TWarningCatcher::sawAssert(const char* condition) const
{
    const QString prefix = QStringLiteral("ASSERT: \"%1\" in ").arg(QString::fromUtf8(condition));
    for (const QString& text : caughtWarnings())
        if (text.startsWith(prefix))
            return true;
    return false;
}

QString iidText(const CFUUIDBytes& iid)
{
    return QString::fromStdString(NS_KAV::uuidToText(iid));
}
