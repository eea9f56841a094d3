#pragma once
// The host context object: the one object through which every component of a Workspace
// reaches the host. It aggregates the host's service objects as parts (asynchronous output,
// client services, time information, Qt host information, connection points), owns the
// system port registry and the open MIDI endpoints, routes component output to the output
// endpoint of the event's port and forwards host notifications to the advised sinks.
//
// Lifetime: created with KAVNewObject<ClientIUnknown>(nullptr, IID_IUnknown, false); the
// creator holds the one reference and gives it back with Release(). References a component
// takes on any part count on this object, so it lives until the last of them goes.
//
// Threads: midiOutDispatch, MPGetPorts, disposeMPPortData and the port-usage calls may come
// from any thread. requestPort, releasePort, isPortActive, attach/detachEventFilter and the
// owner / Workspace-ports setters belong to the GUI thread.
//
// Lock order: output map lock (briefly) -> port lock -> output map lock. The port list lock
// and the services' usage lock are never held while taking an output lock. The usage lock
// comes before the port list lock (checking a port) and before the owner's lock (names).

#include "TAppMIDIEventCounter.h"
#include "TAppMIDITransportSource.h"
#include "TOutputDispatch.h"

#include <kav/KAVComObject.h>
#include <kav/KAVRecords.h>

#include <QMap>
#include <QString>
#include <QUuid>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class CKAVWrapper;
class ClientIConnectionPointContainer;
class ClientIMPAsyncOutput;
class ClientIMPClientServices;
class ClientIMPQTBasedHost;
class ClientIMPTimeInfo;
class TAppMIDIIn;
class TAppMIDIOut;
class TContextOwner;
class TMIDIPortAccessor;

class ClientIUnknown : public TKAVComObject<ClientIUnknown, IUnknown>, public TOutputDispatch
{
public:
    static constexpr char kClassName[] = "ClientIUnknown";

    // Process-wide number of received events; the input endpoints stamp every event from it
    // with one atomic fetch-and-add, so several inputs may count at the same time.
    static inline std::atomic<std::uint64_t>& s_timeCounter = TAppMIDIEventCounter::s_timeCounter;

    // The main window passes (nullptr, IID_IUnknown, false). Use KAVNewObject so that Init
    // (the parts, the connection points, the port registry) runs.
    ClientIUnknown(IUnknown* outer, const CFUUIDBytes& factoryID, bool registerFactory);
    ~ClientIUnknown() override;

    // Creates the locks, the parts in order (output, services, time, Qt host, connection),
    // the two connection points (IMPNotificationSink, then the advisable interface) and the
    // system port registry. E_OUTOFMEMORY when a lock or a part cannot be created.
    HRESULT Init() override;

    // The aggregate lookup: output, services, IMPClientServices (the services part),
    // Qt host, time, connection part; the first that answers.
    HRESULT AggrQueryInterface(const CFUUIDBytes& riid, void** ppv) override;

    // Delivers `message` to every advised notification sink in advising order; E_FAIL when
    // the notification connection point is missing; the sinks' results are ignored.
    virtual HRESULT ProxyMPNotify(const tagMPMSG& message);

    // TOutputDispatch: the component's event to the output endpoint of event.port. S_OK
    // (also when mode bit 0 is clear: nothing sent); E_FAIL when the port has no open output,
    // or the endpoint could not convert or send the event.
    HRESULT midiOutDispatch(const tagMPEVENT& event, _MPASYNC_MODE mode) override;

    // Opens the endpoint of 1-based platform `port` (direction 0 input, 1 output); true when
    // it is open afterwards. Port 0 is never opened. A new input endpoint gets the event
    // filters of all of the owner's wrappers.
    bool requestPort(int direction, std::uint32_t port);
    // Closes that endpoint; waits for a send in progress on an output port.
    void releasePort(int direction, std::uint32_t port);
    bool isPortActive(int direction, std::uint32_t port) const;

    // Adds / removes a component's filter on every open input endpoint. Null is ignored.
    void attachEventFilter(IMPEventFilter* filter);
    void detachEventFilter(IMPEventFilter* filter);

    // A copy of the port list of `direction` (0 input, 1 output) for a component: the
    // caller frees every name and the array. E_POINTER for a null `out`; an allocation
    // failure gives an empty list with S_OK.
    HRESULT MPGetPorts(int direction, tagMPPORTDATA* out);
    // The cached list of `direction`, built from the Workspace ports on first use. The
    // caller holds portListLock().
    const tagMPPORTDATA& MPPortData(int direction);
    // Discards both cached lists; the next MPGetPorts builds them again.
    void disposeMPPortData();
    // Guards the cached port lists; null only when Init failed.
    std::recursive_mutex* portListLock() const { return m_portListLock.get(); }

    // The system port registry (owned); null in a form without drivers.
    TMIDIPortAccessor* portAccessor() const { return m_portAccessor; }

    // The Workspace port mapping (TVirtualMIDIPortAccessor, which is a TMIDIPortAccessor);
    // not owned; set by the main window after creating it, cleared (null) before deleting it.
    void setWorkspacePorts(TMIDIPortAccessor* ports);
    TMIDIPortAccessor* workspacePorts() const { return m_workspacePorts; }

    // The owning window; set right after construction, cleared before the window releases
    // its reference.
    void setOwner(TContextOwner* owner) { m_owner.store(owner, std::memory_order_release); }
    TContextOwner* owner() const { return m_owner.load(std::memory_order_acquire); }

    // The wrapper of `component`, asked of the owner; null without owner or wrapper.
    CKAVWrapper* wrapperObject(IUnknown* component) const;
    // Component name of the wrapper of `component`; false without owner or wrapper.
    bool wrapperComponentName(IUnknown* component, QString& name) const;

    // Forwarded to the services part. nickNameForPortId asks the owner for component names
    // while holding the usage lock: call it on the GUI thread.
    bool portInUse(const QUuid& port) const;
    QString nickNameForPortId(const QUuid& port) const;
    void advisePortFree(IUnknown* component);

    // The parts, not counted (valid while this object lives). asyncOutput() is what the
    // wrapper hands to MPConnect as the output argument.
    IMPAsyncOutput* asyncOutput() const;
    ClientIMPAsyncOutput* outputPart() const { return m_output; }
    ClientIMPClientServices* servicesPart() const { return m_services; }
    ClientIMPTimeInfo* timePart() const { return m_timeInfo; }
    ClientIMPQTBasedHost* qtHostPart() const { return m_qtHost; }
    ClientIConnectionPointContainer* connectionPart() const { return m_connections; }

    // Where new endpoints get their drivers; empty (the default) means the process-wide
    // driver factory. For tests and embedded uses; set before ports are requested.
    void setEndpointFactory(TAppMIDITransportSource::EndpointFactory factory);

    // Diagnostics for tests: number of open endpoints of a direction, and whether a port
    // lock exists for an output port number.
    int openPortCount(int direction) const;
    bool hasOutputLock(std::uint32_t port) const;
    // The open input endpoint of `port`, or null (GUI thread).
    TAppMIDIIn* inputEndpoint(std::uint32_t port) const { return m_inputs.value(port, nullptr); }

protected:
    // The system port registry; MIDIPortAccessor() here. A form without drivers returns null.
    virtual TMIDIPortAccessor* createPortAccessor();
    // New, unopened endpoints.
    virtual TAppMIDIIn* createInputEndpoint();
    virtual TAppMIDIOut* createOutputEndpoint();

private:
    bool requestInputPort(std::uint32_t port);
    bool requestOutputPort(std::uint32_t port);
    void releaseInputPort(std::uint32_t port);
    void releaseOutputPort(std::uint32_t port);
    static void freePortData(tagMPPORTDATA& data);

    // Parts, in order of creation; each holds the one reference this object owns.
    ClientIMPAsyncOutput* m_output = nullptr;
    ClientIMPClientServices* m_services = nullptr;
    ClientIMPTimeInfo* m_timeInfo = nullptr;
    ClientIMPQTBasedHost* m_qtHost = nullptr;
    ClientIConnectionPointContainer* m_connections = nullptr;

    std::atomic<TContextOwner*> m_owner{nullptr};
    TMIDIPortAccessor* m_portAccessor = nullptr;
    TMIDIPortAccessor* m_workspacePorts = nullptr;

    tagMPPORTDATA m_portData[2]{}; // 0 inputs, 1 outputs; count 0: not built

    QMap<std::uint32_t, TAppMIDIIn*> m_inputs;   // GUI thread only
    QMap<std::uint32_t, TAppMIDIOut*> m_outputs; // under the output map lock
    // One per output port number ever opened; kept until destruction, so a sender that
    // found a lock never sees it deleted.
    QMap<std::uint32_t, std::recursive_mutex*> m_outputLocks;
    std::unique_ptr<std::recursive_mutex> m_outputMapLock;
    std::unique_ptr<std::recursive_mutex> m_portListLock;

    TAppMIDITransportSource::EndpointFactory m_endpointFactory;
};
