#include "ClientIConnectionPointContainer.h"

#include "ClientIConnectionPoint.h"
#include "ClientIEnumConnectionPoints.h"
#include "NS_Utilities.h"

#include <new>

namespace {
constexpr const char* kSource = "ClientIConnectionPointContainer.cpp";
}

ClientIConnectionPointContainer::ClientIConnectionPointContainer(IUnknown* outer, const CFUUIDBytes& factoryID,
                                                                 bool registerFactory)
    : TKAVComObject(outer, factoryID, registerFactory)
{
}

ClientIConnectionPointContainer::~ClientIConnectionPointContainer()
{
    // Our own count is zero now, so each point's Release acts on the point itself.
    std::vector<ClientIConnectionPoint*> points;
    points.swap(m_points);
    for (ClientIConnectionPoint* point : points)
        if (point)
            point->Release();
}

HRESULT ClientIConnectionPointContainer::Init()
{
    m_points.clear();
    return S_OK;
}

HRESULT ClientIConnectionPointContainer::AddAvailableConnectionPoint(const CFUUIDBytes* iid)
{
    MW_ASSERT_TEXT(iid != nullptr, "iid", kSource);
    if (!iid)
        return E_POINTER;
    auto* point = KAVNewObject<ClientIConnectionPoint>(static_cast<IConnectionPointContainer*>(this),
                                                       IID_IConnectionPoint, false);
    if (!point)
        return E_FAIL;
    point->setConnectionInterface(*iid);
    try {
        m_points.push_back(point);
    } catch (const std::bad_alloc&) {
        delete point; // a part is not released through its outer object
        return E_FAIL;
    }
    return S_OK;
}

const TConnectionList* ClientIConnectionPointContainer::GetConnections(const CFUUIDBytes* iid) const
{
    if (!iid)
        return nullptr;
    ClientIConnectionPoint* point = findPoint(*iid);
    return point ? &point->connections() : nullptr;
}

ClientIConnectionPoint* ClientIConnectionPointContainer::pointAt(std::size_t index) const
{
    return index < m_points.size() ? m_points[index] : nullptr;
}

ClientIConnectionPoint* ClientIConnectionPointContainer::findPoint(const CFUUIDBytes& iid) const
{
    for (ClientIConnectionPoint* point : m_points)
        if (point && IsEqualIID(point->connectionInterface(), iid))
            return point;
    return nullptr;
}

HRESULT ClientIConnectionPointContainer::EnumConnectionPoints(IEnumConnectionPoints** ppEnum)
{
    MW_ASSERT_TEXT(ppEnum != nullptr, "ppEnum", kSource);
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    auto* enumerator =
        KAVNewObject<ClientIEnumConnectionPoints>(nullptr, IID_IEnumConnectionPoints, false, this);
    if (!enumerator)
        return E_OUTOFMEMORY;
    *ppEnum = enumerator;
    return S_OK;
}

HRESULT ClientIConnectionPointContainer::FindConnectionPoint(CFUUIDBytes riid, IConnectionPoint** ppCP)
{
    MW_ASSERT_TEXT(ppCP != nullptr, "ppCP", kSource);
    if (!ppCP)
        return E_POINTER;
    *ppCP = nullptr;
    ClientIConnectionPoint* point = findPoint(riid);
    if (!point)
        return MP_S_NOCONNECTIONPOINT;
    point->AddRef();
    *ppCP = point;
    return S_OK;
}
