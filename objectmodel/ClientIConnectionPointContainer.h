#pragma once
// The host's connection point container: answers IConnectionPointContainer for the host
// context object and owns its connection points (parts of this container).

#include "ClientConnection.h"

#include <kav/KAVComObject.h>

#include <cstddef>
#include <vector>

class ClientIConnectionPoint;

class ClientIConnectionPointContainer
    : public TKAVComObject<ClientIConnectionPointContainer, IConnectionPointContainer>
{
public:
    static constexpr char kClassName[] = "ClientIConnectionPointContainer";

    ClientIConnectionPointContainer(IUnknown* outer, const CFUUIDBytes& factoryID, bool registerFactory);

    // IConnectionPointContainer
    HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
    // S_OK with a counted point, or MP_S_NOCONNECTIONPOINT (1965, not a failure) and null.
    HRESULT FindConnectionPoint(CFUUIDBytes riid, IConnectionPoint** ppCP) override;

    ~ClientIConnectionPointContainer() override;
    HRESULT Init() override;

    // Host side: offers a new point for `iid` (S_OK, E_FAIL when it cannot be created).
    virtual HRESULT AddAvailableConnectionPoint(const CFUUIDBytes* iid);
    // The live connection list of the point for `iid`; null when there is no such point
    // (or `iid` is null). Copy it before calling out to the sinks.
    const TConnectionList* GetConnections(const CFUUIDBytes* iid) const;

    std::size_t pointCount() const { return m_points.size(); }
    ClientIConnectionPoint* pointAt(std::size_t index) const;
    ClientIConnectionPoint* findPoint(const CFUUIDBytes& iid) const;

private:
    std::vector<ClientIConnectionPoint*> m_points; // each holds the one reference we own
};
