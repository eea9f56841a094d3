// The pusher thread with real threads: a separate feeding thread stands in for the driver's
// receive thread; waits are bounded and nothing relies on timing.

#include "TMidiTestSupport.h"

#include "TMIDIEventPushThread.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>

namespace {

// Sustained traffic, channel messages and system exclusive in pieces, fed from another
// thread in batches that never overfill the ring; every event arrives once, in order.
TEST(PusherThread, deliversSustainedTrafficInOrderFromAnotherThread)
{
    TRecordingReceiver receiver;
    TTestTransport transport;
    ASSERT_TRUE(transport.openInput(1, &receiver));

    constexpr int kBatches = 60;
    constexpr int kPerBatch = 200; // channel events per batch, plus one SysEx
    std::atomic<bool> feederOk{true};
    std::thread feeder([&] {
        size_t expected = 0;
        for (int b = 0; b < kBatches && feederOk; ++b) {
            for (int i = 0; i < kPerBatch; ++i) {
                const Bytes note{static_cast<std::uint8_t>(0x90 | (i & 0x0F)),
                                 static_cast<std::uint8_t>(b & 0x7F), static_cast<std::uint8_t>(i & 0x7F)};
                transport.feed(note);
            }
            Bytes dumpHead{0xF0, static_cast<std::uint8_t>(b & 0x7F)};
            Bytes dumpTail(40 + b, static_cast<std::uint8_t>(b & 0x7F));
            dumpTail.push_back(0xF7);
            transport.feed(dumpHead);
            transport.feed(dumpTail);
            expected += kPerBatch + 1;
            if (!receiver.waitCount(expected))
                feederOk = false;
        }
    });
    feeder.join();
    ASSERT_TRUE(feederOk) << "the pusher stopped delivering";

    {
        TWatchdog watchdog(30, "closeInput");
        transport.closeInput();
    }
    const auto seen = receiver.events();
    ASSERT_EQ(seen.size(), size_t(kBatches * (kPerBatch + 1)));
    size_t k = 0;
    for (int b = 0; b < kBatches; ++b) {
        for (int i = 0; i < kPerBatch; ++i, ++k) {
            ASSERT_EQ(seen[k].type, MPEVENT_NOTEON);
            ASSERT_EQ(seen[k].channel, std::uint32_t(i & 0x0F));
            ASSERT_EQ(seen[k].data, (Bytes{std::uint8_t(b & 0x7F), std::uint8_t(i & 0x7F), 0, 0}));
        }
        ASSERT_EQ(seen[k].type, MPEVENT_SYSEX);
        ASSERT_EQ(seen[k].length, std::uint32_t(1 + 40 + b + 1));
        ASSERT_EQ(seen[k].data.back(), 0xF7);
        ++k;
    }
}

TEST(PusherThread, runsAtTimeCriticalPriorityAndEndsOnClose)
{
    TRecordingReceiver receiver;
    TTestTransport transport;
    ASSERT_TRUE(transport.openInput(1, &receiver));
    TMIDIEventPushThread* pusher = transport.pusherThread();
    ASSERT_NE(pusher, nullptr);
    EXPECT_TRUE(pusher->isRunning());
    EXPECT_EQ(pusher->priority(), QThread::TimeCriticalPriority);
    EXPECT_EQ(pusher->buffer().size(), 28672);
    EXPECT_FALSE(pusher->buffer().isRecursive());

    TWatchdog watchdog(30, "closeInput");
    transport.closeInput();
    EXPECT_EQ(transport.pusherThread(), nullptr);
    transport.closeInput(); // nothing to stop: no effect
}

TEST(PusherThread, secondStartWarnsAndKeepsTheRunningThread)
{
    TMidiWarningRecorder warnings;
    TRecordingReceiver receiver;
    TTestTransport transport;
    ASSERT_TRUE(transport.openInput(1, &receiver));
    TMIDIEventPushThread* first = transport.pusherThread();

    EXPECT_TRUE(transport.startPusherThread());
    EXPECT_EQ(transport.pusherThread(), first);
    EXPECT_EQ(warnings.conditions(), QStringList{QStringLiteral("m_pusherThread == NULL")});

    transport.feed({0x90, 0x3C, 0x40});
    EXPECT_TRUE(receiver.waitCount(1));
    TWatchdog watchdog(30, "closeInput");
    transport.closeInput();
    EXPECT_EQ(receiver.events().size(), 1u);
}

TEST(PusherThread, inputCanBeReopenedAfterClose)
{
    TRecordingReceiver receiver;
    TTestTransport transport;
    TWatchdog watchdog(30, "open/close cycles");
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(transport.openInput(1, &receiver));
        transport.feed({0xF0, 0x43});
        transport.feed({0x10, 0xF7});
        transport.closeInput();
    }
    EXPECT_EQ(receiver.events().size(), 3u);
}

// Without an open input there is no ring: events are discarded and their bytes freed
// (the sanitizer build checks the latter).
TEST(PusherThread, eventsWithoutAnOpenInputAreDiscarded)
{
    TTestTransport transport;
    transport.feed({0x90, 0x3C, 0x40, 0xF0, 0x43, 0x10, 0xF7});
    EXPECT_EQ(transport.parserState(), TMIDITransport::kParserIdle);
    EXPECT_EQ(transport.pusherThread(), nullptr);
}

TEST(PusherThread, stopRecordIsNotDelivered)
{
    TRecordingReceiver receiver;
    TTestTransport transport;
    ASSERT_TRUE(transport.openInput(1, &receiver));
    TWatchdog watchdog(30, "closeInput");
    transport.closeInput();
    EXPECT_TRUE(receiver.events().empty());
}

TEST(Transport, messageLengthTables)
{
    struct Row { unsigned char status; int length; };
    const Row rows[] = {{0x00, 1}, {0x7F, 1}, {0x80, 3}, {0x9F, 3}, {0xA0, 3}, {0xB5, 3}, {0xC0, 2},
                        {0xDF, 2}, {0xE0, 3}, {0xF1, 2}, {0xF2, 3}, {0xF3, 2}, {0xF6, 1}, {0xF8, 1}};
    for (const Row& r : rows)
        EXPECT_EQ(TMIDITransport::midi_msg_length(r.status), r.length) << std::hex << int(r.status);
    const std::uint32_t kinds[] = {0x20, 0x40, 0x80, 0x100, 0x200, 0x400, 0x800};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(TMIDITransport::mpevent_short[i], kinds[i]);
}

} // namespace
