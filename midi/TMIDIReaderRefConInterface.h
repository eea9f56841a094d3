#pragma once
// The consumer side of a MIDI input: whoever receives the parsed events of one input port
// (the application's input endpoint). Called on the transport's pusher thread, one event
// at a time, in arrival order.

#include <kav/KAVRecords.h>

class TMIDIReaderRefConInterface
{
public:
    virtual ~TMIDIReaderRefConInterface() = default;

    // For system-exclusive kinds, event->data.ptr and event->length are valid only during
    // the call; a receiver that keeps the bytes copies them.
    virtual void midiIn(tagMPEVENT* event) = 0;
};
