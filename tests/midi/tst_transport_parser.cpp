// The byte parser, end to end: chunks go into read() on the test thread, events come out
// of the real pusher thread, and closing the input must deliver everything queued first.

#include "TMidiTestSupport.h"

#include "TMIDIEventPushThread.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

struct TExpected
{
    std::uint32_t type;
    std::uint32_t channel;
    Bytes data; // channel kinds: the four inline bytes; system kinds: the bytes seen
};

struct TParserCase
{
    std::string name;
    std::vector<Bytes> chunks;
    std::vector<TExpected> events;
    QStringList warnings;                                    // conditions, in order
    std::uint32_t finalState = TMIDITransport::kParserIdle; // after the last chunk
    bool holdFirst = false; // the receiver blocks in the first delivery until all is fed
    int sysExLimit = TMIDITransport::kDefaultSysExLimit;
};

std::ostream& operator<<(std::ostream& os, const TParserCase& c) { return os << c.name; }

TExpected noteOn(std::uint8_t key, std::uint8_t velocity, std::uint32_t channel = 0)
{
    return {MPEVENT_NOTEON, channel, {key, velocity, 0, 0}};
}

TExpected sysEx(Bytes seen, std::uint32_t type = MPEVENT_SYSEX) { return {type, 0, std::move(seen)}; }

Bytes bodyOf(int size, int seed)
{
    Bytes body(size);
    for (int i = 0; i < size; ++i)
        body[i] = static_cast<std::uint8_t>((i * 7 + seed) & 0x7F);
    return body;
}

// A 5000-byte dump arriving as the driver would hand it on: 4096 bytes, then the rest.
TParserCase longDumpCase()
{
    const Bytes body = bodyOf(4998, 3);
    Bytes message{0xF0};
    message.insert(message.end(), body.begin(), body.end());
    message.push_back(0xF7);
    TParserCase c{"long_dump_in_two_packets", {}, {}, {}};
    c.chunks.emplace_back(message.begin(), message.begin() + 4096);
    c.chunks.emplace_back(message.begin() + 4096, message.end());
    Bytes seen(message.begin() + 1, message.end());
    c.events.push_back(sysEx(seen));
    return c;
}

// One delivery in flight plus 511 waiting records fill the ring; the next event is
// dropped, and closing still hands over all 512 before the pusher ends.
TParserCase fullRingCase()
{
    TParserCase c{"ring_full_drops_then_close_delivers_all", {}, {}, {}};
    c.holdFirst = true;
    for (int i = 0; i < 513; ++i) {
        const auto key = static_cast<std::uint8_t>(i & 0x7F);
        const auto velocity = static_cast<std::uint8_t>(1 + (i >> 7));
        c.chunks.push_back({0x90, key, velocity});
        if (i < 512)
            c.events.push_back(noteOn(key, velocity));
    }
    return c;
}

std::vector<TParserCase> parserCases()
{
    const QString lenNBytes = QStringLiteral("len == nBytes");
    return {
        {"note_on", {{0x90, 0x3C, 0x40}}, {noteOn(0x3C, 0x40)}, {}},
        {"every_channel_kind",
         {{0x81, 0x10, 0x20, 0xA2, 0x11, 0x21, 0xB3, 0x12, 0x22, 0xC4, 0x13, 0xD5, 0x14, 0xE6, 0x15, 0x25}},
         {{MPEVENT_NOTEOFF, 1, {0x10, 0x20, 0, 0}},
          {MPEVENT_POLYPRESSURE, 2, {0x11, 0x21, 0, 0}},
          {MPEVENT_CONTROL, 3, {0x12, 0x22, 0, 0}},
          {MPEVENT_PROGRAM, 4, {0x13, 0, 0, 0}},
          {MPEVENT_CHANPRESSURE, 5, {0x14, 0, 0, 0}},
          {MPEVENT_PITCHBEND, 6, {0x15, 0x25, 0, 0}}},
         {}},
        {"program_change", {{0xC5, 0x07}}, {{MPEVENT_PROGRAM, 5, {0x07, 0, 0, 0}}}, {}},
        {"data_bytes_taken_as_they_stand", {{0x9F, 0x3C, 0x90}}, {{MPEVENT_NOTEON, 15, {0x3C, 0x90, 0, 0}}}, {}},
        {"running_status_ignored", {{0x3C, 0x40}, {0x90, 0x3C, 0x40, 0x3E, 0x41}, {0x3F, 0x42}},
         {noteOn(0x3C, 0x40)}, {}},
        {"split_channel_message_dropped", {{0x90, 0x3C}, {0x40}, {0x90, 0x3E, 0x41}}, {noteOn(0x3E, 0x41)}, {}},
        {"system_common_and_real_time_dropped", {{0xF8}, {0xF1, 0x20}, {0xFE, 0x90, 0x3C, 0x40}},
         {noteOn(0x3C, 0x40)}, {}},
        {"sysex_in_one_chunk", {{0xF0, 0x43, 0x10, 0xF7}}, {sysEx({0x43, 0x10, 0xF7})}, {}},
        {"sysex_across_chunks", {{0xF0, 0x43}, {0x10, 0xF7}}, {sysEx({0x43, 0x10, 0xF7})}, {}},
        {"sysex_status_alone_then_body", {{0xF0}, {0x43, 0x10}, {0xF7}}, {sysEx({0x43, 0x10, 0xF7})}, {}},
        {"real_time_chunk_inside_sysex", {{0xF0, 0x43}, {0xF8}, {0x10, 0xF7}}, {sysEx({0x43, 0x10, 0xF7})}, {}},
        {"real_time_leading_a_sysex_chunk", {{0xF0, 0x43}, {0xFE, 0x10, 0xF7}}, {sysEx({0x43, 0x10, 0xF7})}, {}},
        {"status_closes_sysex_with_supplied_f7", {{0xF0, 0x43}, {0x90, 0x3C, 0x40}},
         {sysEx({0x43, 0xF7}), noteOn(0x3C, 0x40)}, {}},
        {"new_sysex_closes_open_one", {{0xF0, 0x43}, {0xF0, 0x44, 0xF7}},
         {sysEx({0x43, 0xF7}), sysEx({0x44, 0xF7})}, {}},
        {"terminator_inside_chunk_warns", {{0xF0, 0x43, 0xF7, 0x90, 0x3C, 0x40}},
         {sysEx({0x43, 0xF7}), noteOn(0x3C, 0x40)}, {lenNBytes}},
        {"empty_sysex", {{0xF0, 0xF7}}, {sysEx({0xF7})}, {}},
        {"f7_start_is_continuation", {{0xF7, 0x43, 0x10}, {0xF7}}, {sysEx({0x43, 0x10, 0xF7}, MPEVENT_SYSEXCONT)}, {}},
        {"f7_alone_opens_continuation", {{0xF7}}, {}, {}, TMIDITransport::kCollectingSysExCont},
        {"open_sysex_left_at_close", {{0xF0, 0x01, 0x02}}, {}, {}, TMIDITransport::kCollectingSysEx},
        {"oversized_sysex_dropped", {{0xF0, 0x01, 0x02}, {0x03, 0x04, 0x05, 0xF7}, {0x90, 0x3C, 0x40}},
         {noteOn(0x3C, 0x40)}, {}, TMIDITransport::kParserIdle, false, 4},
        longDumpCase(),
        fullRingCase(),
    };
}

class TransportParser : public ::testing::TestWithParam<TParserCase>
{
};

TEST_P(TransportParser, turnsChunksIntoEvents)
{
    const TParserCase& c = GetParam();
    TMidiWarningRecorder warnings;
    TRecordingReceiver receiver(c.holdFirst);
    auto transport = std::make_unique<TTestTransport>();
    transport->setSysExLimit(c.sysExLimit);
    ASSERT_TRUE(transport->openInput(1, &receiver));
    ASSERT_NE(transport->pusherThread(), nullptr);

    for (size_t i = 0; i < c.chunks.size(); ++i) {
        transport->feed(c.chunks[i]);
        if (i == 0 && c.holdFirst) {
            ASSERT_TRUE(receiver.waitHolding()) << "first delivery never arrived";
        }
    }
    EXPECT_EQ(transport->parserState(), c.finalState);
    if (c.holdFirst) {
        EXPECT_EQ(transport->pusherThread()->buffer().space(), TMIDIEventPushThread::kRecordSize)
            << "511 records should be waiting";
        receiver.release();
    }

    {
        TWatchdog watchdog(30, "closeInput");
        transport->closeInput();
    }
    EXPECT_EQ(transport->pusherThread(), nullptr);
    transport.reset(); // releases a message still open

    const std::vector<TSeenEvent> seen = receiver.events();
    ASSERT_EQ(seen.size(), c.events.size());
    for (size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE("event " + std::to_string(i));
        EXPECT_EQ(seen[i].type, c.events[i].type);
        EXPECT_EQ(seen[i].channel, c.events[i].channel);
        EXPECT_EQ(seen[i].data, c.events[i].data);
        EXPECT_EQ(seen[i].length, MPEventIsSystem(c.events[i].type) ? c.events[i].data.size() : 0u);
        EXPECT_NE(seen[i].thread, std::this_thread::get_id()) << "delivered on the feeding thread";
    }
    EXPECT_EQ(warnings.conditions(), c.warnings);
    EXPECT_TRUE(warnings.otherWarnings().isEmpty()) << warnings.otherWarnings().join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Table, TransportParser, ::testing::ValuesIn(parserCases()),
                         [](const ::testing::TestParamInfo<TParserCase>& info) { return info.param.name; });

} // namespace
