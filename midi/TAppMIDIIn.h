#pragma once
// The application's endpoint for one open system MIDI input port. It owns the port's driver
// object; the driver's pusher thread hands every parsed event to midiIn(), which stamps it
// with the process-wide event number, puts it into a one-event queue and calls the event
// filter of every attached component, one after another, under the endpoint's lock.
//
// Filters are not reference counted here: the host context object attaches a component's
// filter while the component lives and detaches it before releasing the component.

#include "TAppMIDITransportSource.h"
#include "TMIDIReaderRefConInterface.h"

#include <kav/KAVInterfaces.h>
#include <kav/KAVRecords.h>

#include <QList>
#include <QRecursiveMutex>

#include <cstdint>

class ClientIMPEventQueue;
class TMIDITransport;

class TAppMIDIIn : public TMIDIReaderRefConInterface
{
public:
    // The driver comes from the process-wide factory (TAppMIDITransportSource).
    TAppMIDIIn();
    // The driver comes from `factory`.
    explicit TAppMIDIIn(TAppMIDITransportSource::EndpointFactory factory);
    // Closes the input first, so no delivery runs once the queue and the lock go away.
    ~TAppMIDIIn() override;

    TAppMIDIIn(const TAppMIDIIn&) = delete;
    TAppMIDIIn& operator=(const TAppMIDIIn&) = delete;

    // Creates the event queue and the driver and opens the 1-based platform input `port`;
    // false when any of these fails (the caller discards the endpoint).
    bool openPort(std::uint32_t port);

    // Adds `filter` unless it is null or already attached.
    void attachEventFilter(IMPEventFilter* filter);
    // Removes `filter`; safe from inside a filter's own MPOnEvents.
    void detachEventFilter(IMPEventFilter* filter);

    // Delivery; called on the pusher thread. Without filters the event is dropped unstamped.
    void midiIn(tagMPEVENT* event) override;

    std::uint32_t port() const;
    TMIDITransport* transport() const { return m_transport; }
    IMPEventQueue* eventQueue() const;
    bool hasEventFilter(IMPEventFilter* filter) const;
    qsizetype eventFilterCount() const;

private:
    void releaseTransport();

    std::uint32_t m_port = 0;
    TMIDITransport* m_transport = nullptr;
    mutable QRecursiveMutex m_lock;
    QList<IMPEventFilter*> m_filters;
    ClientIMPEventQueue* m_queue = nullptr;
    TAppMIDITransportSource::EndpointFactory m_factory;
    // While midiIn walks the filters: the one being called and the end of the walk, kept
    // right when a filter detaches itself or another one during the call.
    qsizetype m_deliveryIndex = -1;
    qsizetype m_deliveryEnd = 0;
};
