#include "ClientIEnumConnectionPoints.h"

#include "ClientIConnectionPoint.h"
#include "ClientIConnectionPointContainer.h"
#include "NS_Utilities.h"
#include "TEnumPosition.h"

namespace {
constexpr const char* kSource = "ClientIEnumConnectionPoints.cpp";
}

ClientIEnumConnectionPoints::ClientIEnumConnectionPoints(IUnknown* outer, const CFUUIDBytes& factoryID,
                                                         bool registerFactory,
                                                         ClientIConnectionPointContainer* container)
    : TKAVComObject(outer, factoryID, registerFactory)
    , m_container(container)
{
    if (m_container)
        m_container->AddRef();
}

ClientIEnumConnectionPoints::~ClientIEnumConnectionPoints()
{
    if (m_container)
        m_container->Release();
}

HRESULT ClientIEnumConnectionPoints::Init()
{
    MW_ASSERT_TEXT(m_container != nullptr, "pOuter != NULL", kSource);
    m_position = 0;
    return S_OK;
}

HRESULT ClientIEnumConnectionPoints::Next(std::uint32_t count, IConnectionPoint** points,
                                          std::uint32_t* fetched)
{
    MW_ASSERT_TEXT(m_container != nullptr, "pOuter != NULL", kSource);
    if (!m_container)
        return E_FAIL;
    if (fetched)
        *fetched = 0;
    MW_ASSERT_TEXT(count > 0, "cConnections > 0", kSource);
    MW_ASSERT_TEXT(count == 1 || fetched != nullptr, "cConnections == 1 || pcFetched != NULL", kSource);
    if (count > 0 && !points)
        return E_POINTER;

    const std::size_t total = m_container->pointCount();
    std::uint32_t used = 0;
    for (std::size_t index = m_position; index < total && used < count; ++index) {
        IConnectionPoint*& slot = points[used++];
        slot = nullptr;
        if (ClientIConnectionPoint* point = m_container->pointAt(index)) {
            point->AddRef();
            slot = point;
        }
    }
    if (fetched)
        *fetched = used;
    m_position = NS_EnumPosition::advance(m_position, used);
    return NS_EnumPosition::nextResult(used, count);
}

HRESULT ClientIEnumConnectionPoints::Skip(std::uint32_t count)
{
    m_position = NS_EnumPosition::advance(m_position, count);
    return S_OK;
}

HRESULT ClientIEnumConnectionPoints::Reset()
{
    m_position = 0;
    return S_OK;
}

HRESULT ClientIEnumConnectionPoints::Clone(IEnumConnectionPoints** ppEnum)
{
    if (ppEnum)
        *ppEnum = nullptr;
    return E_NOTIMPL;
}
