#pragma once
// Factories of the MIDI layer for the driver chosen for this process
// (MIDIDriverChoice.h).

#include "MIDIDriverChoice.h"
#include "TMIDIDriver.h"
#include "TMIDIPortAccessor.h"

// A new driver object with its own client; owned by the caller. Never null.
TMIDITransport* MIDITransportInstance();
TMIDIDriver* MIDIDriverInstance(TMIDIDriverKind kind);

// Makes MIDITransportInstance the endpoints' driver factory (TAppMIDITransportSource)
// unless one is installed already.
void installMIDITransportFactory();

// The system port registry, initialised from the preferences; owned by the caller.
// Null only if it could not be created. Also installs the endpoints' driver factory, so
// that ports the registry names can be opened.
TMIDIPortAccessor* MIDIPortAccessor();
TMIDIPortAccessor* MIDIPortAccessor(TMIDIDriverKind kind);
