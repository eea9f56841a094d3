#include "ClientIMPClientServices.h"

#include "ClientIUnknown.h"

#include <NS_Utilities.h>

#include <kav/KAVHelpers.h>

#include <cstring>
#include <new>

namespace {

constexpr const char* kServicesSource = "ClientIMPClientServices.cpp";

QUuid uuidOf(const CFUUIDBytes& bytes)
{
    return QUuid::fromRfc4122(QByteArrayView(reinterpret_cast<const char*>(bytes.bytes), 16));
}

bool sameIdentity(const CFUUIDBytes& a, const CFUUIDBytes& b)
{
    return IsEqualIID(a, b);
}

} // namespace

ClientIMPClientServices::ClientIMPClientServices(IUnknown* outer, const CFUUIDBytes& factoryID,
                                                 bool registerFactory)
    : TKAVComObject(outer, factoryID, registerFactory)
{
}

HRESULT ClientIMPClientServices::Init()
{
    m_usageLock.reset(new (std::nothrow) std::recursive_mutex);
    return S_OK;
}

ClientIMPClientServices::~ClientIMPClientServices()
{
    RemoveAllPortUsages();
    m_usageLock.reset();
}

ClientIUnknown* ClientIMPClientServices::hostContext() const
{
    return dynamic_cast<ClientIUnknown*>(pOuter);
}

// --- IMPClientServices ------------------------------------------------------------------

HRESULT ClientIMPClientServices::MPGetPorts(bool output, tagMPPORTDATA* data)
{
    ClientIUnknown* context = hostContext();
    MW_ASSERT_TEXT(context != nullptr, "pOuter != NULL", kServicesSource);
    if (!context)
        return E_OUTOFMEMORY;
    return context->MPGetPorts(output ? 1 : 0, data);
}

HRESULT ClientIMPClientServices::MPRequestPort(std::uint32_t*, CFUUIDBytes*, char16_t**)
{
    return E_NOTIMPL;
}

HRESULT ClientIMPClientServices::MPReleasePort(std::uint32_t)
{
    return E_NOTIMPL;
}

HRESULT ClientIMPClientServices::MPAudioPortConfig(_MPAUDIOSTATE)
{
    return E_NOTIMPL;
}

HRESULT ClientIMPClientServices::ConnectProxy(IUnknown*)
{
    return E_NOTIMPL;
}

// --- port usages --------------------------------------------------------------------------

HRESULT ClientIMPClientServices::MPAdvisePortName(EIMPPortUsageOp op, CFUUIDBytes* portIdentity,
                                                  char16_t* name, CFUUIDBytes* /*unused*/,
                                                  IUnknown* user, std::int32_t usageIndex)
{
    if (!m_usageLock)
        return E_OUTOFMEMORY;
    std::lock_guard<std::recursive_mutex> lock(*m_usageLock);

    ClientIUnknown* context = hostContext();
    MW_ASSERT_TEXT(context != nullptr, "pOuter != NULL", kServicesSource);
    if (!context)
        return E_FAIL;

    // Every operation but a removal names a port; a removal without one cannot match.
    if (!portIdentity && op != eMPPortUsageRemove)
        return E_INVALIDARG;

    int direction = -1; // a removal never matches a stored direction
    if (op != eMPPortUsageRemove) {
        if (isValidPort(false, *portIdentity))
            direction = 0;
        else if (isValidPort(true, *portIdentity))
            direction = 1;
        else
            return E_INVALIDARG;
    }

    auto entry = m_usages.find(user);
    if (entry == m_usages.end()) {
        if (op != eMPPortUsageAdd)
            return E_INVALIDARG;
        entry = m_usages.insert(user, {});
    }
    std::list<ClientAdvisedPort*>& usages = entry.value();

    ClientAdvisedPort* found = findAdvisedPort(usages, usageIndex, direction, portIdentity);
    const QString text = name ? QString::fromUtf16(name) : QString();

    switch (op) {
    case eMPPortUsageRemove:
        if (!found)
            return E_FAIL;
        usages.remove(found);
        delete found;
        return S_OK;
    case eMPPortUsageAdd: {
        if (found)
            return E_FAIL;
        auto* usage = new (std::nothrow) ClientAdvisedPort{*portIdentity, text, usageIndex, direction};
        if (!usage)
            return E_OUTOFMEMORY;
        usages.push_back(usage);
        return S_OK;
    }
    case eMPPortUsageRename:
        if (found && sameIdentity(found->portIdentity, *portIdentity)) {
            found->name = text;
            return S_OK;
        }
        return E_FAIL;
    case eMPPortUsageMove:
        if (found && found->usageIndex == usageIndex && found->direction == direction) {
            found->portIdentity = *portIdentity;
            return S_OK;
        }
        return E_FAIL;
    default:
        return E_FAIL;
    }
}

bool ClientIMPClientServices::isValidPort(bool output, const CFUUIDBytes& identity) const
{
    ClientIUnknown* context = hostContext();
    MW_ASSERT_TEXT(context != nullptr, "pOuter != NULL", kServicesSource);
    if (!context || !context->portListLock())
        return false;
    std::lock_guard<std::recursive_mutex> lock(*context->portListLock());
    const tagMPPORTDATA& data = context->MPPortData(output ? 1 : 0);
    for (std::uint32_t i = 0; data.ports && i < data.count; ++i) {
        if (sameIdentity(data.ports[i].identity, identity))
            return true;
    }
    return false;
}

ClientAdvisedPort* ClientIMPClientServices::findAdvisedPort(const std::list<ClientAdvisedPort*>& list,
                                                            int usageIndex, int direction,
                                                            const CFUUIDBytes* identity) const
{
    for (ClientAdvisedPort* usage : list) {
        if (usage->usageIndex != usageIndex)
            continue;
        if (usage->direction == direction || (identity && sameIdentity(usage->portIdentity, *identity)))
            return usage;
    }
    return nullptr;
}

QString ClientIMPClientServices::nickNameForPortId(const QUuid& port) const
{
    QString text;
    if (!m_usageLock)
        return text;
    std::lock_guard<std::recursive_mutex> lock(*m_usageLock);
    ClientIUnknown* context = hostContext();
    if (!context)
        return text;
    // QMap keeps its users in ascending order of their object identity.
    for (auto entry = m_usages.cbegin(); entry != m_usages.cend(); ++entry) {
        for (const ClientAdvisedPort* usage : entry.value()) {
            if (uuidOf(usage->portIdentity) != port)
                continue;
            QString componentName;
            if (!context->wrapperComponentName(entry.key(), componentName))
                continue;
            if (!text.isEmpty())
                text += QStringLiteral(", ");
            text += componentName;
            if (!usage->name.isEmpty())
                text += QLatin1Char(' ') + usage->name;
        }
    }
    return text;
}

bool ClientIMPClientServices::portInUse(const QUuid& port) const
{
    if (!m_usageLock)
        return false;
    std::lock_guard<std::recursive_mutex> lock(*m_usageLock);
    for (const auto& usages : m_usages) {
        for (const ClientAdvisedPort* usage : usages) {
            if (uuidOf(usage->portIdentity) == port)
                return true;
        }
    }
    return false;
}

void ClientIMPClientServices::advisePortFree(IUnknown* user)
{
    if (!m_usageLock)
        return;
    std::lock_guard<std::recursive_mutex> lock(*m_usageLock);
    auto entry = m_usages.find(user);
    if (entry == m_usages.end())
        return;
    ClearPortUsage(entry.value());
    m_usages.erase(entry);
}

void ClientIMPClientServices::RemoveAllPortUsages()
{
    if (!m_usageLock) {
        for (auto& usages : m_usages)
            ClearPortUsage(usages);
        m_usages.clear();
        return;
    }
    std::lock_guard<std::recursive_mutex> lock(*m_usageLock);
    for (auto& usages : m_usages)
        ClearPortUsage(usages);
    m_usages.clear();
}

void ClientIMPClientServices::ClearPortUsage(std::list<ClientAdvisedPort*>& list)
{
    for (ClientAdvisedPort* usage : list)
        delete usage;
    list.clear();
}

int ClientIMPClientServices::usageCount(IUnknown* user) const
{
    if (!m_usageLock)
        return 0;
    std::lock_guard<std::recursive_mutex> lock(*m_usageLock);
    auto entry = m_usages.constFind(user);
    return entry == m_usages.cend() ? 0 : static_cast<int>(entry.value().size());
}
