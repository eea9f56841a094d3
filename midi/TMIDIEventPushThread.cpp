#include "TMIDIEventPushThread.h"

#include "TMIDITransport.h"

TMIDIEventPushThread::TMIDIEventPushThread(TMIDITransport* transport)
    : m_transport(transport)
    , m_buffer(kBufferSize, false)
{
}

TMIDIEventPushThread::~TMIDIEventPushThread()
{
    tagMPEVENT record;
    m_buffer.lock();
    while (takeRecord(&record))
        TMIDITransport::releaseEventData(&record);
    m_buffer.unlock();
}

bool TMIDIEventPushThread::takeRecord(tagMPEVENT* record)
{
    // Records are written whole under the lock, so the ring never holds a partial one.
    if (m_buffer.avail() < kRecordSize)
        return false;
    return m_buffer.read(reinterpret_cast<unsigned char*>(record), kRecordSize) == kRecordSize;
}

void TMIDIEventPushThread::run()
{
    for (;;) {
        tagMPEVENT record;
        m_buffer.lock();
        while (!takeRecord(&record)) {
            ++m_waiting;
            m_wait.wait(m_buffer);
            --m_waiting;
        }
        m_buffer.unlock();

        if (record.type == TMIDITransport::kStopRecordType)
            return;
        m_transport->doEvent(&record);
    }
}
