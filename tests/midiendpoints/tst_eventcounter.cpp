// The process-wide event counter under concurrent stamping: every number handed out once,
// with nothing lost, whether taken directly or by several input endpoints at once.

#include "TAppMIDIEventCounter.h"
#include "TAppMIDIIn.h"
#include "TEndpointTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

namespace {

// Every value in [first, first + count) exactly once.
void expectContiguous(std::vector<std::uint64_t> numbers, std::uint64_t first, size_t count)
{
    ASSERT_EQ(numbers.size(), count);
    std::sort(numbers.begin(), numbers.end());
    for (size_t i = 0; i < count; ++i)
        ASSERT_EQ(numbers[i], first + i) << "at " << i;
}

} // namespace

TEST(TAppMIDIEventCounter, ConcurrentTakesNeverCollide)
{
    constexpr int kThreads = 4;
    constexpr int kTakes = 20000;
    const std::uint64_t first = TAppMIDIEventCounter::current();
    std::vector<std::vector<std::uint64_t>> taken(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kTakes; ++i)
                taken[t].push_back(TAppMIDIEventCounter::take());
        });
    }
    for (auto& thread : threads)
        thread.join();

    std::vector<std::uint64_t> all;
    for (const auto& numbers : taken) {
        EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
        all.insert(all.end(), numbers.begin(), numbers.end());
    }
    expectContiguous(all, first, kThreads * kTakes);
    EXPECT_EQ(TAppMIDIEventCounter::current(), first + kThreads * kTakes);
}

// Three inputs, each fed by its own driver thread, delivering on their own pusher threads.
TEST(TAppMIDIEventCounter, SeveralInputEndpointsStampUniqueNumbers)
{
    constexpr int kInputs = 3;
    constexpr int kEvents = 400; // below the ring's 511 records: nothing is dropped
    struct TInput
    {
        TFakeDriver* driver = nullptr;
        std::unique_ptr<TAppMIDIIn> endpoint;
        TRecordingFilter filter;
    };
    std::vector<std::unique_ptr<TInput>> inputs;
    const std::uint64_t first = TAppMIDIEventCounter::current();
    for (int i = 0; i < kInputs; ++i) {
        auto input = std::make_unique<TInput>();
        TInput* raw = input.get();
        input->endpoint = std::make_unique<TAppMIDIIn>([raw] { return raw->driver = new TFakeDriver; });
        input->endpoint->attachEventFilter(&input->filter);
        ASSERT_TRUE(input->endpoint->openPort(static_cast<std::uint32_t>(i + 1)));
        inputs.push_back(std::move(input));
    }

    std::vector<std::thread> feeders;
    for (auto& input : inputs) {
        feeders.emplace_back([&input] {
            for (int e = 0; e < kEvents; ++e)
                input->driver->feed({0xB0, 0x07, static_cast<std::uint8_t>(e & 0x7F)});
        });
    }
    for (auto& feeder : feeders)
        feeder.join();

    std::vector<std::uint64_t> all;
    for (int i = 0; i < kInputs; ++i) {
        TInput& input = *inputs[i];
        ASSERT_TRUE(input.filter.waitCalls(kEvents));
        std::vector<std::uint64_t> numbers;
        for (const TFilterCall& call : input.filter.calls()) {
            EXPECT_EQ(call.event.port, static_cast<std::uint32_t>(i + 1));
            EXPECT_EQ(call.status.firstEventNumber, call.event.eventNumber);
            numbers.push_back(call.event.eventNumber);
        }
        EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end())) << "input " << i;
        all.insert(all.end(), numbers.begin(), numbers.end());
    }
    expectContiguous(all, first, kInputs * kEvents);
}
