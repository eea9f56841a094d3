#pragma once
// Conversion between MIDI bytes and ALSA sequencer events, without a sequencer.
//
// Outgoing: one packet at a time. Channel and system-common messages go through ALSA's
// own byte encoder; system-exclusive bytes become SYSEX events that point into the
// packet, at most kMaxSysExEvent bytes each, so a whole 4096-byte packet is one event.
// A packet that ends inside a system-exclusive message leaves the codec expecting the
// rest in the next packet (long messages are sent in several packets).
//
// Incoming: one event at a time; SYSEX events give their bytes as they stand (pieces of a
// long message arrive as several events), every other MIDI event is decoded to complete
// messages with a status byte each (no running status: the parser takes none).

#if MW_HAVE_ALSA

#include <alsa/asoundlib.h>

class TAlsaMIDICodec
{
public:
    static constexpr int kMaxSysExEvent = 4096;
    // Longest decoded non-system-exclusive message.
    static constexpr int kDecodeBufferSize = 16;

    TAlsaMIDICodec();
    ~TAlsaMIDICodec();
    TAlsaMIDICodec(const TAlsaMIDICodec&) = delete;
    TAlsaMIDICodec& operator=(const TAlsaMIDICodec&) = delete;

    bool isValid() const { return m_encoder && m_decoder; }
    bool inSysEx() const { return m_inSysEx; }

    // Calls sink(snd_seq_event_t&) for every event of the packet, in order; stops and
    // returns false when sink does. Events carry type and data only.
    template <class Emit>
    bool encodePacket(const unsigned char* bytes, int count, Emit&& sink)
    {
        beginPacket();
        while (count > 0) {
            snd_seq_event_t event;
            bool produced = false;
            const int used = nextEvent(bytes, count, &event, &produced);
            if (produced && !sink(event))
                return false;
            bytes += used;
            count -= used;
        }
        return true;
    }

    // The bytes of one received event: *bytes points at them (into the event for SYSEX,
    // else into `buffer`, which holds kDecodeBufferSize bytes). Returns their number, 0
    // for events that carry no MIDI bytes.
    int decodeEvent(const snd_seq_event_t& event, unsigned char* buffer,
                    const unsigned char** bytes);

    // Forgets an unfinished outgoing system-exclusive message.
    void resetEncoder();

private:
    void beginPacket();
    // Consumes bytes for at most one event; returns the count consumed.
    int nextEvent(const unsigned char* p, int len, snd_seq_event_t* event, bool* produced);

    snd_midi_event_t* m_encoder = nullptr;
    snd_midi_event_t* m_decoder = nullptr;
    bool m_inSysEx = false;   // an outgoing system-exclusive message continues
    bool m_haveStatus = false; // a status byte was met in the current packet
};

#endif // MW_HAVE_ALSA
