#pragma once
// Turns the raw bytes of one MIDI input port into tagMPEVENT records and hands them, in
// arrival order, to a receiver on the pusher thread. Also the abstract face of a MIDI
// driver: a concrete driver implements the open/close/send operations and feeds every
// received packet to read().
//
// read() and the parser state belong to the driver's receive thread; it never waits for
// the consumer (a full ring drops new events).

#include "TMIDIReaderRefConInterface.h"

#include <kav/KAVRecords.h>

#include <QObject>

#include <cstdint>

class TMIDIEventPushThread;

class TMIDITransport : public QObject
{
    Q_OBJECT
public:
    // Parser states, kept in the current event's type.
    static constexpr std::uint32_t kParserIdle = 1;
    static constexpr std::uint32_t kCollectingSysEx = MPEVENT_SYSEX;        // began with 0xF0
    static constexpr std::uint32_t kCollectingSysExCont = MPEVENT_SYSEXCONT; // began with 0xF7
    // A ring record with this type ends the pusher thread.
    static constexpr std::uint32_t kStopRecordType = kParserIdle;
    // A system-exclusive message longer than this is dropped as if its buffer could not
    // grow, so an endless message from a faulty device cannot exhaust memory.
    static constexpr int kDefaultSysExLimit = 64 * 1024 * 1024;

    // Event type per channel status (high nibble minus 8), and message lengths.
    static const std::uint32_t mpevent_short[7];
    static const int high_lengths[16];
    static const int low_lengths[16];

    explicit TMIDITransport(QObject* parent = nullptr);
    // Stops the pusher thread, then releases a system-exclusive message still open.
    ~TMIDITransport() override;

    // --- driver operations; port indices are 1-based ---
    virtual bool openInput(int port, TMIDIReaderRefConInterface* receiver) = 0;
    virtual void closeInput() = 0;
    virtual bool openOutput(int port) = 0;
    virtual void closeOutput() = 0;
    virtual bool outputData(int len, unsigned char* data, unsigned long status) = 0;

    // Parses one received packet; always returns 0.
    virtual int read(int len, const void* data);

    // Delivers one record to the receiver and releases its system-exclusive bytes
    // (pusher thread only).
    void doEvent(tagMPEVENT* event);

    bool startPusherThread();
    void stopPusherThread();

    static int midi_msg_length(unsigned char status);

    // Frees the system-exclusive bytes a queued record owns (before doEvent has run).
    static void releaseEventData(tagMPEVENT* event);

    TMIDIReaderRefConInterface* receiver() const { return m_receiver; }
    TMIDIEventPushThread* pusherThread() const { return m_pusherThread; }
    std::uint32_t parserState() const { return m_event.type; }

    int sysExLimit() const { return m_sysExLimit; }
    void setSysExLimit(int bytes) { m_sysExLimit = bytes > 0 ? bytes : 0; }

protected:
    void setReceiver(TMIDIReaderRefConInterface* receiver) { m_receiver = receiver; }

    // Parser steps; each returns the number of bytes it consumed.
    int readShort(int len, const unsigned char* p);
    int readLong(int len, const unsigned char* p);
    int pushLongEvent(const unsigned char* p);
    // Queues the current event for the pusher thread and returns the parser to idle.
    void pushEvent();

private:
    TMIDIReaderRefConInterface* m_receiver = nullptr;
    TMIDIEventPushThread* m_pusherThread = nullptr;
    tagMPEVENT m_event;
    int m_sysExLimit = kDefaultSysExLimit;
};
