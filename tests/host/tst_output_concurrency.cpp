// Component output from several threads while the GUI thread closes and reopens the port,
// on the in-process virtual MIDI service; and event stamping from several inputs at once.

#include "THostTestSupport.h"

#include "MIDIDriverChoice.h"
#include "TAppMIDIIn.h"
#include "TVirtualMIDIService.h"

#include <kav/KAVInterfaces.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <set>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr auto kSendNow = static_cast<_MPASYNC_MODE>(1);
constexpr int kSenders = 4;
constexpr int kCycles = 40;

struct TSendCounts
{
    std::atomic<int> ok{0};
    std::atomic<int> failed{0};
    std::atomic<int> other{0};

    void count(HRESULT hr)
    {
        if (hr == S_OK)
            ok.fetch_add(1);
        else if (hr == E_FAIL)
            failed.fetch_add(1);
        else
            other.fetch_add(1);
    }
};

// Waits (bounded) until `condition` holds; false on timeout.
template <class Condition>
bool waitFor(Condition condition, std::chrono::milliseconds timeout = 10s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

TEST(OutputConcurrency, SendersMeetOpenOrClosedPortWhileTheGuiThreadReopensIt)
{
    if (MIDIDriverInUse().kind != TMIDIDriverKind::Virtual)
        GTEST_SKIP() << "needs MW2_MIDI_DRIVER=virtual";
    TContextPtr context = makeContext();
    ASSERT_TRUE(context);
    TVirtualMIDIService& service = TVirtualMIDIService::instance();
    const int destination = service.portAt(1, 0); // platform output 1
    ASSERT_GE(destination, 0);
    ASSERT_TRUE(service.waitIdle());
    const qsizetype sentBefore = service.sentPackets(destination).size();

    void* answer = nullptr;
    ASSERT_EQ(context->QueryInterface(IID_IMPAsyncOutput, &answer), S_OK);
    auto* output = static_cast<IMPAsyncOutput*>(answer);
    EXPECT_EQ(output->MPOutput(noteOn(1, 60), kSendNow), E_FAIL) << "not open yet";
    ASSERT_TRUE(context->requestPort(1, 1));

    TSendCounts counts;
    std::atomic<bool> stop{false};
    std::vector<std::future<void>> senders;
    for (int s = 0; s < kSenders; ++s) {
        senders.push_back(std::async(std::launch::async, [&, s] {
            std::uint8_t key = static_cast<std::uint8_t>(s * 16);
            while (!stop.load()) {
                counts.count(output->MPOutput(noteOn(1, key), kSendNow));
                key = static_cast<std::uint8_t>((key + 1) & 0x7F);
            }
        }));
    }

    // Each cycle closes and reopens the port once the senders got through at least once.
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        const int okBefore = counts.ok.load();
        ASSERT_TRUE(waitFor([&] { return counts.ok.load() > okBefore; })) << "cycle " << cycle;
        context->releasePort(1, 1);
        EXPECT_FALSE(context->isPortActive(1, 1));
        const int failedBefore = counts.failed.load();
        ASSERT_TRUE(waitFor([&] { return counts.failed.load() > failedBefore; })) << "cycle " << cycle;
        ASSERT_TRUE(context->requestPort(1, 1));
    }
    stop.store(true);
    for (auto& sender : senders)
        ASSERT_EQ(sender.wait_for(10s), std::future_status::ready) << "a sender is stuck on a lock";

    EXPECT_EQ(counts.other.load(), 0);
    EXPECT_GE(counts.failed.load(), kCycles);

    // Every accepted event went out through a live endpoint, one packet each.
    ASSERT_TRUE(service.waitIdle());
    EXPECT_EQ(service.sentPackets(destination).size() - sentBefore, counts.ok.load());

    // No lock was left held: the port can be closed, and output fails while it is closed
    // and works again after reopening, from this thread and from another.
    context->releasePort(1, 1);
    EXPECT_EQ(output->MPOutput(noteOn(1, 60), kSendNow), E_FAIL);
    auto closed = std::async(std::launch::async, [&] { return output->MPOutput(noteOn(1, 61), kSendNow); });
    ASSERT_EQ(closed.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(closed.get(), E_FAIL);
    ASSERT_TRUE(context->requestPort(1, 1));
    auto open = std::async(std::launch::async, [&] { return output->MPOutput(noteOn(1, 62), kSendNow); });
    ASSERT_EQ(open.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(open.get(), S_OK);

    output->Release();
}

TEST(OutputConcurrency, SendersOnDifferentPortsDoNotBlockEachOther)
{
    auto log = std::make_shared<TDriverLog>();
    TContextPtr context = makeContext();
    context->setEndpointFactory(loggedDrivers(log));
    ASSERT_TRUE(context->requestPort(1, 1));
    ASSERT_TRUE(context->requestPort(1, 2));

    std::vector<std::future<int>> senders;
    for (std::uint32_t port : {1u, 2u, 1u, 2u}) {
        senders.push_back(std::async(std::launch::async, [&, port] {
            int ok = 0;
            for (int i = 0; i < 500; ++i)
                ok += context->asyncOutput()->MPOutput(noteOn(port, 60), kSendNow) == S_OK;
            return ok;
        }));
    }
    for (auto& sender : senders) {
        ASSERT_EQ(sender.wait_for(10s), std::future_status::ready);
        EXPECT_EQ(sender.get(), 500);
    }
    const auto entries = log->snapshot();
    EXPECT_EQ(std::count(entries.begin(), entries.end(), "sent out 1 144"), 1000);
    EXPECT_EQ(std::count(entries.begin(), entries.end(), "sent out 2 144"), 1000);
}

TEST(EventStamping, EventsOfSeveralInputsGetDistinctNumbers)
{
    constexpr int kInputs = 3;
    constexpr int kNotes = 300;
    auto log = std::make_shared<TDriverLog>();
    TFakeOwner owner;
    TRecordingFilter filter;
    owner.filters = {&filter};
    TContextPtr context = makeContext();
    context->setEndpointFactory(loggedDrivers(log));
    context->setOwner(&owner);
    for (std::uint32_t port = 1; port <= kInputs; ++port)
        ASSERT_TRUE(context->requestPort(0, port));

    std::vector<std::future<void>> feeders;
    for (std::uint32_t port = 1; port <= kInputs; ++port) {
        auto* driver = static_cast<TFakeDriver*>(context->inputEndpoint(port)->transport());
        feeders.push_back(std::async(std::launch::async, [driver] {
            for (int i = 0; i < kNotes; ++i)
                driver->feed({0x90, static_cast<std::uint8_t>(i & 0x7F), 1});
        }));
    }
    for (auto& feeder : feeders)
        ASSERT_EQ(feeder.wait_for(10s), std::future_status::ready);
    ASSERT_TRUE(filter.waitCalls(kInputs * kNotes));

    std::set<std::uint64_t> numbers;
    for (const auto& call : filter.calls())
        numbers.insert(call.event.eventNumber);
    EXPECT_EQ(numbers.size(), static_cast<size_t>(kInputs * kNotes));
}

} // namespace
