#include "TMIDIDriver.h"

#include "MIDIAssert.h"

#include <QElapsedTimer>
#include <QThread>

#include <cstring>

namespace {
// Unit name in the driver's precondition reports.
constexpr const char* kSource = "MIDIMacTransport";
} // namespace

TMIDIDriver::TMIDIDriver(QObject* parent)
    : TMIDITransport(parent)
{
}

TMIDIDriver::~TMIDIDriver() = default;

bool TMIDIDriver::openInput(int port, TMIDIReaderRefConInterface* receiver)
{
    if (m_sourceConnected) {
        MW_MIDI_ASSERT(false, "NULL == m_iPortEndPointRef", kSource);
        // Drop the old connection rather than leave it feeding this parser unseen.
        {
            std::lock_guard<std::mutex> lock(m_readLock);
            m_feeding = false;
        }
        releaseSource();
        m_sourceConnected = false;
    }
    if (!hasClient())
        return false;
    if (!ensureInputPort())
        return false;
    if (port < 1 || !selectSource(port - 1))
        return false;

    setReceiver(receiver);
    if (!pusherThread() && !startPusherThread()) {
        releaseSource();
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_readLock);
        m_feeding = true;
    }
    if (!connectSource()) {
        releaseSource();
        closeInput();
        return false;
    }
    m_sourceConnected = true;
    return true;
}

void TMIDIDriver::closeInput()
{
    {
        std::lock_guard<std::mutex> lock(m_readLock);
        m_feeding = false;
    }
    if (m_sourceConnected) {
        releaseSource();
        m_sourceConnected = false;
    }
    stopPusherThread();
}

bool TMIDIDriver::openOutput(int port)
{
    if (m_destinationSet) {
        MW_MIDI_ASSERT(false, "NULL == m_oPortEndPointRef", kSource);
        releaseDestination();
        m_destinationSet = false;
    }
    if (!hasClient())
        return false;
    if (!ensureOutputPort())
        return false;
    m_destinationSet = port >= 1 && selectDestination(port - 1);
    return m_destinationSet;
}

void TMIDIDriver::closeOutput()
{
    if (m_destinationSet) {
        releaseDestination();
        m_destinationSet = false;
    }
}

bool TMIDIDriver::outputData(int len, unsigned char* data, unsigned long status)
{
    if (!m_destinationSet)
        return false;
    int total = len + (status != 0 ? 1 : 0);
    if (total <= 0 || len < 0 || (len > 0 && !data))
        return false;
    for (;;) {
        const int chunk = total < kMaxPacketSize ? total : kMaxPacketSize;
        const bool ok = outputData2(chunk, data, status);
        total -= chunk;
        if (total == 0 || !ok)
            return ok;
        // The status byte travels in the first packet only.
        if (status != 0) {
            data += chunk - 1;
            status = 0;
        } else {
            data += chunk;
        }
        QElapsedTimer clock;
        clock.start();
        for (qint64 elapsed = 0; elapsed < kChunkPauseMs; elapsed = clock.elapsed())
            QThread::msleep(static_cast<unsigned long>(kChunkPauseMs - elapsed));
    }
}

bool TMIDIDriver::outputData2(int count, const unsigned char* data, unsigned long status)
{
    // Built on the stack: no allocation per send.
    unsigned char packet[kMaxPacketSize];
    if (count <= 0 || count > kMaxPacketSize)
        return false;
    const int body = status != 0 ? count - 1 : count;
    if (body > 0 && !data)
        return false;
    unsigned char* p = packet;
    if (status != 0)
        *p++ = static_cast<unsigned char>(status);
    if (body > 0)
        std::memcpy(p, data, static_cast<size_t>(body));
    return sendPacket(packet, count);
}

void TMIDIDriver::dispatchPacket(int count, const unsigned char* bytes)
{
    if (count <= 0 || !bytes)
        return;
    std::lock_guard<std::mutex> lock(m_readLock);
    if (m_feeding)
        read(count, bytes);
}
