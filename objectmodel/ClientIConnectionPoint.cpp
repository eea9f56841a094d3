#include "ClientIConnectionPoint.h"

#include "ClientIEnumConnections.h"
#include "NS_Utilities.h"

#include <new>
#include <utility>

namespace {
constexpr const char* kSource = "ClientIConnectionPoint.cpp";
}

ClientIConnectionPoint::ClientIConnectionPoint(IUnknown* outer, const CFUUIDBytes& factoryID,
                                               bool registerFactory)
    : TKAVComObject(outer, factoryID, registerFactory)
{
}

ClientIConnectionPoint::~ClientIConnectionPoint()
{
    // Sinks are released outside the list, in case a sink's release calls back into us.
    TConnectionList doomed;
    doomed.swap(m_connections);
    doomed.clear();
}

HRESULT ClientIConnectionPoint::Init()
{
    m_connections.clear();
    m_cookieCounter = 0;
    return S_OK;
}

HRESULT ClientIConnectionPoint::GetConnectionInterface(CFUUIDBytes* pIID)
{
    MW_ASSERT_TEXT(pIID != nullptr, "pIID", kSource);
    if (!pIID)
        return E_POINTER;
    *pIID = m_iid;
    return S_OK;
}

HRESULT ClientIConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC)
{
    // The container is the outer object this point is a part of.
    auto* container = pOuter ? dynamic_cast<IConnectionPointContainer*>(pOuter) : nullptr;
    MW_ASSERT_TEXT(container != nullptr, "pOuter != NULL", kSource);
    MW_ASSERT_TEXT(ppCPC != nullptr, "ppCPC", kSource);
    if (!ppCPC)
        return E_POINTER;
    *ppCPC = nullptr;
    if (!container)
        return E_FAIL;
    container->AddRef();
    *ppCPC = container;
    return S_OK;
}

HRESULT ClientIConnectionPoint::Advise(IUnknown* pUnk, std::uint32_t* pdwCookie)
{
    MW_ASSERT_TEXT(pdwCookie != nullptr, "pdwCookie", kSource);
    MW_ASSERT_TEXT(pUnk != nullptr, "pUnk", kSource);
    if (!pdwCookie || !pUnk)
        return E_POINTER;

    // The host calls the sink through the interface asked for here, never through pUnk.
    void* sink = nullptr;
    const HRESULT hr = pUnk->QueryInterface(m_iid, &sink);
    if (FAILED(hr))
        return MP_S_CANNOTCONNECT;
    if (!sink)
        return MP_S_CANNOTCONNECT;

    const std::uint32_t cookie = m_cookieCounter + 1;
    try {
        m_connections.push_back(std::make_shared<ClientConnection>(static_cast<IUnknown*>(sink), cookie));
    } catch (const std::bad_alloc&) {
        static_cast<IUnknown*>(sink)->Release();
        return E_OUTOFMEMORY;
    }
    m_cookieCounter = cookie;
    *pdwCookie = cookie;
    return S_OK;
}

HRESULT ClientIConnectionPoint::Unadvise(std::uint32_t cookie)
{
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
        if (*it && (*it)->cookie() == cookie) {
            // Out of the list first: the sink's release may call back into this point.
            std::shared_ptr<ClientConnection> removed = std::move(*it);
            m_connections.erase(it);
            removed.reset();
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT ClientIConnectionPoint::EnumConnections(IEnumConnections** ppEnum)
{
    MW_ASSERT_TEXT(ppEnum != nullptr, "ppEnum", kSource);
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    auto* enumerator = KAVNewObject<ClientIEnumConnections>(nullptr, IID_IEnumConnections, false, this);
    if (!enumerator)
        return E_OUTOFMEMORY;
    *ppEnum = enumerator;
    return S_OK;
}
