#include "TAlsaMIDI.h"

#if MW_HAVE_ALSA

#include "TAlsaSeqPorts.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {
constexpr int kSendWaitMs = 1000;

int packAddress(const snd_seq_addr_t& addr)
{
    return (addr.client << 8) | addr.port;
}
} // namespace

TAlsaMIDI::TAlsaMIDI()
{
    if (access("/dev/snd/seq", F_OK) != 0)
        return; // no sequencer: every open fails quietly
    if (snd_seq_open(&m_seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) {
        m_seq = nullptr;
        return;
    }
    snd_seq_set_client_name(m_seq, "MIDI Client");

    // A 4096-byte packet must go out as one event: room for several in the kernel pool
    // and in the library's output buffer.
    snd_seq_client_pool_t* pool;
    snd_seq_client_pool_alloca(&pool);
    if (snd_seq_get_client_pool(m_seq, pool) >= 0
        && snd_seq_client_pool_get_output_pool(pool) < static_cast<size_t>(kOutputPool))
        snd_seq_set_client_pool_output(m_seq, kOutputPool);
    const size_t needed = 4 * (TMIDIDriver::kMaxPacketSize + sizeof(snd_seq_event_t));
    if (snd_seq_get_output_buffer_size(m_seq) < needed)
        snd_seq_set_output_buffer_size(m_seq, needed);
}

TAlsaMIDI::~TAlsaMIDI()
{
    closeInput();
    closeOutput();
    if (m_receiver.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(m_wakeFd, &one, sizeof one);
        m_receiver.join();
    }
    if (m_wakeFd >= 0)
        close(m_wakeFd);
    if (m_seq)
        snd_seq_close(m_seq);
}

int TAlsaMIDI::clientId() const
{
    return m_seq ? snd_seq_client_id(m_seq) : -1;
}

bool TAlsaMIDI::ensureInputPort()
{
    if (m_inPort >= 0)
        return true;
    if (m_wakeFd < 0)
        m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0)
        return false;
    const int port = snd_seq_create_simple_port(
        m_seq, "Input port", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0)
        return false;
    m_inPort = port;
    m_receiver = std::thread([this] { receiveLoop(); });
    return true;
}

bool TAlsaMIDI::ensureOutputPort()
{
    if (m_outPort >= 0)
        return true;
    const int port = snd_seq_create_simple_port(
        m_seq, "Output port", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0)
        return false;
    m_outPort = port;
    return true;
}

bool TAlsaMIDI::selectSource(int index)
{
    const QList<TAlsaPortRef> ports = alsaSeqPorts(m_seq, 0);
    if (index < 0 || index >= ports.size())
        return false;
    m_sourceAddr.client = static_cast<unsigned char>(ports[index].client);
    m_sourceAddr.port = static_cast<unsigned char>(ports[index].port);
    m_acceptFrom.store(packAddress(m_sourceAddr), std::memory_order_release);
    return true;
}

bool TAlsaMIDI::selectDestination(int index)
{
    const QList<TAlsaPortRef> ports = alsaSeqPorts(m_seq, 1);
    if (index < 0 || index >= ports.size())
        return false;
    std::lock_guard<std::mutex> lock(m_sendLock);
    m_dest.client = static_cast<unsigned char>(ports[index].client);
    m_dest.port = static_cast<unsigned char>(ports[index].port);
    m_haveDest = true;
    m_outCodec.resetEncoder();
    return true;
}

bool TAlsaMIDI::connectSource()
{
    m_connected = snd_seq_connect_from(m_seq, m_inPort, m_sourceAddr.client, m_sourceAddr.port) >= 0;
    return m_connected;
}

void TAlsaMIDI::releaseSource()
{
    if (m_connected)
        snd_seq_disconnect_from(m_seq, m_inPort, m_sourceAddr.client, m_sourceAddr.port);
    m_connected = false;
    m_acceptFrom.store(-1, std::memory_order_release);
}

void TAlsaMIDI::releaseDestination()
{
    std::lock_guard<std::mutex> lock(m_sendLock);
    m_haveDest = false;
}

bool TAlsaMIDI::sendPacket(const unsigned char* bytes, int count)
{
    std::lock_guard<std::mutex> lock(m_sendLock);
    if (!m_seq || !m_haveDest || m_outPort < 0)
        return false;
    return m_outCodec.encodePacket(bytes, count,
                                   [this](snd_seq_event_t& event) { return writeEvent(event); });
}

bool TAlsaMIDI::writeEvent(snd_seq_event_t& event)
{
    snd_seq_ev_set_source(&event, m_outPort);
    snd_seq_ev_set_dest(&event, m_dest.client, m_dest.port);
    snd_seq_ev_set_direct(&event);
    for (;;) {
        const int result = snd_seq_event_output_direct(m_seq, &event);
        if (result >= 0)
            return true;
        if (result != -EAGAIN)
            return false;
        // The kernel pool is full: wait until it has room again (sends may block).
        const int count = snd_seq_poll_descriptors_count(m_seq, POLLOUT);
        std::vector<pollfd> fds(static_cast<size_t>(count > 0 ? count : 0));
        if (fds.empty()
            || snd_seq_poll_descriptors(m_seq, fds.data(), static_cast<unsigned int>(count), POLLOUT) <= 0
            || poll(fds.data(), fds.size(), kSendWaitMs) <= 0)
            return false;
    }
}

void TAlsaMIDI::receiveLoop()
{
    const int count = snd_seq_poll_descriptors_count(m_seq, POLLIN);
    std::vector<pollfd> fds(static_cast<size_t>(count > 0 ? count : 0) + 1);
    if (count > 0)
        snd_seq_poll_descriptors(m_seq, fds.data(), static_cast<unsigned int>(count), POLLIN);
    pollfd& wake = fds.back();
    wake.fd = m_wakeFd;
    wake.events = POLLIN;
    for (;;) {
        for (pollfd& fd : fds)
            fd.revents = 0;
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (wake.revents)
            return;
        for (;;) {
            snd_seq_event_t* event = nullptr;
            const int result = snd_seq_event_input(m_seq, &event);
            if (result == -EAGAIN)
                break;
            if (result == -ENOSPC)
                continue; // input overrun: events were lost, go on with the rest
            if (result < 0 || !event)
                break;
            handleEvent(*event);
        }
    }
}

void TAlsaMIDI::handleEvent(const snd_seq_event_t& event)
{
    if (event.dest.port != m_inPort
        || packAddress(event.source) != m_acceptFrom.load(std::memory_order_acquire))
        return;
    unsigned char buffer[TAlsaMIDICodec::kDecodeBufferSize];
    const unsigned char* bytes = nullptr;
    const int n = m_inCodec.decodeEvent(event, buffer, &bytes);
    dispatchPacket(n, bytes);
}

#endif // MW_HAVE_ALSA
