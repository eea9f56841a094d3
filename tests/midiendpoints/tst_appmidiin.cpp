// The input endpoint: stamping, the status record, the filter list, the per-component filter
// reset, delivery through the real pusher thread, and closing.

#include "TAppMIDIEventCounter.h"
#include "TAppMIDIIn.h"
#include "TEndpointTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>

namespace {

// An endpoint opened on port 5 of a fake driver whose input the test feeds.
struct TOpenInput
{
    TFakeDriver* driver = nullptr;
    std::unique_ptr<TAppMIDIIn> endpoint =
        std::make_unique<TAppMIDIIn>([this] { return driver = new TFakeDriver; });

    TOpenInput() { EXPECT_TRUE(endpoint->openPort(5)); }
};

const Bytes kNoteOn = {0x90, 0x3C, 0x40};

} // namespace

TEST(TAppMIDIIn, WithoutFiltersDropsTheEventAndKeepsTheCounter)
{
    TOpenInput in;
    tagMPEVENT event = channelEvent(MPEVENT_NOTEON, 0, {0x3C, 0x40});
    const tagMPEVENT before = event;
    const std::uint64_t counter = TAppMIDIEventCounter::current();

    in.endpoint->midiIn(&event);
    EXPECT_EQ(std::memcmp(&event, &before, sizeof event), 0) << "a dropped event is not stamped";
    EXPECT_EQ(TAppMIDIEventCounter::current(), counter);

    // Detaching the last filter brings the dropping back.
    TRecordingFilter filter;
    in.endpoint->attachEventFilter(&filter);
    in.endpoint->detachEventFilter(&filter);
    in.endpoint->midiIn(&event);
    EXPECT_EQ(TAppMIDIEventCounter::current(), counter);
    EXPECT_TRUE(filter.calls().empty());
}

TEST(TAppMIDIIn, StampsConsecutiveNumbersAndAStatusSpanningTheEvent)
{
    TOpenInput in;
    TRecordingFilter filter;
    in.endpoint->attachEventFilter(&filter);

    const std::uint64_t first = TAppMIDIEventCounter::current();
    tagMPEVENT a = channelEvent(MPEVENT_NOTEON, 3, {0x3C, 0x40});
    tagMPEVENT b = channelEvent(MPEVENT_CONTROL, 0, {0x07, 0x64});
    in.endpoint->midiIn(&a);
    in.endpoint->midiIn(&b);
    EXPECT_EQ(TAppMIDIEventCounter::current(), first + 2);

    const auto calls = filter.calls();
    ASSERT_EQ(calls.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        const TFilterCall& call = calls[i];
        const std::uint64_t number = first + i;
        EXPECT_EQ(call.status.firstEventNumber, number);
        EXPECT_EQ(call.status.endEventNumber, number + 1);
        EXPECT_EQ(call.status.eventCount, 1u);
        EXPECT_EQ(call.status.zero, 0u);
        EXPECT_EQ(call.status.flags, 0x40u);
        ASSERT_EQ(call.count, 1u);
        EXPECT_EQ(call.event.eventNumber, number);
        EXPECT_EQ(call.event.eventNumberKind, 1u);
        EXPECT_EQ(call.event.port, 5u);
    }
    EXPECT_EQ(calls[0].event.type, MPEVENT_NOTEON);
    EXPECT_EQ(calls[0].event.channel, 3u);
    EXPECT_EQ(calls[0].event.data.bytes[0], 0x3C);
    EXPECT_EQ(calls[0].event.data.bytes[1], 0x40);
    EXPECT_EQ(calls[1].event.type, MPEVENT_CONTROL);
    // The caller's record carries the stamp too.
    EXPECT_EQ(b.eventNumber, first + 1);
    EXPECT_EQ(b.port, 5u);
}

TEST(TAppMIDIIn, FiltersAreKeptWithoutDuplicatesAndCalledInOrder)
{
    TOpenInput in;
    std::vector<int> order;
    TRecordingFilter first([&](IMPEventQueue*) { order.push_back(1); });
    TRecordingFilter second([&](IMPEventQueue*) { order.push_back(2); });

    in.endpoint->attachEventFilter(&first);
    in.endpoint->attachEventFilter(&second);
    in.endpoint->attachEventFilter(&first);
    in.endpoint->attachEventFilter(nullptr);
    EXPECT_EQ(in.endpoint->eventFilterCount(), 2);

    tagMPEVENT event = channelEvent(MPEVENT_NOTEON, 0, {0x3C, 0x40});
    in.endpoint->midiIn(&event);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));

    // Both read the same event under the same status.
    ASSERT_EQ(first.calls().size(), 1u);
    ASSERT_EQ(second.calls().size(), 1u);
    EXPECT_EQ(first.calls()[0].event.eventNumber, second.calls()[0].event.eventNumber);
    EXPECT_EQ(first.calls()[0].status.firstEventNumber, second.calls()[0].status.firstEventNumber);

    in.endpoint->detachEventFilter(&first);
    in.endpoint->detachEventFilter(&first); // not attached any more: nothing happens
    EXPECT_FALSE(in.endpoint->hasEventFilter(&first));
    EXPECT_TRUE(in.endpoint->hasEventFilter(&second));
    in.endpoint->midiIn(&event);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 2}));
}

// A component's queue filter never reaches the next component, nor the next event.
TEST(TAppMIDIIn, QueueFiltersAreClearedBeforeEachComponent)
{
    TOpenInput in;
    std::uint32_t otherPort = 99;
    tagMPIDLIST onlyOtherPort{1, &otherPort};
    TRecordingFilter narrow([&](IMPEventQueue* q) { ASSERT_EQ(q->MPQSetFilter(&onlyOtherPort, nullptr), S_OK); });
    TRecordingFilter wide;
    in.endpoint->attachEventFilter(&narrow);
    in.endpoint->attachEventFilter(&wide);

    tagMPEVENT event = channelEvent(MPEVENT_NOTEON, 0, {0x3C, 0x40});
    in.endpoint->midiIn(&event);
    ASSERT_EQ(narrow.calls().size(), 1u);
    EXPECT_EQ(narrow.calls()[0].count, 0u) << "its own filter excludes port 5";
    ASSERT_EQ(wide.calls().size(), 1u);
    EXPECT_EQ(wide.calls()[0].count, 1u) << "the previous component's filter leaked";

    // Reversed: the narrow one last, then a new event reaches the wide one first.
    in.endpoint->detachEventFilter(&narrow);
    in.endpoint->attachEventFilter(&narrow);
    in.endpoint->midiIn(&event);
    in.endpoint->midiIn(&event);
    const auto wideCalls = wide.calls();
    ASSERT_EQ(wideCalls.size(), 3u);
    EXPECT_EQ(wideCalls[2].count, 1u) << "the filter of the last component of the previous event leaked";
}

TEST(TAppMIDIIn, DeliversThroughThePusherThread)
{
    TOpenInput in;
    TRecordingFilter filter;
    in.endpoint->attachEventFilter(&filter);
    ASSERT_NE(in.driver->pusherThread(), nullptr);
    EXPECT_EQ(in.driver->inputPort(), 5);

    const std::uint64_t first = TAppMIDIEventCounter::current();
    in.driver->feed(kNoteOn);
    in.driver->feed({0xF0, 0x43, 0x10, 0x01, 0xF7});
    ASSERT_TRUE(filter.waitCalls(2));

    const auto calls = filter.calls();
    EXPECT_NE(calls[0].thread, std::this_thread::get_id());
    EXPECT_EQ(calls[0].event.type, MPEVENT_NOTEON);
    EXPECT_EQ(calls[0].event.eventNumber, first);
    EXPECT_EQ(calls[1].event.type, MPEVENT_SYSEX);
    EXPECT_EQ(calls[1].event.eventNumber, first + 1);
    EXPECT_EQ(calls[1].event.port, 5u);
    // The reader's own copy of the bytes after 0xF0, through 0xF7.
    EXPECT_EQ(calls[1].sysEx, (Bytes{0x43, 0x10, 0x01, 0xF7}));
}

// Destroying the endpoint delivers what is queued, then stops: no call afterwards.
TEST(TAppMIDIIn, DestructionDeliversQueuedEventsThenStops)
{
    TOpenInput in;
    std::atomic<bool> gone{false};
    std::atomic<int> lateCalls{0};
    TRecordingFilter filter([&](IMPEventQueue*) {
        if (gone.load())
            ++lateCalls;
    });
    in.endpoint->attachEventFilter(&filter);
    constexpr int kEvents = 300; // fewer than the ring holds: none is dropped
    for (int i = 0; i < kEvents; ++i)
        in.driver->feed({0x90, static_cast<std::uint8_t>(i & 0x7F), 0x40});
    in.endpoint.reset();
    gone = true;
    EXPECT_EQ(filter.calls().size(), static_cast<size_t>(kEvents));
    EXPECT_EQ(lateCalls.load(), 0);
}

// A component that detaches itself or another one from inside its MPOnEvents: nobody is
// called after being detached, nobody is skipped, nobody twice.
TEST(TAppMIDIIn, DetachingDuringDeliveryIsSafe)
{
    TOpenInput in;
    std::vector<char> order;
    TRecordingFilter* c = nullptr;
    TRecordingFilter a([&](IMPEventQueue*) { order.push_back('a'); });
    TRecordingFilter b([&](IMPEventQueue*) {
        order.push_back('b');
        in.endpoint->detachEventFilter(c);    // a later one
        in.endpoint->detachEventFilter(nullptr);
    });
    TRecordingFilter cc([&](IMPEventQueue*) { order.push_back('c'); });
    c = &cc;
    TRecordingFilter* self = nullptr;
    TRecordingFilter d([&](IMPEventQueue*) {
        order.push_back('d');
        in.endpoint->detachEventFilter(self); // itself
        in.endpoint->detachEventFilter(&a);   // an earlier one
    });
    self = &d;
    TRecordingFilter e([&](IMPEventQueue*) { order.push_back('e'); });
    TRecordingFilter late([&](IMPEventQueue*) { order.push_back('L'); });
    TRecordingFilter f([&](IMPEventQueue*) {
        order.push_back('f');
        in.endpoint->attachEventFilter(&late); // joins from the next event on
    });
    for (TRecordingFilter* filter : {&a, &b, &cc, &d, &e, &f})
        in.endpoint->attachEventFilter(filter);

    tagMPEVENT event = channelEvent(MPEVENT_NOTEON, 0, {0x3C, 0x40});
    in.endpoint->midiIn(&event);
    EXPECT_EQ(std::string(order.begin(), order.end()), "abdef");

    order.clear();
    in.endpoint->midiIn(&event);
    EXPECT_EQ(std::string(order.begin(), order.end()), "befL");
}

// Filters come and go on another thread while the pusher delivers (the lock keeps the list
// whole; run under the sanitizers).
TEST(TAppMIDIIn, AttachAndDetachRaceWithDelivery)
{
    TOpenInput in;
    TRecordingFilter steady;
    TRecordingFilter coming;
    in.endpoint->attachEventFilter(&steady);

    std::atomic<bool> stop{false};
    std::thread churn([&] {
        while (!stop.load()) {
            in.endpoint->attachEventFilter(&coming);
            in.endpoint->detachEventFilter(&coming);
        }
    });
    constexpr int kRounds = 20;
    constexpr int kPerRound = 100;
    for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < kPerRound; ++i)
            in.driver->feed(kNoteOn);
        ASSERT_TRUE(steady.waitCalls(static_cast<size_t>((round + 1) * kPerRound)));
    }
    stop = true;
    churn.join();
    EXPECT_EQ(steady.calls().size(), static_cast<size_t>(kRounds * kPerRound));
    EXPECT_LE(coming.calls().size(), static_cast<size_t>(kRounds * kPerRound));
    EXPECT_FALSE(in.endpoint->hasEventFilter(&coming));
}

TEST(TAppMIDIIn, OpenFailsWithoutDriverOrWhenTheDriverRefuses)
{
    TAppMIDIIn noDriver([]() -> TMIDITransport* { return nullptr; });
    EXPECT_FALSE(noDriver.openPort(1));

    TFakeDriver* refusing = nullptr;
    TAppMIDIIn refused([&] {
        refusing = new TFakeDriver;
        refusing->setOpenResult(false);
        return refusing;
    });
    EXPECT_FALSE(refused.openPort(1));
    EXPECT_EQ(refusing->pusherThread(), nullptr);

    TAppMIDIIn tooLarge([] { return new TFakeDriver; });
    EXPECT_FALSE(tooLarge.openPort(0x80000000u));

    // An endpoint that never opened still drops events safely.
    TAppMIDIIn never([] { return new TFakeDriver; });
    TRecordingFilter filter;
    never.attachEventFilter(&filter);
    tagMPEVENT event = channelEvent(MPEVENT_NOTEON, 0, {0x3C, 0x40});
    never.midiIn(&event);
    never.midiIn(nullptr);
    EXPECT_TRUE(filter.calls().empty());
}

TEST(TAppMIDIIn, ReopeningReplacesTheDriverAndTheQueue)
{
    std::vector<TFakeDriver*> drivers;
    TAppMIDIIn endpoint([&] {
        drivers.push_back(new TFakeDriver);
        return drivers.back();
    });
    TRecordingFilter filter;
    endpoint.attachEventFilter(&filter);
    ASSERT_TRUE(endpoint.openPort(1));
    IMPEventQueue* firstQueue = endpoint.eventQueue();
    ASSERT_NE(firstQueue, nullptr);
    drivers[0]->feed(kNoteOn);
    ASSERT_TRUE(filter.waitCalls(1));

    ASSERT_TRUE(endpoint.openPort(2));
    ASSERT_EQ(drivers.size(), 2u);
    EXPECT_EQ(endpoint.transport(), drivers[1]);
    EXPECT_EQ(endpoint.port(), 2u);
    drivers[1]->feed(kNoteOn);
    ASSERT_TRUE(filter.waitCalls(2));
    EXPECT_EQ(filter.calls()[1].event.port, 2u);
}

// A component that throws through the interface costs its own event only.
TEST(TAppMIDIIn, ThrowingFilterDoesNotStopDelivery)
{
    TOpenInput in;
    TRecordingFilter thrower([](IMPEventQueue*) { throw 42; });
    TRecordingFilter after;
    in.endpoint->attachEventFilter(&thrower);
    in.endpoint->attachEventFilter(&after);
    in.driver->feed(kNoteOn);
    in.driver->feed(kNoteOn);
    ASSERT_TRUE(after.waitCalls(2));
}
