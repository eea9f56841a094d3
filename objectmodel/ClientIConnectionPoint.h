#pragma once
// A connection point of the host: collects the sinks that components advise for one
// connection interface. A part of the connection point container, so references to it
// count on the container (and through it on the host context object).

#include "ClientConnection.h"

#include <kav/KAVComObject.h>

#include <cstdint>

class ClientIConnectionPoint : public TKAVComObject<ClientIConnectionPoint, IConnectionPoint>
{
public:
    static constexpr char kClassName[] = "ClientIConnectionPoint";

    // outer: the container (an IConnectionPointContainer), or null for a point on its own.
    ClientIConnectionPoint(IUnknown* outer, const CFUUIDBytes& factoryID, bool registerFactory);

    // IConnectionPoint
    HRESULT GetConnectionInterface(CFUUIDBytes* pIID) override;
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
    HRESULT Advise(IUnknown* pUnk, std::uint32_t* pdwCookie) override;
    HRESULT Unadvise(std::uint32_t cookie) override;
    HRESULT EnumConnections(IEnumConnections** ppEnum) override;

    ~ClientIConnectionPoint() override;
    HRESULT Init() override;

    // Host side.
    void setConnectionInterface(const CFUUIDBytes& iid) { m_iid = iid; }
    const CFUUIDBytes& connectionInterface() const { return m_iid; }
    // The live list in advising order. Copy it before calling out to the sinks.
    const TConnectionList& connections() const { return m_connections; }

private:
    CFUUIDBytes m_iid{};
    TConnectionList m_connections;
    std::uint32_t m_cookieCounter = 0;
};
