#pragma once
// Factories of the MIDI layer for the driver chosen for this process
// (MIDIDriverChoice.h).

#include "MIDIDriverChoice.h"
#include "TMIDIDriver.h"
#include "TMIDIPortAccessor.h"

// A new driver object with its own client; owned by the caller. Never null.
TMIDIDriver* MIDITransportInstance();
TMIDIDriver* MIDITransportInstance(TMIDIDriverKind kind);

// The system port registry, initialised from the preferences; owned by the caller.
// Null only if it could not be created.
TMIDIPortAccessor* MIDIPortAccessor();
TMIDIPortAccessor* MIDIPortAccessor(TMIDIDriverKind kind);
