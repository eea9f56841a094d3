#pragma once
// The common part of every MIDI driver: one platform client per driver object, one input
// or one output port of it in use, 1-based port indices, chunked sending. A concrete
// driver (ALSA sequencer, JACK, in-process virtual service) supplies the platform steps.
//
// Received packets reach the parser through dispatchPacket() on the driver's receive
// thread. That call and closeInput() share one short lock, so once closeInput() has
// disconnected the source no packet is still being parsed when the pusher stops.

#include "TMIDITransport.h"

#include <mutex>

class TMIDIDriver : public TMIDITransport
{
    Q_OBJECT
public:
    // Longest packet handed to the platform; longer messages go out in pieces.
    static constexpr int kMaxPacketSize = 4096;
    // Least pause between two pieces of one message, so slow devices keep up.
    static constexpr int kChunkPauseMs = 100;

    explicit TMIDIDriver(QObject* parent = nullptr);
    // Concrete drivers call closeInput() and closeOutput() in their own destructors,
    // while their platform steps still exist.
    ~TMIDIDriver() override;

    bool openInput(int port, TMIDIReaderRefConInterface* receiver) override;
    void closeInput() override;
    bool openOutput(int port) override;
    void closeOutput() override;
    // Sends `status` (when not 0) and then `len` bytes of `data`, in packets of at most
    // kMaxPacketSize bytes with at least kChunkPauseMs between them. May sleep.
    bool outputData(int len, unsigned char* data, unsigned long status) override;
    // Sends one packet of `count` bytes: the status byte and count - 1 bytes of data, or
    // count bytes of data when status is 0.
    bool outputData2(int count, const unsigned char* data, unsigned long status);

    virtual bool hasClient() const = 0;
    bool inputConnected() const { return m_sourceConnected; }
    bool outputOpen() const { return m_destinationSet; }

protected:
    // Feeds one received packet to the parser (receive thread). Empty packets are skipped,
    // and so is everything that arrives while no input is open.
    void dispatchPacket(int count, const unsigned char* bytes);

    // --- platform steps; indices are 0-based ---
    // Creates the input / output port once; later calls answer whether it exists.
    virtual bool ensureInputPort() = 0;
    virtual bool ensureOutputPort() = 0;
    // Finds and remembers source / destination number `index`; false if there is none.
    virtual bool selectSource(int index) = 0;
    virtual bool selectDestination(int index) = 0;
    // Connects the remembered source to the input port.
    virtual bool connectSource() = 0;
    // Disconnects the source if connected and forgets it.
    virtual void releaseSource() = 0;
    // Forgets the destination (and drops whatever link the platform keeps to it).
    virtual void releaseDestination() = 0;
    // Sends one packet of 1..kMaxPacketSize bytes to the destination.
    virtual bool sendPacket(const unsigned char* bytes, int count) = 0;

private:
    std::mutex m_readLock;
    bool m_feeding = false;          // guarded by m_readLock
    bool m_sourceConnected = false;  // open/close thread only
    bool m_destinationSet = false;   // open/close thread only
};
