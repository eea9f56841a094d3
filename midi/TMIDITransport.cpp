#include "TMIDITransport.h"

#include "MIDIAssert.h"
#include "TMIDIEventPushThread.h"

#include <QByteArray>

#include <cstring>
#include <new>

namespace {

constexpr const char* kSource = "MIDITransport";
constexpr int kRecordSize = TMIDIEventPushThread::kRecordSize;

// While a system-exclusive message is collected, and while its record is queued, the
// data field holds the byte array that owns its bytes (status byte included).
QByteArray* sysExArray(const tagMPEVENT& event)
{
    return reinterpret_cast<QByteArray*>(event.data.ptr);
}

void setSysExArray(tagMPEVENT& event, QByteArray* array)
{
    event.data.ptr = reinterpret_cast<std::uint8_t*>(array);
}

} // namespace

const std::uint32_t TMIDITransport::mpevent_short[7] = {
    MPEVENT_NOTEOFF, MPEVENT_NOTEON, MPEVENT_POLYPRESSURE, MPEVENT_CONTROL,
    MPEVENT_PROGRAM, MPEVENT_CHANPRESSURE, MPEVENT_PITCHBEND,
};

// Indexed by the high nibble; 0-7 are data bytes, 0xF is looked up in low_lengths.
const int TMIDITransport::high_lengths[16] = {
    1, 1, 1, 1, 1, 1, 1, 1, 3, 3, 3, 3, 2, 2, 3, 0,
};

// Indexed by the low nibble of 0xF0-0xFF; 0 for the variable-length 0xF0 and 0xF7.
const int TMIDITransport::low_lengths[16] = {
    0, 2, 3, 2, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1,
};

TMIDITransport::TMIDITransport(QObject* parent)
    : QObject(parent)
{
    std::memset(&m_event, 0, sizeof m_event);
    m_event.type = kParserIdle;
}

TMIDITransport::~TMIDITransport()
{
    stopPusherThread();
    if (m_event.type != kParserIdle)
        releaseEventData(&m_event);
}

int TMIDITransport::midi_msg_length(unsigned char status)
{
    const int high = status >> 4;
    return high == 0xF ? low_lengths[status & 0x0F] : high_lengths[high];
}

void TMIDITransport::releaseEventData(tagMPEVENT* event)
{
    if (event && MPEventIsSystem(event->type)) {
        delete sysExArray(*event);
        event->data.ptr = nullptr;
    }
}

int TMIDITransport::read(int len, const void* data)
{
    const auto* p = static_cast<const unsigned char*>(data);
    if (!p)
        return 0;
    while (len > 0) {
        const unsigned char b = *p;
        const bool idle = m_event.type == kParserIdle;
        int n;
        if (b & 0x80) {
            if (idle) {
                if (b < 0xF0)
                    n = readShort(len, p);
                else if (b == 0xF0 || b == 0xF7)
                    n = readLong(len, p);
                else
                    n = 1; // system common / real time outside a message: dropped
            } else if (b >= 0xF8) {
                n = 1; // real time inside system exclusive: dropped, message stays open
            } else {
                n = pushLongEvent(p); // 0xF7 is consumed; any other status is parsed again
            }
        } else if (idle) {
            // No running status: data bytes without their own status byte are dropped.
            n = 1;
            while (n < len && !(p[n] & 0x80))
                ++n;
        } else {
            n = readLong(len, p);
        }
        p += n;
        len -= n;
    }
    MW_MIDI_ASSERT(0 <= len, "0 <= len", kSource);
    return 0;
}

int TMIDITransport::readShort(int len, const unsigned char* p)
{
    const int m = midi_msg_length(p[0]);
    if (len < m)
        return len; // a channel message split across packets is dropped
    m_event.type = mpevent_short[(p[0] >> 4) - 8];
    m_event.channel = p[0] & 0x0F;
    m_event.length = 0;
    m_event.data.ptr = nullptr;
    m_event.data.bytes[0] = p[1];
    m_event.data.bytes[1] = m == 3 ? p[2] : 0;
    pushEvent();
    return m;
}

int TMIDITransport::readLong(int len, const unsigned char* p)
{
    if (len <= 0)
        return 0;
    const bool starts = m_event.type == kParserIdle;
    if (starts && p[0] != 0xF0 && p[0] != 0xF7)
        return 1;

    int count = len;
    bool ends = false;
    if (starts && len == 1) {
        ends = false;
    } else if (p[len - 1] == 0xF7) {
        ends = true;
    } else {
        // The message extends to the last 0xF7 of the packet.
        const int lowest = starts ? 1 : 0;
        for (int j = len - 2; j >= lowest; --j) {
            if (p[j] == 0xF7) {
                count = j + 1;
                ends = true;
                MW_MIDI_ASSERT(false, "len == nBytes", kSource);
                break;
            }
        }
    }

    if (starts) {
        auto* array = new (std::nothrow) QByteArray;
        if (!array)
            return count;
        m_event.type = p[0] == 0xF0 ? kCollectingSysEx : kCollectingSysExCont;
        m_event.channel = 0;
        m_event.length = 0; // bytes collected so far
        setSysExArray(m_event, array);
    }

    QByteArray* array = sysExArray(m_event);
    bool grown = false;
    if (static_cast<qint64>(m_event.length) + count <= m_sysExLimit) {
        try {
            array->append(reinterpret_cast<const char*>(p), count);
            grown = true;
        } catch (const std::bad_alloc&) {
        }
    }
    if (!grown) {
        delete array;
        m_event.data.ptr = nullptr;
        m_event.length = 0;
        m_event.type = kParserIdle;
        return count;
    }
    m_event.length += count;

    if (ends) {
        MW_MIDI_ASSERT(static_cast<int>(m_event.length) == static_cast<int>(array->size()),
                       "iMsgLength == static_cast< int > ( pQba->count() )", kSource);
        m_event.length -= 1; // the receiver sees the bytes after the status byte
        pushEvent();
    }
    return count;
}

int TMIDITransport::pushLongEvent(const unsigned char* p)
{
    // The queued message always ends with 0xF7, sent or supplied.
    static const unsigned char terminator = 0xF7;
    readLong(1, &terminator);
    return *p == 0xF7 ? 1 : 0;
}

void TMIDITransport::pushEvent()
{
    bool queued = false;
    if (TMIDIEventPushThread* pusher = m_pusherThread) {
        CircularBuffer& ring = pusher->buffer();
        ring.lock();
        // The last record's worth of space stays free for the stop record.
        if (ring.space() > 2 * kRecordSize - 1)
            queued = ring.write(reinterpret_cast<const unsigned char*>(&m_event), kRecordSize)
                     == kRecordSize;
        const bool wake = pusher->consumerWaiting();
        ring.unlock();
        // Waking is only needed when the pusher sleeps; it saves a system call per event
        // while it is busy delivering.
        if (wake)
            pusher->waitCondition().notify_all();
    }
    if (!queued)
        releaseEventData(&m_event);
    m_event.type = kParserIdle;
    m_event.length = 0;
    m_event.data.ptr = nullptr;
}

void TMIDITransport::doEvent(tagMPEVENT* event)
{
    if (!event)
        return;
    QByteArray* array = nullptr;
    if (MPEventIsSystem(event->type)) {
        array = sysExArray(*event);
        // Skip the opening 0xF0 / 0xF7; length counts exactly the bytes from there.
        event->data.ptr = array ? reinterpret_cast<std::uint8_t*>(array->data()) + 1 : nullptr;
    }
    if (m_receiver)
        m_receiver->midiIn(event);
    delete array;
}

bool TMIDITransport::startPusherThread()
{
    MW_MIDI_ASSERT(m_pusherThread == nullptr, "m_pusherThread == NULL", kSource);
    if (m_pusherThread)
        return true; // keep the running one: replacing it would orphan a blocked thread

    TMIDIEventPushThread* pusher = nullptr;
    try {
        pusher = new TMIDIEventPushThread(this);
    } catch (const std::bad_alloc&) {
        return false;
    }
    pusher->start(QThread::TimeCriticalPriority);
    if (!pusher->isRunning() && !pusher->isFinished()) {
        delete pusher;
        return false;
    }
    m_pusherThread = pusher;
    return true;
}

void TMIDITransport::stopPusherThread()
{
    TMIDIEventPushThread* pusher = m_pusherThread;
    if (!pusher)
        return;
    CircularBuffer& ring = pusher->buffer();
    for (;;) {
        ring.lock();
        if (ring.space() >= kRecordSize)
            break;
        ring.unlock();
        QThread::msleep(1);
    }
    tagMPEVENT stop;
    std::memset(&stop, 0, sizeof stop);
    stop.type = kStopRecordType;
    ring.write(reinterpret_cast<const unsigned char*>(&stop), kRecordSize);
    ring.unlock();
    pusher->waitCondition().notify_all();

    // Everything queued before the stop record is delivered first.
    pusher->wait();
    delete pusher;
    m_pusherThread = nullptr;
}
