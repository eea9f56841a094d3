#include "ClientIEnumConnections.h"

#include "ClientIConnectionPoint.h"
#include "NS_Utilities.h"
#include "TEnumPosition.h"

namespace {
constexpr const char* kSource = "ClientIEnumConnections.cpp";
}

ClientIEnumConnections::ClientIEnumConnections(IUnknown* outer, const CFUUIDBytes& factoryID,
                                               bool registerFactory, ClientIConnectionPoint* point)
    : TKAVComObject(outer, factoryID, registerFactory)
    , m_point(point)
{
    if (m_point)
        m_point->AddRef();
}

ClientIEnumConnections::~ClientIEnumConnections()
{
    if (m_point)
        m_point->Release();
}

HRESULT ClientIEnumConnections::Init()
{
    MW_ASSERT_TEXT(m_point != nullptr, "pOuter != NULL", kSource);
    m_position = 0;
    return S_OK;
}

HRESULT ClientIEnumConnections::Next(std::uint32_t count, CONNECTDATA* connections, std::uint32_t* fetched)
{
    MW_ASSERT_TEXT(m_point != nullptr, "pOuter != NULL", kSource);
    if (!m_point)
        return E_FAIL;
    if (fetched)
        *fetched = 0;
    MW_ASSERT_TEXT(count > 0, "cConnections > 0", kSource);
    MW_ASSERT_TEXT(count == 1 || fetched != nullptr, "cConnections == 1 || pcFetched != NULL", kSource);
    if (count > 0 && !connections)
        return E_POINTER;

    const TConnectionList& list = m_point->connections();
    std::uint32_t used = 0;
    for (std::size_t index = m_position; index < list.size() && used < count; ++index) {
        CONNECTDATA& slot = connections[used++];
        slot = CONNECTDATA{};
        if (list[index])
            list[index]->FillConnectData(&slot);
    }
    if (fetched)
        *fetched = used;
    m_position = NS_EnumPosition::advance(m_position, used);
    return NS_EnumPosition::nextResult(used, count);
}

HRESULT ClientIEnumConnections::Skip(std::uint32_t count)
{
    m_position = NS_EnumPosition::advance(m_position, count);
    return S_OK;
}

HRESULT ClientIEnumConnections::Reset()
{
    m_position = 0;
    return S_OK;
}

HRESULT ClientIEnumConnections::Clone(IEnumConnections** ppEnum)
{
    if (ppEnum)
        *ppEnum = nullptr;
    return E_NOTIMPL;
}
