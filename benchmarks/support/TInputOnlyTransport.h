#pragma once
// A transport with nothing behind it: bytes are fed to read() by the benchmark itself and
// delivered by the pusher thread; sending is refused.

#include "TMIDITransport.h"

class TInputOnlyTransport : public TMIDITransport
{
public:
    ~TInputOnlyTransport() override { closeInput(); }
    bool openInput(int, TMIDIReaderRefConInterface* receiver) override
    {
        setReceiver(receiver);
        return startPusherThread();
    }
    void closeInput() override { stopPusherThread(); }
    bool openOutput(int) override { return false; }
    void closeOutput() override {}
    bool outputData(int, unsigned char*, unsigned long) override { return false; }
};
