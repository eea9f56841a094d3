#pragma once
// MIDI driver on the ALSA sequencer: one sequencer client per driver object, named
// "MIDI Client", with an "Input port" and an "Output port" created on first use.
// A receive thread per client polls the sequencer and feeds the decoded bytes of the
// connected source to the parser (system-exclusive data piece by piece, as it arrives).
// Sends are encoded per packet and written directly to the destination; the client's
// output pool is sized so that a whole 4096-byte packet always fits.

#if MW_HAVE_ALSA

#include "TAlsaMIDICodec.h"
#include "TMIDIDriver.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <mutex>
#include <thread>

class TAlsaMIDI : public TMIDIDriver
{
    Q_OBJECT
public:
    // Sequencer cells a 4096-byte system-exclusive event needs, and the pool we ask for.
    static constexpr int kPacketCells =
        (TMIDIDriver::kMaxPacketSize + static_cast<int>(sizeof(snd_seq_event_t)) - 1)
            / static_cast<int>(sizeof(snd_seq_event_t))
        + 1;
    static constexpr int kOutputPool = 4 * kPacketCells;

    TAlsaMIDI();
    ~TAlsaMIDI() override;

    bool hasClient() const override { return m_seq != nullptr; }
    int clientId() const;
    int inputPortId() const { return m_inPort; }
    int outputPortId() const { return m_outPort; }

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
    void receiveLoop();
    void handleEvent(const snd_seq_event_t& event);
    bool writeEvent(snd_seq_event_t& event);

    snd_seq_t* m_seq = nullptr;
    int m_inPort = -1;
    int m_outPort = -1;
    snd_seq_addr_t m_dest{};
    bool m_haveDest = false;
    snd_seq_addr_t m_sourceAddr{};
    bool m_connected = false;
    // client << 8 | port of the connected source, -1 if none: read by the receive thread.
    std::atomic<int> m_acceptFrom{-1};

    TAlsaMIDICodec m_inCodec;  // receive thread only
    TAlsaMIDICodec m_outCodec; // under m_sendLock
    std::mutex m_sendLock;

    int m_wakeFd = -1;
    std::thread m_receiver;
};

#endif // MW_HAVE_ALSA
