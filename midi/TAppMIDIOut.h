#pragma once
// The application's endpoint for one open system MIDI output port: turns event records back
// into MIDI bytes and sends them through its driver object, which it owns. Used by one
// thread at a time (the host context object serialises sends per output port).

#include "TAppMIDITransportSource.h"

#include <kav/KAVRecords.h>
#include <kav/KAVTypes.h>

#include <cstdint>

class TMIDITransport;

class TAppMIDIOut
{
public:
    // The driver comes from the process-wide factory (TAppMIDITransportSource).
    TAppMIDIOut();
    // The driver comes from `factory`.
    explicit TAppMIDIOut(TAppMIDITransportSource::EndpointFactory factory);
    ~TAppMIDIOut();

    TAppMIDIOut(const TAppMIDIOut&) = delete;
    TAppMIDIOut& operator=(const TAppMIDIOut&) = delete;

    // Creates the driver and opens the 1-based platform output `port`; false when either fails.
    bool openPort(std::uint32_t port);

    // Converts `event` to MIDI and sends it: S_OK, or E_FAIL when the event cannot be
    // converted or the driver fails (a sequence stops at its first failed message).
    HRESULT midiOut(const tagMPEVENT& event);

    // Sends `status` with the channel's low four bits, then `count` (0..2) data bytes:
    // `data1`, then `data2`. False when the driver fails, or when count or a data byte
    // would not make a valid message (nothing is sent then).
    bool midiOut(std::uint32_t channel, std::uint32_t status, std::uint32_t data1,
                 std::uint32_t data2, int count);

    TMIDITransport* transport() const { return m_transport; }

private:
    TMIDITransport* m_transport = nullptr;
    TAppMIDITransportSource::EndpointFactory m_factory;
};
