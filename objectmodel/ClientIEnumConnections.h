#pragma once
// Enumerator over the connections of one connection point. Not a part: it holds a counted
// reference to its point for as long as it lives and counts its own references.

#include <kav/KAVComObject.h>

#include <cstdint>

class ClientIConnectionPoint;

class ClientIEnumConnections : public TKAVComObject<ClientIEnumConnections, IEnumConnections>
{
public:
    static constexpr char kClassName[] = "ClientIEnumConnections";

    // point: the connection point to enumerate (a reference is added); null gives an
    // enumerator whose Next fails.
    ClientIEnumConnections(IUnknown* outer, const CFUUIDBytes& factoryID, bool registerFactory,
                           ClientIConnectionPoint* point);

    // IEnumConnections
    HRESULT Next(std::uint32_t count, CONNECTDATA* connections, std::uint32_t* fetched) override;
    HRESULT Skip(std::uint32_t count) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumConnections** ppEnum) override;

    ~ClientIEnumConnections() override;
    HRESULT Init() override;

    std::uint32_t position() const { return m_position; }

private:
    ClientIConnectionPoint* m_point;
    std::uint32_t m_position = 0;
};
