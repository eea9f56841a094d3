#pragma once
// MIDI driver on JACK: one JACK client per driver object, with a MIDI input port "in"
// and a MIDI output port "out" registered on first use.
//
// Nothing in the process callback allocates or blocks. Received events are copied into a
// lock-free ring (a length word, then the bytes) and a reader thread runs the parser;
// packets to send are queued in a second ring and written in the next cycle. A packet
// larger than the port buffer can take is written in pieces over several cycles (only
// system-exclusive data is ever that long).

#if MW_HAVE_JACK

#include "TMIDIDriver.h"

#include <jack/jack.h>
#include <jack/ringbuffer.h>

#include <semaphore.h>

#include <QByteArray>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class TJackMIDI : public TMIDIDriver
{
    Q_OBJECT
public:
    static constexpr size_t kRingSize = 1 << 16;
    // How long a sender waits for room in the send ring before giving up.
    static constexpr int kSendWaitMs = 1000;

    TJackMIDI();
    ~TJackMIDI() override;

    bool hasClient() const override { return m_client != nullptr; }
    QString clientName() const;
    // Full names of the driver's ports (empty until registered).
    QString inputPortName() const;
    QString outputPortName() const;
    // Received events that found the ring full.
    unsigned droppedInput() const { return m_inDropped.load(std::memory_order_relaxed); }

protected:
    bool ensureInputPort() override;
    bool ensureOutputPort() override;
    bool selectSource(int index) override;
    bool selectDestination(int index) override;
    bool connectSource() override;
    void releaseSource() override;
    void releaseDestination() override;
    bool sendPacket(const unsigned char* bytes, int count) override;

private:
    static int processCallback(jack_nframes_t frames, void* self);
    static void shutdownCallback(void* self);
    void process(jack_nframes_t frames);
    void receiveIncoming(jack_nframes_t frames);
    void sendQueued(jack_nframes_t frames);
    void readerLoop();

    jack_client_t* m_client = nullptr;
    std::atomic<jack_port_t*> m_inPort{nullptr};
    std::atomic<jack_port_t*> m_outPort{nullptr};
    std::atomic<bool> m_serverGone{false};
    QByteArray m_source;      // full name of the connected source
    QByteArray m_destination; // full name of the destination
    bool m_connected = false;
    bool m_destConnected = false;

    jack_ringbuffer_t* m_inRing = nullptr;  // process callback -> reader thread
    jack_ringbuffer_t* m_outRing = nullptr; // senders -> process callback
    std::mutex m_sendLock;                  // one writer of m_outRing at a time
    sem_t m_inSignal;
    bool m_semaphoreReady = false;
    std::atomic<bool> m_stopReader{false};
    std::atomic<unsigned> m_inDropped{0};
    std::thread m_reader;

    // Owned by the process callback: the packet being written, possibly over cycles.
    unsigned char m_rtPacket[TMIDIDriver::kMaxPacketSize];
    std::uint32_t m_rtLength = 0;
    std::uint32_t m_rtOffset = 0;
};

#endif // MW_HAVE_JACK
