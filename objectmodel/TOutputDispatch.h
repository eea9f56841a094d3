#pragma once
// The seam between a component's MIDI output object and whoever sends the events: the host
// context object implements it (routing to the output endpoint of the event's port).

#include <kav/KAVRecords.h>
#include <kav/KAVTypes.h>

class TOutputDispatch
{
public:
    // Called from any thread. Bit 0 of `mode` clear: accept and send nothing.
    virtual HRESULT midiOutDispatch(const tagMPEVENT& event, _MPASYNC_MODE mode) = 0;

protected:
    ~TOutputDispatch() = default;
};
