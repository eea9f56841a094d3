#include "TAppMIDIIn.h"

#include "ClientIMPEventQueue.h"
#include "TAppMIDIEventCounter.h"
#include "TAppMIDILocker.h"
#include "TMIDITransport.h"

#include <kav/KAVComObject.h>

#include <climits>
#include <utility>

TAppMIDIIn::TAppMIDIIn() = default;

TAppMIDIIn::TAppMIDIIn(TAppMIDITransportSource::EndpointFactory factory)
    : m_factory(std::move(factory))
{
}

TAppMIDIIn::~TAppMIDIIn()
{
    releaseTransport();
    TAppMIDILocker locker(&m_lock);
    if (m_queue) {
        m_queue->Release();
        m_queue = nullptr;
    }
    m_filters.clear();
}

void TAppMIDIIn::releaseTransport()
{
    if (!m_transport)
        return;
    // Disconnects the input and waits until the pusher has delivered what it holds.
    m_transport->closeInput();
    delete m_transport;
    m_transport = nullptr;
}

bool TAppMIDIIn::openPort(std::uint32_t port)
{
    // A second open replaces the driver; the old one stops delivering first.
    releaseTransport();

    auto* queue = KAVNewObject<ClientIMPEventQueue>(nullptr, IID_IMPEventQueue, false);
    {
        TAppMIDILocker locker(&m_lock);
        if (m_queue)
            m_queue->Release();
        m_queue = queue;
    }
    if (!queue)
        return false;

    m_transport = TAppMIDITransportSource::create(m_factory);
    if (!m_transport)
        return false;
    if (port > static_cast<std::uint32_t>(INT_MAX))
        return false; // no platform index is that large

    {
        TAppMIDILocker locker(&m_lock);
        m_port = port;
    }
    return m_transport->openInput(static_cast<int>(port), this);
}

void TAppMIDIIn::attachEventFilter(IMPEventFilter* filter)
{
    if (!filter)
        return;
    TAppMIDILocker locker(&m_lock);
    if (!m_filters.contains(filter))
        m_filters.append(filter); // beyond m_deliveryEnd: not called for the event in hand
}

void TAppMIDIIn::detachEventFilter(IMPEventFilter* filter)
{
    TAppMIDILocker locker(&m_lock);
    const qsizetype index = m_filters.indexOf(filter);
    if (index < 0)
        return;
    m_filters.removeAt(index);
    if (m_deliveryIndex >= 0) {
        if (index <= m_deliveryIndex)
            --m_deliveryIndex;
        if (index < m_deliveryEnd)
            --m_deliveryEnd;
    }
}

void TAppMIDIIn::midiIn(tagMPEVENT* event)
{
    if (!event)
        return;
    TAppMIDILocker locker(&m_lock);
    if (m_filters.isEmpty() || !m_queue)
        return; // dropped; the event counter does not move

    event->port = m_port;
    event->eventNumber = TAppMIDIEventCounter::take();
    event->eventNumberKind = 1;
    m_queue->MPQSetEvent(1, *event);

    tagMPQSTATUS status{};
    status.firstEventNumber = event->eventNumber;
    status.endEventNumber = event->eventNumber + 1;
    status.eventCount = 1;
    status.zero = 0;
    status.flags = MPQSTATUS_FLAG_VALID;

    IMPEventQueue* queue = m_queue;
    m_deliveryEnd = m_filters.size();
    for (m_deliveryIndex = 0; m_deliveryIndex < m_deliveryEnd; ++m_deliveryIndex) {
        IMPEventFilter* filter = m_filters.at(m_deliveryIndex);
        if (!filter)
            continue;
        // Each component reads with its own filter settings, never the previous one's.
        queue->MPQSetFilter(nullptr, nullptr);
        try {
            filter->MPOnEvents(queue, status);
        } catch (...) {
            // A component that throws across the interface loses this event, not the input.
        }
    }
    m_deliveryIndex = -1;
    m_deliveryEnd = 0;
}

std::uint32_t TAppMIDIIn::port() const
{
    TAppMIDILocker locker(&m_lock);
    return m_port;
}

IMPEventQueue* TAppMIDIIn::eventQueue() const
{
    TAppMIDILocker locker(&m_lock);
    return m_queue;
}

bool TAppMIDIIn::hasEventFilter(IMPEventFilter* filter) const
{
    TAppMIDILocker locker(&m_lock);
    return m_filters.contains(filter);
}

qsizetype TAppMIDIIn::eventFilterCount() const
{
    TAppMIDILocker locker(&m_lock);
    return m_filters.size();
}
