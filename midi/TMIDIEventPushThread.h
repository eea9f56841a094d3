#pragma once
// The pusher thread of one open MIDI input: takes event records from its ring buffer and
// delivers them through the transport until it reads the stop record.

#include "CircularBuffer.h"

#include <kav/KAVRecords.h>

#include <QThread>

#include <condition_variable>

class TMIDITransport;

class TMIDIEventPushThread : public QThread
{
    Q_OBJECT
public:
    static constexpr int kRecordSize = static_cast<int>(sizeof(tagMPEVENT));
    static constexpr int kBufferSize = 0x7000; // 512 records

    explicit TMIDIEventPushThread(TMIDITransport* transport);
    // Releases the data of records still in the ring (only possible if bytes were queued
    // after the stop record).
    ~TMIDIEventPushThread() override;

    CircularBuffer& buffer() { return m_buffer; }
    // Waits with the buffer's own lock (CircularBuffer is Lockable). A standard wait
    // condition rather than QWaitCondition: it releases the lock through the buffer, so
    // thread checkers see every hand-over.
    std::condition_variable_any& waitCondition() { return m_wait; }

    // Takes one whole record if there is one. The caller holds the buffer's lock.
    bool takeRecord(tagMPEVENT* record);

    // Whether the thread is blocked on the wait condition. The caller holds the buffer's
    // lock; a producer that sees false after writing needs no wake-up, because the thread
    // will find the record before it waits again.
    bool consumerWaiting() const { return m_waiting > 0; }

protected:
    void run() override;

private:
    TMIDITransport* m_transport;
    std::condition_variable_any m_wait;
    CircularBuffer m_buffer;
    int m_waiting = 0; // guarded by the buffer's lock
};
