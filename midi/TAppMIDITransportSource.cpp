#include "TAppMIDITransportSource.h"

#include "TMIDITransport.h"

#include <new>

TMIDITransport* TAppMIDITransportSource::create(const EndpointFactory& factory)
{
    try {
        if (factory)
            return factory();
        if (const Factory installed = TAppMIDITransportSource::factory())
            return installed();
    } catch (const std::bad_alloc&) {
    }
    return nullptr;
}
