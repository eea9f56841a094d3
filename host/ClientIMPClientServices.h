#pragma once
// Client services: lets a component list the Workspace MIDI ports and tell the host which
// ports it uses under which name. A part of the host context object, which answers both
// IMPClientServices2 and IMPClientServices with it.
//
// The usages are kept per component (the IUnknown the component passes as user); they make
// a port's nickname ("Mixer 1 MIDI A, Recorder") and are forgotten when the component's
// wrapper is destroyed (advisePortFree). Every access to them runs under the recursive
// usage lock, from any thread.

#include "ClientAdvisedPort.h"

#include <kav/KAVComObject.h>

#include <QMap>
#include <QString>
#include <QUuid>

#include <list>
#include <memory>
#include <mutex>

class ClientIUnknown;

class ClientIMPClientServices : public TKAVComObject<ClientIMPClientServices, IMPClientServices2>
{
public:
    static constexpr char kClassName[] = "ClientIMPClientServices";

    // outer: the host context object (a ClientIUnknown); without one most calls fail.
    ClientIMPClientServices(IUnknown* outer, const CFUUIDBytes& factoryID, bool registerFactory);

    // IMPClientServices
    // The Workspace ports of one direction (output when true), from the host context object.
    HRESULT MPGetPorts(bool output, tagMPPORTDATA* data) override;
    // Opening ports is the host's business: E_NOTIMPL.
    HRESULT MPRequestPort(std::uint32_t* port, CFUUIDBytes* identity, char16_t** name) override;
    HRESULT MPReleasePort(std::uint32_t port) override;
    HRESULT MPAudioPortConfig(_MPAUDIOSTATE state) override;

    // IMPClientServices2: op 0 remove, 1 add, 2 rename, 3 move a usage. S_OK, E_FAIL (usage
    // missing / already there, no host context, unknown op), E_INVALIDARG (port not a
    // Workspace port, unknown user for 0/2/3), E_OUTOFMEMORY. The fourth argument is ignored.
    HRESULT MPAdvisePortName(EIMPPortUsageOp op, CFUUIDBytes* portIdentity, char16_t* name,
                             CFUUIDBytes* unused, IUnknown* user, std::int32_t usageIndex) override;

    // Removes every usage, then the lock.
    ~ClientIMPClientServices() override;
    // Creates the usage lock.
    HRESULT Init() override;

    // Connection to an outer host; E_NOTIMPL in the application.
    virtual HRESULT ConnectProxy(IUnknown* outerHost);

    // True when `identity` is a port of the host context object's list of that direction.
    bool isValidPort(bool output, const CFUUIDBytes& identity) const;
    // First usage of `list` with that usage index and either that direction or that identity.
    ClientAdvisedPort* findAdvisedPort(const std::list<ClientAdvisedPort*>& list, int usageIndex,
                                       int direction, const CFUUIDBytes* identity) const;
    // Names of the components using `port`: "Mixer 1 MIDI A, Recorder".
    QString nickNameForPortId(const QUuid& port) const;
    bool portInUse(const QUuid& port) const;
    // Forgets every usage of one component.
    void advisePortFree(IUnknown* user);
    // Forgets every usage of every component.
    void RemoveAllPortUsages();
    // Deletes every usage of `list` and empties it.
    void ClearPortUsage(std::list<ClientAdvisedPort*>& list);

    // Number of usages `user` has (tests, diagnostics).
    int usageCount(IUnknown* user) const;

private:
    ClientIUnknown* hostContext() const;

    std::unique_ptr<std::recursive_mutex> m_usageLock;
    QMap<IUnknown*, std::list<ClientAdvisedPort*>> m_usages;
};
