#pragma once
// Enumerator over the connection points of a container. Not a part: it holds a counted
// reference to its container for as long as it lives and counts its own references.

#include <kav/KAVComObject.h>

#include <cstdint>

class ClientIConnectionPointContainer;

class ClientIEnumConnectionPoints
    : public TKAVComObject<ClientIEnumConnectionPoints, IEnumConnectionPoints>
{
public:
    static constexpr char kClassName[] = "ClientIEnumConnectionPoints";

    // container: the container to enumerate (a reference is added); null gives an
    // enumerator whose Next fails.
    ClientIEnumConnectionPoints(IUnknown* outer, const CFUUIDBytes& factoryID, bool registerFactory,
                                ClientIConnectionPointContainer* container);

    // IEnumConnectionPoints
    HRESULT Next(std::uint32_t count, IConnectionPoint** points, std::uint32_t* fetched) override;
    HRESULT Skip(std::uint32_t count) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumConnectionPoints** ppEnum) override;

    ~ClientIEnumConnectionPoints() override;
    HRESULT Init() override;

    std::uint32_t position() const { return m_position; }

private:
    ClientIConnectionPointContainer* m_container;
    std::uint32_t m_position = 0;
};
