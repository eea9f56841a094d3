// Parser throughput: TMIDITransport::read against ALSA's snd_midi_event_encode on the same
// bytes, one driver packet per message (the way the drivers hand data on). Prints the
// figures and the ratio measured in this run.
//
//   TMIDITransport        parser + ring write; the ring is drained on the same thread
//                         (records handed through doEvent, SysEx bytes released), so the
//                         figure includes the consumer's work and no thread hand-off.
//   AlsaEncoder           snd_midi_event_encode; each finished event is copied out, and
//                         SysEx bytes with it (the encoder reuses its buffer).
//   TMIDITransport_live   the real pipeline: a live pusher thread consumes while the
//                         parser runs; the feeder waits when the ring is nearly full
//                         (information only: it measures both threads).

#include "TInputOnlyTransport.h"
#include "TMIDIEventPushThread.h"
#include "TMIDITransport.h"
#include "TRatioReporter.h"

#include <alsa/asoundlib.h>
#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace {

struct TPacket
{
    int offset;
    int length;
};

struct TStream
{
    std::vector<unsigned char> bytes;
    std::vector<TPacket> packets; // one message each
    std::int64_t channelMessages = 0;
    std::int64_t sysExMessages = 0;
    std::int64_t events() const { return channelMessages + sysExMessages; }
};

// Mostly three-byte channel messages with their status bytes; one message in a hundred is
// a SysEx of 16..512 bytes (0xF0 and 0xF7 included).
TStream makeStream()
{
    TStream s;
    std::mt19937 rng(20261211);
    const unsigned char kinds[] = {0x80, 0x90, 0x90, 0xA0, 0xB0, 0xB0, 0xE0};
    constexpr int kMessages = 100000;
    for (int i = 0; i < kMessages; ++i) {
        const int offset = static_cast<int>(s.bytes.size());
        if (rng() % 100 == 0) {
            const int size = 16 + static_cast<int>(rng() % (512 - 16 + 1));
            s.bytes.push_back(0xF0);
            for (int k = 0; k < size - 2; ++k)
                s.bytes.push_back(static_cast<unsigned char>(rng() & 0x7F));
            s.bytes.push_back(0xF7);
            ++s.sysExMessages;
        } else {
            s.bytes.push_back(static_cast<unsigned char>(kinds[rng() % std::size(kinds)] | (rng() & 0x0F)));
            s.bytes.push_back(static_cast<unsigned char>(rng() & 0x7F));
            s.bytes.push_back(static_cast<unsigned char>(rng() & 0x7F));
            ++s.channelMessages;
        }
        s.packets.push_back({offset, static_cast<int>(s.bytes.size()) - offset});
    }
    return s;
}

const TStream& stream()
{
    static const TStream s = makeStream();
    return s;
}

using TBenchTransport = TInputOnlyTransport;

// Counts events. With parking on, the first delivery keeps the pusher thread inside the
// call until released, so the benchmark thread can drain the ring itself.
class TCountingReceiver : public TMIDIReaderRefConInterface
{
public:
    explicit TCountingReceiver(bool park) : m_park(park) {}

    void midiIn(tagMPEVENT*) override
    {
        if (m_park && !m_parked.load()) {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_parked = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_released; });
            return;
        }
        // One writer at a time (the pusher, or the benchmark thread while the pusher is
        // parked): a plain increment published with a store, no read-modify-write.
        m_count.store(m_count.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }
    void waitParked()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_parked.load(); });
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }
    std::int64_t count() const { return m_count.load(std::memory_order_acquire); }

private:
    bool m_park;
    std::atomic<bool> m_parked{false};
    bool m_released = false;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::atomic<std::int64_t> m_count{0};
};

void setCounters(benchmark::State& state, const TStream& s)
{
    state.SetItemsProcessed(state.iterations() * s.events());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(s.bytes.size()));
}

void BM_Parser_TMIDITransport(benchmark::State& state)
{
    const TStream& s = stream();
    TCountingReceiver receiver(true);
    TBenchTransport transport;
    transport.openInput(1, &receiver);
    const unsigned char prime[] = {0x90, 0x00, 0x00};
    transport.read(3, prime);
    receiver.waitParked();

    TMIDIEventPushThread* pusher = transport.pusherThread();
    CircularBuffer& ring = pusher->buffer();
    std::vector<tagMPEVENT> records(TMIDIEventPushThread::kBufferSize / TMIDIEventPushThread::kRecordSize);
    // The harness takes everything waiting in one read (the pusher takes one record per
    // lock); the per-record work that stays is doEvent, which releases SysEx bytes.
    auto drain = [&] {
        ring.lock();
        const int n = ring.read(reinterpret_cast<unsigned char*>(records.data()), ring.avail())
                      / TMIDIEventPushThread::kRecordSize;
        ring.unlock();
        for (int i = 0; i < n; ++i)
            transport.doEvent(&records[i]);
    };

    const unsigned char* bytes = s.bytes.data();
    for (auto _ : state) {
        int pending = 0;
        for (const TPacket& packet : s.packets) {
            transport.read(packet.length, bytes + packet.offset);
            if (++pending == 448) { // below the 511 records the ring keeps
                drain();
                pending = 0;
            }
        }
        drain();
    }
    receiver.release();
    transport.closeInput();
    if (receiver.count() != state.iterations() * s.events())
        state.SkipWithError("events were lost");
    setCounters(state, s);
}

void BM_Parser_AlsaEncoder(benchmark::State& state)
{
    const TStream& s = stream();
    snd_midi_event_t* encoder = nullptr;
    if (snd_midi_event_new(1024, &encoder) < 0) {
        state.SkipWithError("snd_midi_event_new failed");
        return;
    }
    std::vector<snd_seq_event_t> sink(512);
    std::vector<unsigned char> sysExCopy(1024);
    std::int64_t count = 0;

    for (auto _ : state) {
        for (const TPacket& packet : s.packets) {
            const unsigned char* p = s.bytes.data() + packet.offset;
            long left = packet.length;
            while (left > 0) {
                snd_seq_event_t event;
                const long n = snd_midi_event_encode(encoder, p, left, &event);
                if (n <= 0)
                    break;
                p += n;
                left -= n;
                if (event.type == SND_SEQ_EVENT_NONE)
                    continue;
                if (event.type == SND_SEQ_EVENT_SYSEX)
                    std::memcpy(sysExCopy.data(), event.data.ext.ptr, event.data.ext.len);
                sink[count & 511] = event;
                ++count;
            }
        }
        benchmark::DoNotOptimize(sink.data());
        benchmark::DoNotOptimize(sysExCopy.data());
    }
    snd_midi_event_free(encoder);
    if (count != state.iterations() * s.events())
        state.SkipWithError("ALSA produced a different number of events");
    setCounters(state, s);
}

void BM_Parser_TMIDITransport_live(benchmark::State& state)
{
    const TStream& s = stream();
    TCountingReceiver receiver(false);
    TBenchTransport transport;
    transport.openInput(1, &receiver);
    CircularBuffer& ring = transport.pusherThread()->buffer();
    const unsigned char* bytes = s.bytes.data();
    std::int64_t expected = 0;

    for (auto _ : state) {
        for (const TPacket& packet : s.packets) {
            while (ring.space() < 2 * TMIDIEventPushThread::kRecordSize)
                std::this_thread::yield();
            transport.read(packet.length, bytes + packet.offset);
        }
        expected += s.events();
        while (receiver.count() < expected)
            std::this_thread::yield();
    }
    transport.closeInput();
    if (receiver.count() != expected)
        state.SkipWithError("events were lost");
    setCounters(state, s);
}

// Single-threaded work is compared on CPU time (the machine is shared); the live pipeline
// spans two threads and is reported on real time.
BENCHMARK(BM_Parser_TMIDITransport)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Parser_AlsaEncoder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Parser_TMIDITransport_live)->Unit(benchmark::kMillisecond)->UseRealTime();

void printLine(const char* label, double ms)
{
    const TStream& s = stream();
    if (ms <= 0) {
        std::printf("%-34s not measured\n", label);
        return;
    }
    const double seconds = ms / 1000.0;
    std::printf("%-34s %12.0f events/s %9.1f MB/s\n", label, s.events() / seconds, s.bytes.size() / seconds / 1e6);
}

void printSummary(const TRatioReporter& reporter)
{
    const TStream& s = stream();
    std::printf("\nStream: %zu bytes, %lld events (%lld channel messages, %lld SysEx of 16..512 bytes), "
                "one packet per message\n",
                s.bytes.size(), static_cast<long long>(s.events()),
                static_cast<long long>(s.channelMessages), static_cast<long long>(s.sysExMessages));
    const double ours = reporter.cpuTime("BM_Parser_TMIDITransport");
    const double alsa = reporter.cpuTime("BM_Parser_AlsaEncoder");
    printLine("TMIDITransport (CPU time)", ours);
    printLine("ALSA snd_midi_event_encode (CPU)", alsa);
    printLine("TMIDITransport, live pusher (real)", reporter.realTime("BM_Parser_TMIDITransport_live/real_time"));
    if (ours > 0 && alsa > 0)
        std::printf("Ratio TMIDITransport / ALSA encoder throughput: %.2f (target >= 1.00: %s)\n", alsa / ours,
                    alsa / ours >= 1.0 ? "met" : "NOT met");
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
