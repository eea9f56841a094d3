#include "TJackMIDI.h"

#if MW_HAVE_JACK

#include "TJackPorts.h"

#include <jack/midiport.h>

#include <QElapsedTimer>
#include <QThread>

#include <cerrno>
#include <ctime>

namespace {
constexpr size_t kHeader = sizeof(std::uint32_t);
constexpr int kReaderWakeMs = 200;
constexpr int kConnectWaitMs = 2000;

// The server switches to a new graph at the start of a cycle. Until the connection shows
// in the client's view of the graph, data written to the port would go nowhere.
bool waitUntilConnected(jack_port_t* own, const char* other)
{
    QElapsedTimer clock;
    clock.start();
    while (!jack_port_connected_to(own, other)) {
        if (clock.elapsed() >= kConnectWaitMs)
            return false;
        QThread::msleep(1);
    }
    return true;
}
} // namespace

TJackMIDI::TJackMIDI()
{
    m_client = openJackClient("MIDI Client");
    if (!m_client)
        return;
    m_inRing = jack_ringbuffer_create(kRingSize);
    m_outRing = jack_ringbuffer_create(kRingSize);
    m_semaphoreReady = sem_init(&m_inSignal, 0, 0) == 0;
    if (!m_inRing || !m_outRing || !m_semaphoreReady) {
        closeJackClient(m_client);
        m_client = nullptr;
        return;
    }
    jack_ringbuffer_mlock(m_inRing);
    jack_ringbuffer_mlock(m_outRing);
    jack_set_process_callback(m_client, &TJackMIDI::processCallback, this);
    jack_on_shutdown(m_client, &TJackMIDI::shutdownCallback, this);
    if (jack_activate(m_client) != 0) {
        closeJackClient(m_client);
        m_client = nullptr;
    }
}

TJackMIDI::~TJackMIDI()
{
    closeInput();
    closeOutput();
    if (m_client) {
        jack_deactivate(m_client);
        closeJackClient(m_client);
        m_client = nullptr;
    }
    if (m_reader.joinable()) {
        m_stopReader.store(true);
        sem_post(&m_inSignal);
        m_reader.join();
    }
    if (m_semaphoreReady)
        sem_destroy(&m_inSignal);
    if (m_inRing)
        jack_ringbuffer_free(m_inRing);
    if (m_outRing)
        jack_ringbuffer_free(m_outRing);
}

QString TJackMIDI::clientName() const
{
    return m_client ? QString::fromLocal8Bit(jack_get_client_name(m_client)) : QString();
}

QString TJackMIDI::inputPortName() const
{
    jack_port_t* port = m_inPort.load();
    return port ? QString::fromLocal8Bit(jack_port_name(port)) : QString();
}

QString TJackMIDI::outputPortName() const
{
    jack_port_t* port = m_outPort.load();
    return port ? QString::fromLocal8Bit(jack_port_name(port)) : QString();
}

bool TJackMIDI::ensureInputPort()
{
    if (m_inPort.load())
        return true;
    jack_port_t* port =
        jack_port_register(m_client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    if (!port)
        return false;
    m_inPort.store(port, std::memory_order_release);
    m_reader = std::thread([this] { readerLoop(); });
    return true;
}

bool TJackMIDI::ensureOutputPort()
{
    if (m_outPort.load())
        return true;
    jack_port_t* port =
        jack_port_register(m_client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (!port)
        return false;
    m_outPort.store(port, std::memory_order_release);
    return true;
}

bool TJackMIDI::selectSource(int index)
{
    const QStringList ports = jackMidiPorts(m_client, 0);
    if (index < 0 || index >= ports.size())
        return false;
    m_source = ports[index].toLocal8Bit();
    return true;
}

bool TJackMIDI::selectDestination(int index)
{
    const QStringList ports = jackMidiPorts(m_client, 1);
    if (index < 0 || index >= ports.size())
        return false;
    m_destination = ports[index].toLocal8Bit();
    jack_port_t* own = m_outPort.load();
    const int result = jack_connect(m_client, jack_port_name(own), m_destination.constData());
    m_destConnected = result == 0 || result == EEXIST;
    if (m_destConnected && !waitUntilConnected(own, m_destination.constData())) {
        jack_disconnect(m_client, jack_port_name(own), m_destination.constData());
        m_destConnected = false;
    }
    if (!m_destConnected)
        m_destination.clear();
    return m_destConnected;
}

bool TJackMIDI::connectSource()
{
    jack_port_t* own = m_inPort.load();
    const int result = jack_connect(m_client, m_source.constData(), jack_port_name(own));
    m_connected = result == 0 || result == EEXIST;
    if (m_connected && !waitUntilConnected(own, m_source.constData())) {
        jack_disconnect(m_client, m_source.constData(), jack_port_name(own));
        m_connected = false;
    }
    return m_connected;
}

void TJackMIDI::releaseSource()
{
    if (m_connected && m_client && !m_serverGone.load())
        jack_disconnect(m_client, m_source.constData(), jack_port_name(m_inPort.load()));
    m_connected = false;
    m_source.clear();
}

void TJackMIDI::releaseDestination()
{
    if (m_destConnected && m_client && !m_serverGone.load())
        jack_disconnect(m_client, jack_port_name(m_outPort.load()), m_destination.constData());
    m_destConnected = false;
    m_destination.clear();
}

bool TJackMIDI::sendPacket(const unsigned char* bytes, int count)
{
    if (!m_client || !m_outRing || count <= 0 || count > kMaxPacketSize)
        return false;
    const std::uint32_t length = static_cast<std::uint32_t>(count);
    std::lock_guard<std::mutex> lock(m_sendLock);
    QElapsedTimer clock;
    clock.start();
    // The process callback drains the ring every cycle; wait a little for room.
    while (jack_ringbuffer_write_space(m_outRing) < kHeader + length) {
        if (m_serverGone.load() || clock.elapsed() >= kSendWaitMs)
            return false;
        QThread::msleep(1);
    }
    jack_ringbuffer_write(m_outRing, reinterpret_cast<const char*>(&length), kHeader);
    jack_ringbuffer_write(m_outRing, reinterpret_cast<const char*>(bytes), length);
    return true;
}

int TJackMIDI::processCallback(jack_nframes_t frames, void* self)
{
    static_cast<TJackMIDI*>(self)->process(frames);
    return 0;
}

void TJackMIDI::shutdownCallback(void* self)
{
    auto* driver = static_cast<TJackMIDI*>(self);
    driver->m_serverGone.store(true);
    if (driver->m_semaphoreReady)
        sem_post(&driver->m_inSignal);
}

void TJackMIDI::process(jack_nframes_t frames)
{
    receiveIncoming(frames);
    sendQueued(frames);
}

void TJackMIDI::receiveIncoming(jack_nframes_t frames)
{
    jack_port_t* port = m_inPort.load(std::memory_order_acquire);
    if (!port)
        return;
    void* buffer = jack_port_get_buffer(port, frames);
    const jack_nframes_t count = jack_midi_get_event_count(buffer);
    bool wrote = false;
    for (jack_nframes_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0)
            continue;
        const std::uint32_t length = static_cast<std::uint32_t>(event.size);
        if (jack_ringbuffer_write_space(m_inRing) < kHeader + length) {
            m_inDropped.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        jack_ringbuffer_write(m_inRing, reinterpret_cast<const char*>(&length), kHeader);
        jack_ringbuffer_write(m_inRing, reinterpret_cast<const char*>(event.buffer), length);
        wrote = true;
    }
    if (wrote)
        sem_post(&m_inSignal);
}

void TJackMIDI::sendQueued(jack_nframes_t frames)
{
    jack_port_t* port = m_outPort.load(std::memory_order_acquire);
    if (!port)
        return;
    void* buffer = jack_port_get_buffer(port, frames);
    jack_midi_clear_buffer(buffer);
    bool wrote = false;
    for (;;) {
        if (m_rtLength == 0) {
            std::uint32_t length = 0;
            if (jack_ringbuffer_peek(m_outRing, reinterpret_cast<char*>(&length), kHeader) < kHeader
                || jack_ringbuffer_read_space(m_outRing) < kHeader + length)
                return;
            jack_ringbuffer_read_advance(m_outRing, kHeader);
            if (length > sizeof m_rtPacket) {
                jack_ringbuffer_read_advance(m_outRing, length); // never queued; be safe
                continue;
            }
            jack_ringbuffer_read(m_outRing, reinterpret_cast<char*>(m_rtPacket), length);
            m_rtLength = length;
            m_rtOffset = 0;
        }
        const size_t remaining = m_rtLength - m_rtOffset;
        const size_t room = jack_midi_max_event_size(buffer);
        // Only system-exclusive data may be split: a piece never starts with a channel
        // status byte that would need its data bytes in the same event.
        const unsigned char first = m_rtPacket[0];
        const bool splittable = first == 0xF0 || first < 0x80 || first == 0xF7;
        size_t piece = remaining <= room ? remaining : (splittable ? room : 0);
        // A packet that does not fit even an empty buffer goes in pieces all the same,
        // rather than block every later one.
        if (piece == 0 && !wrote)
            piece = room;
        if (piece == 0)
            return; // next cycle
        if (jack_midi_event_write(buffer, 0, m_rtPacket + m_rtOffset, piece) != 0)
            return;
        wrote = true;
        m_rtOffset += static_cast<std::uint32_t>(piece);
        if (m_rtOffset >= m_rtLength)
            m_rtLength = 0;
    }
}

void TJackMIDI::readerLoop()
{
    std::vector<unsigned char> packet(kRingSize);
    while (!m_stopReader.load()) {
        timespec until{};
        clock_gettime(CLOCK_REALTIME, &until);
        until.tv_nsec += kReaderWakeMs * 1000000L;
        if (until.tv_nsec >= 1000000000L) {
            until.tv_sec += 1;
            until.tv_nsec -= 1000000000L;
        }
        sem_timedwait(&m_inSignal, &until);
        for (;;) {
            std::uint32_t length = 0;
            if (jack_ringbuffer_peek(m_inRing, reinterpret_cast<char*>(&length), kHeader) < kHeader
                || jack_ringbuffer_read_space(m_inRing) < kHeader + length)
                break;
            jack_ringbuffer_read_advance(m_inRing, kHeader);
            jack_ringbuffer_read(m_inRing, reinterpret_cast<char*>(packet.data()), length);
            dispatchPacket(static_cast<int>(length), packet.data());
        }
    }
}

#endif // MW_HAVE_JACK
