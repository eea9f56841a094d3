// Output path: TAppMIDIOut::midiOut (the conversion a component's MPOutput ends in) down to
// the driver's send, on a counting driver. Reference, measured in the same run: the same
// MIDI messages handed to the same driver's outputData directly, already converted. The
// ratio is the cost of the conversion per event.
//
//   notes   note-on / note-off only (one send per event)
//   mixed   notes, controllers, program changes, pitch bend, NRPN and bank-with-program
//           sequences (four and three sends), and 64-byte SysEx

#include "TAppMIDIOut.h"
#include "TMIDITransport.h"
#include "TRatioReporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

namespace {

// The driver's send, counting what would go out.
class TCountingDriver : public TMIDITransport
{
public:
    bool openInput(int, TMIDIReaderRefConInterface*) override { return false; }
    void closeInput() override {}
    bool openOutput(int) override { return true; }
    void closeOutput() override {}
    bool outputData(int len, unsigned char* data, unsigned long status) override
    {
        benchmark::DoNotOptimize(data);
        ++m_messages;
        m_bytes += len + (status != 0 ? 1 : 0);
        return true;
    }
    std::int64_t m_messages = 0;
    std::int64_t m_bytes = 0;
};

struct TMessage
{
    unsigned long status;
    int length;
    unsigned char* data;
    unsigned char inline2[2];
};

struct TWorkload
{
    std::vector<tagMPEVENT> events;
    std::vector<TMessage> messages; // the same events, converted
    std::vector<std::vector<unsigned char>> sysEx;
};

tagMPEVENT channel(std::uint32_t type, std::uint32_t ch, std::initializer_list<std::uint8_t> data)
{
    tagMPEVENT e{};
    e.type = type;
    e.channel = ch;
    int i = 0;
    for (std::uint8_t b : data)
        e.data.bytes[i++] = b;
    return e;
}

TWorkload makeWorkload(bool mixed)
{
    TWorkload w;
    std::mt19937 rng(4711);
    constexpr int kEvents = 4096;
    w.sysEx.reserve(kEvents);
    auto r7 = [&] { return static_cast<std::uint8_t>(rng() & 0x7F); };
    auto add = [&](unsigned long status, std::initializer_list<std::uint8_t> data) {
        TMessage m{status, static_cast<int>(data.size()), nullptr, {0, 0}};
        int i = 0;
        for (std::uint8_t b : data)
            m.inline2[i++] = b;
        w.messages.push_back(m);
    };
    for (int i = 0; i < kEvents; ++i) {
        const std::uint32_t ch = rng() & 0x0F;
        const int kind = mixed ? static_cast<int>(rng() % 20) : static_cast<int>(rng() % 2);
        if (kind <= 1) {
            const std::uint8_t key = r7(), velocity = r7();
            w.events.push_back(channel(kind == 0 ? MPEVENT_NOTEON : MPEVENT_NOTEOFF, ch, {key, velocity}));
            add((kind == 0 ? 0x90 : 0x80) | ch, {key, velocity});
        } else if (kind <= 9) {
            const std::uint8_t number = r7(), value = r7();
            w.events.push_back(channel(MPEVENT_CONTROL, ch, {number, value}));
            add(0xB0 | ch, {number, value});
        } else if (kind <= 11) {
            const std::uint8_t program = r7();
            w.events.push_back(channel(MPEVENT_PROGRAM, ch, {program}));
            add(0xC0 | ch, {program});
        } else if (kind <= 14) {
            const std::uint8_t lsb = r7(), msb = r7();
            w.events.push_back(channel(MPEVENT_PITCHBEND, ch, {lsb, msb}));
            add(0xE0 | ch, {lsb, msb});
        } else if (kind <= 16) {
            const std::uint8_t a = r7(), b = r7(), c = r7(), d = r7();
            w.events.push_back(channel(MPEVENT_NRPN, ch, {a, b, c, d}));
            add(0xB0 | ch, {99, a});
            add(0xB0 | ch, {98, b});
            add(0xB0 | ch, {6, c});
            add(0xB0 | ch, {38, d});
        } else if (kind <= 18) {
            const std::uint8_t msb = r7(), lsb = r7(), program = r7();
            w.events.push_back(channel(MPEVENT_BANKPROGRAM, ch, {msb, lsb, program}));
            add(0xB0 | ch, {0, msb});
            add(0xB0 | ch, {32, lsb});
            add(0xC0 | ch, {program});
        } else {
            std::vector<unsigned char> body(63);
            for (auto& b : body)
                b = r7();
            body.back() = 0xF7;
            w.sysEx.push_back(std::move(body));
            tagMPEVENT e{};
            e.type = MPEVENT_SYSEX;
            e.length = 63;
            e.data.ptr = w.sysEx.back().data();
            w.events.push_back(e);
            w.messages.push_back({0xF0, 63, w.sysEx.back().data(), {0, 0}});
        }
    }
    return w;
}

const TWorkload& workload(bool mixed)
{
    static const TWorkload notes = makeWorkload(false);
    static const TWorkload all = makeWorkload(true);
    return mixed ? all : notes;
}

void report(benchmark::State& state, const TCountingDriver& driver, std::int64_t events)
{
    state.SetItemsProcessed(events);
    state.counters["msgs/s"] = benchmark::Counter(static_cast<double>(driver.m_messages), benchmark::Counter::kIsRate);
    state.counters["bytes/s"] = benchmark::Counter(static_cast<double>(driver.m_bytes), benchmark::Counter::kIsRate);
}

void BM_EndpointMidiOut(benchmark::State& state)
{
    const TWorkload& w = workload(state.range(0) != 0);
    TCountingDriver* driver = nullptr;
    TAppMIDIOut endpoint([&] { return driver = new TCountingDriver; });
    if (!endpoint.openPort(1)) {
        state.SkipWithError("could not open");
        return;
    }
    std::int64_t events = 0;
    for (auto _ : state) {
        for (const tagMPEVENT& e : w.events)
            benchmark::DoNotOptimize(endpoint.midiOut(e));
        events += static_cast<std::int64_t>(w.events.size());
    }
    report(state, *driver, events);
}

void BM_DirectSend(benchmark::State& state)
{
    const TWorkload& w = workload(state.range(0) != 0);
    TCountingDriver driverObject;
    TMIDITransport* driver = &driverObject;
    std::vector<TMessage> messages = w.messages;
    std::int64_t events = 0;
    for (auto _ : state) {
        for (TMessage& m : messages)
            benchmark::DoNotOptimize(driver->outputData(m.length, m.data ? m.data : m.inline2, m.status));
        events += static_cast<std::int64_t>(w.events.size());
    }
    report(state, driverObject, events);
}

BENCHMARK(BM_EndpointMidiOut)->Arg(0)->Arg(1)->ArgName("mixed");
BENCHMARK(BM_DirectSend)->Arg(0)->Arg(1)->ArgName("mixed");

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nOutput path: TAppMIDIOut::midiOut -> driver send, against direct sends of the "
                "converted bytes\n");
    for (const char* mix : {"mixed:0", "mixed:1"}) {
        const std::string endpointName = std::string("BM_EndpointMidiOut/") + mix;
        const std::string directName = std::string("BM_DirectSend/") + mix;
        const double endpointRate = reporter.counter(endpointName, "items_per_second");
        const double directRate = reporter.counter(directName, "items_per_second");
        // CPU time: one thread, and the shared machine's load stays out of the ratio.
        const double endpointTime = reporter.cpuTime(endpointName);
        const double directTime = reporter.cpuTime(directName);
        if (endpointTime <= 0 || directTime <= 0)
            continue;
        std::printf("  %-8s endpoint %6.1f M events/s, direct %6.1f M events/s, "
                    "endpoint/direct CPU time %.2fx\n",
                    std::string(mix) == "mixed:0" ? "notes" : "mixed", endpointRate / 1e6,
                    directRate / 1e6, endpointTime / directTime);
    }
    return 0;
}
