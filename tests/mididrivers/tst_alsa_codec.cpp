// Conversion between MIDI bytes and sequencer events; needs no sequencer.

#include "TDriverTestSupport.h"

#if MW_HAVE_ALSA

#include "TAlsaMIDI.h"
#include "TAlsaMIDICodec.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct TEncoded
{
    snd_seq_event_type_t type;
    Bytes sysex; // SYSEX events: their bytes
    snd_seq_event_t event;
};

std::vector<TEncoded> encode(TAlsaMIDICodec& codec, const Bytes& packet)
{
    std::vector<TEncoded> events;
    codec.encodePacket(packet.data(), static_cast<int>(packet.size()), [&](snd_seq_event_t& ev) {
        TEncoded e{ev.type, {}, ev};
        if (ev.type == SND_SEQ_EVENT_SYSEX) {
            const auto* p = static_cast<const std::uint8_t*>(ev.data.ext.ptr);
            e.sysex.assign(p, p + ev.data.ext.len);
        }
        events.push_back(e);
        return true;
    });
    return events;
}

Bytes decode(TAlsaMIDICodec& codec, const snd_seq_event_t& event)
{
    unsigned char buffer[TAlsaMIDICodec::kDecodeBufferSize];
    const unsigned char* bytes = nullptr;
    const int n = codec.decodeEvent(event, buffer, &bytes);
    return n > 0 ? Bytes(bytes, bytes + n) : Bytes();
}

struct TChannelCase
{
    const char* name;
    Bytes message;
    snd_seq_event_type_t type;
};

TEST(AlsaCodec, ChannelMessagesRoundTrip)
{
    const TChannelCase cases[] = {
        {"note off", {0x80, 0x3C, 0x10}, SND_SEQ_EVENT_NOTEOFF},
        {"note on", {0x93, 0x3C, 0x40}, SND_SEQ_EVENT_NOTEON},
        {"poly pressure", {0xA1, 0x3C, 0x22}, SND_SEQ_EVENT_KEYPRESS},
        {"control change", {0xB2, 0x07, 0x64}, SND_SEQ_EVENT_CONTROLLER},
        {"program change", {0xC5, 0x07}, SND_SEQ_EVENT_PGMCHANGE},
        {"channel pressure", {0xDF, 0x33}, SND_SEQ_EVENT_CHANPRESS},
        {"pitch bend", {0xE0, 0x00, 0x40}, SND_SEQ_EVENT_PITCHBEND},
        {"song position", {0xF2, 0x10, 0x20}, SND_SEQ_EVENT_SONGPOS},
        {"clock", {0xF8}, SND_SEQ_EVENT_CLOCK},
    };
    TAlsaMIDICodec codec;
    ASSERT_TRUE(codec.isValid());
    for (const TChannelCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto events = encode(codec, c.message);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].type, c.type);
        EXPECT_EQ(decode(codec, events[0].event), c.message);
    }
}

TEST(AlsaCodec, DecodingRepeatsTheStatusByte)
{
    // The parser takes no running status, so every decoded message carries its own.
    TAlsaMIDICodec codec;
    const auto events = encode(codec, {0x90, 0x3C, 0x40, 0x90, 0x3E, 0x40});
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(decode(codec, events[0].event), (Bytes{0x90, 0x3C, 0x40}));
    EXPECT_EQ(decode(codec, events[1].event), (Bytes{0x90, 0x3E, 0x40}));
}

TEST(AlsaCodec, NothingCarriesOverBetweenPacketsExceptSysEx)
{
    TAlsaMIDICodec codec;
    EXPECT_TRUE(encode(codec, {0x90, 0x3C}).empty());
    EXPECT_TRUE(encode(codec, {0x40}).empty());
    EXPECT_TRUE(encode(codec, {0x3C, 0x40}).empty()) << "data without a status byte";
}

TEST(AlsaCodec, LongSysExPacketsBecomeWholeEvents)
{
    // The pieces outputData makes of a 5000-byte body: 4096 bytes, then 905.
    Bytes message = sysExMessage(5001);
    TAlsaMIDICodec codec;
    const Bytes first(message.begin(), message.begin() + 4096);
    const Bytes rest(message.begin() + 4096, message.end());
    auto events = encode(codec, first);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, SND_SEQ_EVENT_SYSEX);
    EXPECT_EQ(events[0].sysex, first);
    EXPECT_TRUE(codec.inSysEx());
    EXPECT_EQ(decode(codec, events[0].event), first);

    events = encode(codec, rest);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].sysex, rest);
    EXPECT_FALSE(codec.inSysEx());
}

TEST(AlsaCodec, SysExMixedWithOtherMessages)
{
    TAlsaMIDICodec codec;
    const auto events = encode(codec, {0xF0, 0x43, 0xF8, 0x10, 0xF7, 0x90, 0x3C, 0x40, 0xF0, 0x01, 0xC0, 0x05});
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[0].sysex, (Bytes{0xF0, 0x43}));
    EXPECT_EQ(events[1].type, SND_SEQ_EVENT_CLOCK);
    EXPECT_EQ(events[2].sysex, (Bytes{0x10, 0xF7}));
    EXPECT_EQ(events[3].type, SND_SEQ_EVENT_NOTEON);
    EXPECT_EQ(events[4].sysex, (Bytes{0xF0, 0x01})) << "cut short by a status byte";
    EXPECT_EQ(events[5].type, SND_SEQ_EVENT_PGMCHANGE);
    EXPECT_FALSE(codec.inSysEx());
}

TEST(AlsaCodec, EventsWithoutMidiBytesDecodeToNothing)
{
    TAlsaMIDICodec codec;
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    event.type = SND_SEQ_EVENT_PORT_SUBSCRIBED;
    EXPECT_TRUE(decode(codec, event).empty());
    event.type = SND_SEQ_EVENT_SYSEX; // fixed length: not a usable SYSEX
    EXPECT_TRUE(decode(codec, event).empty());
}

TEST(AlsaCodec, OutputPoolHoldsAWholePacket)
{
    EXPECT_GE(static_cast<size_t>(TAlsaMIDI::kPacketCells - 1) * sizeof(snd_seq_event_t),
              static_cast<size_t>(TMIDIDriver::kMaxPacketSize));
    EXPECT_GT(TAlsaMIDI::kOutputPool, TAlsaMIDI::kPacketCells);
}

} // namespace

#else
#include <gtest/gtest.h>
TEST(AlsaCodec, NotBuilt)
{
    GTEST_SKIP() << "built without ALSA (libasound2-dev missing)";
}
#endif
