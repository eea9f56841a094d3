#include "ClientIMPEventQueue.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// The values of a list, or none for a null list; a list whose count has no values is
// invalid and rejected before anything changes.
bool copyList(const tagMPIDLIST* list, std::vector<std::uint32_t>& out)
{
    out.clear();
    if (!list || list->count == 0)
        return true;
    if (!list->ids)
        return false;
    out.assign(list->ids, list->ids + list->count);
    return true;
}

bool passes(const std::vector<std::uint32_t>& filter, std::uint32_t value)
{
    return filter.empty() || std::find(filter.begin(), filter.end(), value) != filter.end();
}

} // namespace

ClientIMPEventQueue::ClientIMPEventQueue(IUnknown* outer, const CFUUIDBytes& factoryID, bool registerFactory)
    : TKAVComObject(outer, factoryID, registerFactory)
{
}

ClientIMPEventQueue::~ClientIMPEventQueue() = default;

HRESULT ClientIMPEventQueue::Init()
{
    m_portFilter.clear();
    m_idFilter.clear();
    m_event = tagMPEVENT{};
    return S_OK;
}

HRESULT ClientIMPEventQueue::MPQSetFilter(tagMPIDLIST* ports, tagMPIDLIST* ids)
{
    // Built aside and swapped in, so a failure keeps the old filters.
    std::vector<std::uint32_t> portFilter;
    std::vector<std::uint32_t> idFilter;
    try {
        if (!copyList(ports, portFilter) || !copyList(ids, idFilter))
            return E_POINTER;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    m_portFilter.swap(portFilter);
    m_idFilter.swap(idFilter);
    return S_OK;
}

bool ClientIMPEventQueue::checkFilter(std::uint32_t port, std::uint32_t id2) const
{
    return passes(m_portFilter, port) && passes(m_idFilter, id2);
}

HRESULT ClientIMPEventQueue::MPQGetFirstEvent(std::uint32_t* count, tagMPEVENT* event, std::uint32_t* more,
                                              std::uint32_t typeMask)
{
    if (!count || !event || !more)
        return E_FAIL;
    *count = 0;
    *more = 0;
    if ((m_event.type & typeMask) == 0 || !checkFilter(m_event.port, m_event.id2))
        return S_OK;

    *count = 1;
    std::memcpy(event, &m_event, sizeof(tagMPEVENT));
    if (MPEventIsSystem(m_event.type)) {
        // The deliverer's bytes live only during delivery: the reader gets its own block.
        event->length = 0;
        event->data.ptr = nullptr;
        if (m_event.length != 0 && m_event.data.ptr) {
            auto* copy = static_cast<std::uint8_t*>(std::malloc(m_event.length));
            if (!copy)
                return E_OUTOFMEMORY;
            std::memcpy(copy, m_event.data.ptr, m_event.length);
            event->data.ptr = copy;
            event->length = m_event.length;
        }
    }
    return S_OK;
}

HRESULT ClientIMPEventQueue::MPQGetNextEvent(std::uint32_t* count, tagMPEVENT*, std::uint32_t* more,
                                             std::uint32_t)
{
    // The queue holds one event: there is never a further one.
    if (count)
        *count = 0;
    if (more)
        *more = 0;
    return S_OK;
}

HRESULT ClientIMPEventQueue::MPQGetPrevEvent(std::uint32_t* count, tagMPEVENT*, std::uint32_t* more,
                                             std::uint32_t)
{
    if (count)
        *count = 0;
    if (more)
        *more = 0;
    return S_OK;
}

HRESULT ClientIMPEventQueue::MPQGetEvent(std::uint32_t, tagMPEVENT*, std::uint32_t)
{
    return E_FAIL;
}

HRESULT ClientIMPEventQueue::MPQSetEvent(std::uint32_t slot, const tagMPEVENT& event)
{
    if (slot == 1 && &event != &m_event)
        std::memcpy(&m_event, &event, sizeof(tagMPEVENT));
    return S_OK;
}

HRESULT ClientIMPEventQueue::MPQInsertEvent(std::uint32_t, const tagMPEVENT&)
{
    return E_FAIL;
}

HRESULT ClientIMPEventQueue::MPQDeleteEvent(std::uint32_t)
{
    return E_FAIL;
}
