#pragma once
// Tells a component that the host runs Qt, and whether the component's application
// object is the host's own.

#include <kav/KAVComObject.h>

#include <cstdint>

class ClientIMPQTBasedHost : public TKAVComObject<ClientIMPQTBasedHost, IMPQTBasedHost>
{
public:
    static constexpr char kClassName[] = "ClientIMPQTBasedHost";

    ClientIMPQTBasedHost(IUnknown* outer, const CFUUIDBytes& factoryID, bool registerFactory);

    // IMPQTBasedHost
    HRESULT QTGetInformation(std::uint32_t& info) override; // stores 1
    // S_OK when `application` is this process's Qt application object, else E_FAIL.
    HRESULT QTIdenticalHost(const void* application) override;

    ~ClientIMPQTBasedHost() override;
};
