#include "ClientIUnknown.h"

#include "ClientIMPClientServices.h"
#include "TContextOwner.h"

#include "ClientIConnectionPointContainer.h"
#include "ClientIMPAsyncOutput.h"
#include "ClientIMPQTBasedHost.h"
#include "ClientIMPTimeInfo.h"
#include "TAppMIDIIn.h"
#include "TAppMIDIOut.h"
#include "MIDIDriverFactory.h"
#include "TMIDIPortAccessor.h"

#include <kav/KAVHelpers.h>

#include <QList>

#include <cstdlib>
#include <new>
#include <utility>

ClientIUnknown::ClientIUnknown(IUnknown* outer, const CFUUIDBytes& factoryID, bool registerFactory)
    : TKAVComObject(outer, factoryID, registerFactory)
{
}

HRESULT ClientIUnknown::Init()
{
    m_owner.store(nullptr, std::memory_order_release);
    m_outputMapLock.reset(new (std::nothrow) std::recursive_mutex);
    m_portListLock.reset(new (std::nothrow) std::recursive_mutex);
    if (!m_outputMapLock || !m_portListLock)
        return E_OUTOFMEMORY;

    IUnknown* self = this;
    m_output = KAVNewObject<ClientIMPAsyncOutput>(self, IID_IMPAsyncOutput, false);
    m_services = KAVNewObject<ClientIMPClientServices>(self, IID_IMPClientServices, false);
    m_timeInfo = KAVNewObject<ClientIMPTimeInfo>(self, IID_IMPTimeInfo, false);
    m_qtHost = KAVNewObject<ClientIMPQTBasedHost>(self, IID_IMPQTBasedHost, false);
    m_connections = KAVNewObject<ClientIConnectionPointContainer>(self, IID_IConnectionPointContainer, false);
    if (!m_output || !m_services || !m_timeInfo || !m_qtHost || !m_connections)
        return E_OUTOFMEMORY;
    // The output part finds this object as its dispatch when it is created; say it anyway,
    // so the routing does not depend on how the part looks at its outer object.
    m_output->setOutputDispatch(this);

    m_connections->AddAvailableConnectionPoint(&IID_IMPNotificationSink);
    m_connections->AddAvailableConnectionPoint(&IID_IMPAdvisable);

    m_portData[0] = {};
    m_portData[1] = {};
    m_workspacePorts = nullptr;
    m_portAccessor = createPortAccessor();
    return S_OK;
}

ClientIUnknown::~ClientIUnknown()
{
    m_owner.store(nullptr, std::memory_order_release);

    while (!m_inputs.isEmpty())
        releasePort(0, m_inputs.firstKey());
    while (!m_outputs.isEmpty())
        releasePort(1, m_outputs.firstKey());

    if (m_outputMapLock) {
        {
            std::lock_guard<std::recursive_mutex> lock(*m_outputMapLock);
            qDeleteAll(m_outputLocks);
            m_outputLocks.clear();
        }
        m_outputMapLock.reset();
    }

    disposeMPPortData();
    delete m_portAccessor;
    m_portAccessor = nullptr;
    m_portListLock.reset();

    // Our count is zero now, so each part's Release destroys the part. It is still 1 when
    // Init failed and the object is deleted without Release: say zero, or a part would hand
    // its Release back to us.
    __atomic_store_n(&refCount, 0, __ATOMIC_RELEASE);
    if (m_output)
        m_output->setOutputDispatch(nullptr);
    if (m_connections)
        m_connections->Release();
    if (m_qtHost)
        m_qtHost->Release();
    if (m_timeInfo)
        m_timeInfo->Release();
    if (m_services)
        m_services->Release();
    if (m_output)
        m_output->Release();
    m_connections = nullptr;
    m_qtHost = nullptr;
    m_timeInfo = nullptr;
    m_services = nullptr;
    m_output = nullptr;
}

HRESULT ClientIUnknown::AggrQueryInterface(const CFUUIDBytes& riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (SUCCEEDED(QueryPart(m_output, riid, ppv)) && *ppv)
        return S_OK;
    if (SUCCEEDED(QueryPart(m_services, riid, ppv)) && *ppv)
        return S_OK;
    if (m_services && IsEqualIID(riid, IID_IMPClientServices)) {
        m_services->AddRef();
        *ppv = static_cast<IMPClientServices2*>(m_services);
        return S_OK;
    }
    if (SUCCEEDED(QueryPart(m_qtHost, riid, ppv)) && *ppv)
        return S_OK;
    if (SUCCEEDED(QueryPart(m_timeInfo, riid, ppv)) && *ppv)
        return S_OK;
    if (SUCCEEDED(QueryPart(m_connections, riid, ppv)) && *ppv)
        return S_OK;
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT ClientIUnknown::ProxyMPNotify(const tagMPMSG& message)
{
    const TConnectionList* live = m_connections ? m_connections->GetConnections(&IID_IMPNotificationSink) : nullptr;
    if (!live)
        return E_FAIL;
    // A sink may advise or unadvise from inside MPNotify: walk a copy.
    const TConnectionList connections = *live;
    for (const auto& connection : connections) {
        if (connection && connection->sink())
            static_cast<IMPNotificationSink*>(connection->sink())->MPNotify(message);
    }
    return S_OK;
}

// --- output -------------------------------------------------------------------------------

HRESULT ClientIUnknown::midiOutDispatch(const tagMPEVENT& event, _MPASYNC_MODE mode)
{
    if ((static_cast<std::uint32_t>(mode) & 1u) == 0)
        return S_OK;
    if (!m_outputMapLock)
        return E_FAIL;

    std::recursive_mutex* portLock = nullptr;
    {
        std::lock_guard<std::recursive_mutex> mapLock(*m_outputMapLock);
        portLock = m_outputLocks.value(event.port, nullptr);
    }
    if (!portLock)
        return E_FAIL;

    // Port locks live until destruction, so this one cannot go away under us; holding it
    // keeps releasePort from deleting the endpoint while it sends.
    std::lock_guard<std::recursive_mutex> sendLock(*portLock);
    TAppMIDIOut* endpoint = nullptr;
    {
        std::lock_guard<std::recursive_mutex> mapLock(*m_outputMapLock);
        endpoint = m_outputs.value(event.port, nullptr);
    }
    if (!endpoint)
        return E_FAIL;
    // The endpoint's result goes back to the component: an event it cannot convert or a
    // driver that fails is not a success.
    return endpoint->midiOut(event);
}

// --- ports ----------------------------------------------------------------------------------

bool ClientIUnknown::requestPort(int direction, std::uint32_t port)
{
    if (port == 0)
        return false;
    return direction == 0 ? requestInputPort(port) : requestOutputPort(port);
}

bool ClientIUnknown::requestInputPort(std::uint32_t port)
{
    if (m_inputs.contains(port))
        return true;
    TAppMIDIIn* endpoint = createInputEndpoint();
    if (!endpoint)
        return false;
    if (TContextOwner* window = owner()) {
        const QList<IMPEventFilter*> filters = window->wrapperEventFilters();
        for (IMPEventFilter* filter : filters)
            endpoint->attachEventFilter(filter);
    }
    if (!endpoint->openPort(port)) {
        delete endpoint;
        return false;
    }
    m_inputs.insert(port, endpoint);
    return true;
}

bool ClientIUnknown::requestOutputPort(std::uint32_t port)
{
    if (!m_outputMapLock)
        return false;
    std::recursive_mutex* newLock = nullptr;
    {
        std::lock_guard<std::recursive_mutex> mapLock(*m_outputMapLock);
        if (m_outputs.contains(port))
            return true;
        if (!m_outputLocks.contains(port)) {
            newLock = new (std::nothrow) std::recursive_mutex;
            if (!newLock)
                return false;
        }
    }
    TAppMIDIOut* endpoint = createOutputEndpoint();
    if (!endpoint || !endpoint->openPort(port)) {
        delete endpoint;
        delete newLock;
        return false;
    }
    std::lock_guard<std::recursive_mutex> mapLock(*m_outputMapLock);
    if (newLock)
        m_outputLocks.insert(port, newLock);
    m_outputs.insert(port, endpoint);
    return true;
}

void ClientIUnknown::releasePort(int direction, std::uint32_t port)
{
    if (direction == 0)
        releaseInputPort(port);
    else
        releaseOutputPort(port);
}

void ClientIUnknown::releaseInputPort(std::uint32_t port)
{
    TAppMIDIIn* endpoint = m_inputs.take(port);
    delete endpoint; // closes the input; no delivery runs afterwards
}

void ClientIUnknown::releaseOutputPort(std::uint32_t port)
{
    if (!m_outputMapLock)
        return;
    std::recursive_mutex* portLock = nullptr;
    {
        std::lock_guard<std::recursive_mutex> mapLock(*m_outputMapLock);
        if (!m_outputs.contains(port))
            return;
        portLock = m_outputLocks.value(port, nullptr);
    }
    if (!portLock)
        return;
    TAppMIDIOut* endpoint = nullptr;
    {
        // Same order as the senders: port lock, then the map lock. A send in progress
        // finishes before the endpoint leaves the map.
        std::lock_guard<std::recursive_mutex> sendLock(*portLock);
        std::lock_guard<std::recursive_mutex> mapLock(*m_outputMapLock);
        endpoint = m_outputs.take(port);
    }
    delete endpoint;
}

bool ClientIUnknown::isPortActive(int direction, std::uint32_t port) const
{
    if (direction == 0)
        return m_inputs.contains(port);
    if (!m_outputMapLock)
        return false;
    std::lock_guard<std::recursive_mutex> mapLock(*m_outputMapLock);
    return m_outputs.contains(port);
}

int ClientIUnknown::openPortCount(int direction) const
{
    if (direction == 0)
        return static_cast<int>(m_inputs.size());
    if (!m_outputMapLock)
        return 0;
    std::lock_guard<std::recursive_mutex> mapLock(*m_outputMapLock);
    return static_cast<int>(m_outputs.size());
}

bool ClientIUnknown::hasOutputLock(std::uint32_t port) const
{
    if (!m_outputMapLock)
        return false;
    std::lock_guard<std::recursive_mutex> mapLock(*m_outputMapLock);
    return m_outputLocks.contains(port);
}

void ClientIUnknown::setEndpointFactory(TAppMIDITransportSource::EndpointFactory factory)
{
    m_endpointFactory = std::move(factory);
}

TMIDIPortAccessor* ClientIUnknown::createPortAccessor()
{
    return MIDIPortAccessor();
}

TAppMIDIIn* ClientIUnknown::createInputEndpoint()
{
    return new (std::nothrow) TAppMIDIIn(m_endpointFactory);
}

TAppMIDIOut* ClientIUnknown::createOutputEndpoint()
{
    return new (std::nothrow) TAppMIDIOut(m_endpointFactory);
}

// --- event filters -----------------------------------------------------------------------

void ClientIUnknown::attachEventFilter(IMPEventFilter* filter)
{
    if (!filter)
        return;
    for (TAppMIDIIn* endpoint : std::as_const(m_inputs))
        endpoint->attachEventFilter(filter);
}

void ClientIUnknown::detachEventFilter(IMPEventFilter* filter)
{
    if (!filter)
        return;
    for (TAppMIDIIn* endpoint : std::as_const(m_inputs))
        endpoint->detachEventFilter(filter);
}

// --- port lists ---------------------------------------------------------------------------

const tagMPPORTDATA& ClientIUnknown::MPPortData(int direction)
{
    tagMPPORTDATA& data = m_portData[direction == 0 ? 0 : 1];
    if (data.count == 0 && m_workspacePorts) {
        freePortData(data); // an empty list from an earlier build may still hold an array
        m_workspacePorts->MPGetPorts(direction == 0 ? 0 : 1, &data);
    }
    return data;
}

HRESULT ClientIUnknown::MPGetPorts(int direction, tagMPPORTDATA* out)
{
    if (!out)
        return E_POINTER;
    out->count = 0;
    out->ports = nullptr;
    if (!m_portListLock)
        return S_OK;
    std::lock_guard<std::recursive_mutex> lock(*m_portListLock);
    const tagMPPORTDATA& data = MPPortData(direction);
    if (data.count == 0 || !data.ports)
        return S_OK;
    auto* ports = static_cast<tagMPPORT*>(std::malloc(sizeof(tagMPPORT) * data.count));
    if (!ports)
        return S_OK;
    for (std::uint32_t i = 0; i < data.count; ++i) {
        ports[i] = data.ports[i];
        ports[i].name = CreateOLEString(data.ports[i].name);
    }
    out->ports = ports;
    out->count = data.count;
    return S_OK;
}

void ClientIUnknown::freePortData(tagMPPORTDATA& data)
{
    if (data.ports) {
        for (std::uint32_t i = 0; i < data.count; ++i)
            std::free(data.ports[i].name);
        std::free(data.ports);
    }
    data.ports = nullptr;
    data.count = 0;
}

void ClientIUnknown::disposeMPPortData()
{
    if (!m_portListLock)
        return;
    std::lock_guard<std::recursive_mutex> lock(*m_portListLock);
    freePortData(m_portData[0]);
    freePortData(m_portData[1]);
}

void ClientIUnknown::setWorkspacePorts(TMIDIPortAccessor* ports)
{
    if (m_portListLock) {
        std::lock_guard<std::recursive_mutex> lock(*m_portListLock);
        m_workspacePorts = ports;
        freePortData(m_portData[0]);
        freePortData(m_portData[1]);
    } else {
        m_workspacePorts = ports;
    }
}

// --- owner and services ------------------------------------------------------------------

CKAVWrapper* ClientIUnknown::wrapperObject(IUnknown* component) const
{
    TContextOwner* window = owner();
    return window ? window->wrapperObject(component) : nullptr;
}

bool ClientIUnknown::wrapperComponentName(IUnknown* component, QString& name) const
{
    TContextOwner* window = owner();
    return window ? window->wrapperComponentName(component, name) : false;
}

bool ClientIUnknown::portInUse(const QUuid& port) const
{
    return m_services ? m_services->portInUse(port) : false;
}

QString ClientIUnknown::nickNameForPortId(const QUuid& port) const
{
    return m_services ? m_services->nickNameForPortId(port) : QString();
}

void ClientIUnknown::advisePortFree(IUnknown* component)
{
    if (m_services)
        m_services->advisePortFree(component);
}

IMPAsyncOutput* ClientIUnknown::asyncOutput() const
{
    return m_output;
}
