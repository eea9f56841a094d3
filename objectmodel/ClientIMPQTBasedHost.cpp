#include "ClientIMPQTBasedHost.h"

#include <QCoreApplication>

ClientIMPQTBasedHost::ClientIMPQTBasedHost(IUnknown* outer, const CFUUIDBytes& factoryID, bool registerFactory)
    : TKAVComObject(outer, factoryID, registerFactory)
{
}

ClientIMPQTBasedHost::~ClientIMPQTBasedHost() = default;

HRESULT ClientIMPQTBasedHost::QTGetInformation(std::uint32_t& info)
{
    info = 1;
    return S_OK;
}

HRESULT ClientIMPQTBasedHost::QTIdenticalHost(const void* application)
{
    // No application object at all is nobody's host.
    const QCoreApplication* own = QCoreApplication::instance();
    return own && application == static_cast<const void*>(own) ? S_OK : E_FAIL;
}
