#include "TAlsaMIDICodec.h"

#if MW_HAVE_ALSA

namespace {
constexpr int kEncoderBuffer = 16;
} // namespace

TAlsaMIDICodec::TAlsaMIDICodec()
{
    if (snd_midi_event_new(kEncoderBuffer, &m_encoder) < 0)
        m_encoder = nullptr;
    if (snd_midi_event_new(kDecodeBufferSize, &m_decoder) < 0)
        m_decoder = nullptr;
    if (m_decoder)
        snd_midi_event_no_status(m_decoder, 1);
}

TAlsaMIDICodec::~TAlsaMIDICodec()
{
    if (m_encoder)
        snd_midi_event_free(m_encoder);
    if (m_decoder)
        snd_midi_event_free(m_decoder);
}

void TAlsaMIDICodec::resetEncoder()
{
    m_inSysEx = false;
    beginPacket();
}

void TAlsaMIDICodec::beginPacket()
{
    // Channel messages never span packets.
    if (m_encoder)
        snd_midi_event_reset_encode(m_encoder);
    m_haveStatus = false;
}

int TAlsaMIDICodec::nextEvent(const unsigned char* p, int len, snd_seq_event_t* event,
                              bool* produced)
{
    *produced = false;
    const unsigned char b = p[0];
    if (b == 0xF0 || (m_inSysEx && (b < 0x80 || b == 0xF7))) {
        m_inSysEx = true;
        int n = b == 0xF0 ? 1 : 0;
        bool ended = false;
        while (n < len && n < kMaxSysExEvent) {
            const unsigned char c = p[n];
            if (c == 0xF7) {
                ++n;
                ended = true;
                break;
            }
            if (c & 0x80) {
                // A real-time byte interrupts the message; any other status ends it.
                if (c < 0xF8)
                    ended = true;
                break;
            }
            ++n;
        }
        if (ended)
            m_inSysEx = false;
        snd_seq_ev_clear(event);
        event->type = SND_SEQ_EVENT_SYSEX;
        snd_seq_ev_set_variable(event, n, const_cast<unsigned char*>(p));
        *produced = true;
        return n;
    }

    if (b & 0x80) {
        if (b < 0xF8) {
            m_inSysEx = false;
            m_haveStatus = true;
        }
    } else if (!m_haveStatus) {
        return 1; // data bytes without a status byte in this packet are dropped
    }
    if (!m_encoder)
        return 1;
    snd_seq_ev_clear(event);
    if (snd_midi_event_encode_byte(m_encoder, b, event) == 1)
        *produced = event->type != SND_SEQ_EVENT_NONE;
    return 1;
}

int TAlsaMIDICodec::decodeEvent(const snd_seq_event_t& event, unsigned char* buffer,
                                const unsigned char** bytes)
{
    *bytes = nullptr;
    if (event.type == SND_SEQ_EVENT_SYSEX) {
        if ((event.flags & SND_SEQ_EVENT_LENGTH_MASK) != SND_SEQ_EVENT_LENGTH_VARIABLE
            || !event.data.ext.ptr)
            return 0;
        *bytes = static_cast<const unsigned char*>(event.data.ext.ptr);
        return static_cast<int>(event.data.ext.len);
    }
    if (!m_decoder)
        return 0;
    const long n = snd_midi_event_decode(m_decoder, buffer, kDecodeBufferSize, &event);
    if (n <= 0)
        return 0;
    *bytes = buffer;
    return static_cast<int>(n);
}

#endif // MW_HAVE_ALSA
