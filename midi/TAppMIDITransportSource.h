#pragma once
// Where the application endpoints get their MIDI driver objects. The platform drivers
// install their factory (MIDITransportInstance) once; until one is installed no endpoint
// can open a port. Endpoints can also be handed a factory of their own (tests, benchmarks).

#include <atomic>
#include <functional>

class TMIDITransport;

class TAppMIDITransportSource
{
public:
    using Factory = TMIDITransport* (*)();
    // A factory bound to one endpoint; returns a new driver owned by the caller, or null.
    using EndpointFactory = std::function<TMIDITransport*()>;

    // Installs the process-wide factory; null removes it.
    static void setFactory(Factory factory) { s_factory.store(factory, std::memory_order_release); }
    static Factory factory() { return s_factory.load(std::memory_order_acquire); }

    // A new driver from `factory`, or from the process-wide one when `factory` is empty;
    // null when there is none or it fails.
    static TMIDITransport* create(const EndpointFactory& factory = {});

private:
    static inline std::atomic<Factory> s_factory{nullptr};
};
