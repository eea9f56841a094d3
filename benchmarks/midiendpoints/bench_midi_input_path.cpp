// Input path: a driver thread hands three-byte note messages to TMIDITransport::read; the
// pusher thread delivers them through TAppMIDIIn to a component's MPOnEvents, which reads
// the event from the queue. Reference, measured in the same run: a bare two-thread hand-off
// of 56-byte records (mutex, wait condition, 512-record ring, wake only a sleeping consumer,
// the same scheme the transport uses) with the same pacing and the same clock reads.
//
//   paced      100,000 events/s for 2 s: delivered rate, drops, p50/p99 latency from
//              before read() to inside MPOnEvents (reference: before the ring write to
//              after the ring read).
//   saturated  the driver thread sends as fast as the ring has room (it waits for room
//              rather than dropping): sustained delivered events/s.
//
// Usage: bench_midi_input_path [rounds (default 3)]

#include "TInputOnlyTransport.h"
#include "TAppMIDIIn.h"
#include "TMIDIEventPushThread.h"
#include "TMIDITransport.h"

#include <kav/KAVInterfaces.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRate = 100000;              // events per second, paced runs
constexpr int kPacedEvents = 2 * kRate;    // two seconds
constexpr int kSaturatedEvents = 1000000;
constexpr int kRecord = static_cast<int>(sizeof(tagMPEVENT));
constexpr int kRingRecords = 512;
// The driver thread of a saturated run waits while fewer records than this are free.
constexpr int kLowWater = 8;

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// Busy waits give the core away at each step: on a small machine the consumer may share it.
inline void cpuRelax()
{
    std::this_thread::yield();
}

// Waits until the planned send time of event i (busy: sleeping cannot hit 10 us steps).
void paceTo(std::int64_t start, int i, int rate)
{
    const std::int64_t due = start + static_cast<std::int64_t>(i) * 1000000000LL / rate;
    while (nowNs() < due)
        cpuRelax();
}

// Event i carries its sequence number in its two data bytes (14 bits), so the receiver
// can tell a lost event from a delivered one.
void encode(int i, unsigned char* bytes)
{
    bytes[0] = static_cast<unsigned char>(0x90 | ((i >> 14) & 0x0F));
    bytes[1] = static_cast<unsigned char>(i & 0x7F);
    bytes[2] = static_cast<unsigned char>((i >> 7) & 0x7F);
}

int decode(std::uint32_t channel, const std::uint8_t* data)
{
    return static_cast<int>((channel & 0x0F) << 14 | (data[1] & 0x7F) << 7 | (data[0] & 0x7F));
}

// What a run measured.
struct TResult
{
    int sent = 0;
    int delivered = 0;
    int outOfOrder = 0;
    double seconds = 0;
    std::vector<std::int64_t> latencies; // ns, paced runs only

    double rate() const { return seconds > 0 ? delivered / seconds : 0; }
    double percentile(double p) const
    {
        if (latencies.empty())
            return 0;
        std::vector<std::int64_t> sorted = latencies;
        const size_t k = std::min(sorted.size() - 1, static_cast<size_t>(p * sorted.size()));
        std::nth_element(sorted.begin(), sorted.begin() + k, sorted.end());
        return static_cast<double>(sorted[k]) / 1000.0; // us
    }
};

// Receiver side shared by both paths: matches deliveries to send times by sequence number.
class TReceiveLog
{
public:
    void reset(int events, bool paced)
    {
        m_sendTimes.assign(events, 0);
        m_latencies.clear();
        if (paced)
            m_latencies.reserve(events);
        m_paced = paced;
        m_expected = 0;
        m_delivered.store(0);
        m_outOfOrder = 0;
    }
    void sent(int i) { m_sendTimes[i] = nowNs(); }
    void received(int sequence)
    {
        const std::int64_t t = nowNs();
        if (sequence < m_expected)
            ++m_outOfOrder;
        m_expected = sequence + 1;
        if (m_paced && sequence < static_cast<int>(m_sendTimes.size()))
            m_latencies.push_back(t - m_sendTimes[sequence]);
        m_delivered.fetch_add(1, std::memory_order_release);
    }
    int delivered() const { return m_delivered.load(std::memory_order_acquire); }
    void finish(TResult& r)
    {
        r.delivered = delivered();
        r.outOfOrder = m_outOfOrder;
        r.latencies = std::move(m_latencies);
    }

private:
    std::vector<std::int64_t> m_sendTimes; // written before the hand-off, read after it
    std::vector<std::int64_t> m_latencies; // receiver thread only
    bool m_paced = false;
    int m_expected = 0;
    int m_outOfOrder = 0;
    std::atomic<int> m_delivered{0};
};

// ---- the endpoint path ----------------------------------------------------------------

using TBenchDriver = TInputOnlyTransport;

// A component's filter that reads the event, as a component does.
class TBenchFilter : public IMPEventFilter
{
public:
    explicit TBenchFilter(TReceiveLog& log) : m_log(log) {}
    HRESULT QueryInterface(CFUUIDBytes, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return 1; }
    std::uint32_t Release() override { return 1; }
    HRESULT MPOnEvents(IMPEventQueue* queue, const tagMPQSTATUS&) override
    {
        std::uint32_t count = 0;
        std::uint32_t more = 0;
        tagMPEVENT event;
        queue->MPQGetFirstEvent(&count, &event, &more, MPEVENT_MASK_ALL);
        if (count == 1)
            m_log.received(decode(event.channel, event.data.bytes));
        return S_OK;
    }
    HRESULT MPGetSupportedTimeFormats(_MPTIME_FORMAT*, _MPTIME_FORMAT*, std::uint32_t*) override
    {
        return E_NOTIMPL;
    }
    HRESULT MPSetTimeFormat(_MPTIME_FORMAT) override { return E_NOTIMPL; }

private:
    TReceiveLog& m_log;
};

// The transport alone: its receiver logs the event itself (no endpoint, no queue). Shows
// which part of the path's cost is the endpoint's.
class TBenchReceiver : public TMIDIReaderRefConInterface
{
public:
    explicit TBenchReceiver(TReceiveLog& log) : m_log(log) {}
    void midiIn(tagMPEVENT* event) override { m_log.received(decode(event->channel, event->data.bytes)); }

private:
    TReceiveLog& m_log;
};

TResult runTransport(int events, bool paced, bool withEndpoint)
{
    TReceiveLog log;
    log.reset(events, paced);
    TBenchFilter filter(log);
    TBenchReceiver receiver(log);
    TBenchDriver* driver = nullptr;
    TAppMIDIIn* endpoint = nullptr;
    bool opened;
    if (withEndpoint) {
        endpoint = new TAppMIDIIn([&] { return driver = new TBenchDriver; });
        endpoint->attachEventFilter(&filter);
        opened = endpoint->openPort(1);
    } else {
        driver = new TBenchDriver;
        opened = driver->openInput(1, &receiver);
    }
    if (!opened) {
        std::fprintf(stderr, "could not open the input\n");
        std::exit(1);
    }
    CircularBuffer& ring = driver->pusherThread()->buffer();

    TResult r;
    r.sent = events;
    const std::int64_t start = nowNs();
    std::thread receive([&] {
        unsigned char bytes[3];
        for (int i = 0; i < events; ++i) {
            if (paced)
                paceTo(start, i, kRate);
            else
                while (ring.space() < kLowWater * kRecord)
                    cpuRelax();
            encode(i, bytes);
            log.sent(i);
            driver->read(3, bytes);
        }
    });
    receive.join();
    // Closing delivers everything queued.
    if (endpoint)
        delete endpoint;
    else
        delete driver;
    r.seconds = static_cast<double>(nowNs() - start) / 1e9;
    log.finish(r);
    return r;
}

// ---- the bare hand-off ----------------------------------------------------------------

class TBareHandOff
{
public:
    explicit TBareHandOff(TReceiveLog& log) : m_log(log), m_ring(kRingRecords * kRecord) {}

    void start() { m_consumer = std::thread([this] { consume(); }); }
    void stop()
    {
        tagMPEVENT stop{};
        stop.type = 1;
        while (!push(stop))
            std::this_thread::yield();
        m_consumer.join();
    }
    // Drops the record when the ring is full, as the transport does.
    bool push(const tagMPEVENT& record)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_count + kRecord > static_cast<int>(m_ring.size()))
            return false;
        std::memcpy(&m_ring[m_write], &record, kRecord);
        m_write = (m_write + kRecord) % m_ring.size();
        m_count += kRecord;
        m_countAtomic.store(m_count, std::memory_order_release);
        const bool wake = m_waiting;
        lock.unlock();
        if (wake)
            m_wait.notify_all();
        return true;
    }
    int space() const { return static_cast<int>(m_ring.size()) - m_countAtomic.load(std::memory_order_acquire); }

private:
    void consume()
    {
        for (;;) {
            tagMPEVENT record;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                while (m_count < kRecord) {
                    m_waiting = true;
                    m_wait.wait(lock);
                    m_waiting = false;
                }
                std::memcpy(&record, &m_ring[m_read], kRecord);
                m_read = (m_read + kRecord) % m_ring.size();
                m_count -= kRecord;
                m_countAtomic.store(m_count, std::memory_order_release);
            }
            if (record.type == 1)
                return;
            m_log.received(decode(record.channel, record.data.bytes));
        }
    }

    TReceiveLog& m_log;
    std::vector<unsigned char> m_ring;
    size_t m_write = 0;
    size_t m_read = 0;
    int m_count = 0;
    std::atomic<int> m_countAtomic{0};
    bool m_waiting = false;
    std::mutex m_mutex;
    std::condition_variable m_wait;
    std::thread m_consumer;
};

TResult runBare(int events, bool paced)
{
    TReceiveLog log;
    log.reset(events, paced);
    TBareHandOff handOff(log);
    handOff.start();

    TResult r;
    r.sent = events;
    const std::int64_t start = nowNs();
    std::thread produce([&] {
        unsigned char bytes[3];
        for (int i = 0; i < events; ++i) {
            if (paced)
                paceTo(start, i, kRate);
            else
                while (handOff.space() < kLowWater * kRecord)
                    cpuRelax();
            encode(i, bytes);
            log.sent(i);
            tagMPEVENT record{};
            record.type = MPEVENT_NOTEON;
            record.channel = bytes[0] & 0x0F;
            record.data.bytes[0] = bytes[1];
            record.data.bytes[1] = bytes[2];
            handOff.push(record);
        }
    });
    produce.join();
    handOff.stop();
    r.seconds = static_cast<double>(nowNs() - start) / 1e9;
    log.finish(r);
    return r;
}

void printPaced(const char* name, const TResult& r)
{
    std::printf("  %-10s sent %7d  delivered %7d  drops %5d  reordered %d  %9.0f ev/s  "
                "p50 %7.2f us  p99 %8.2f us  p99.9 %8.2f us  max %9.2f us\n",
                name, r.sent, r.delivered, r.sent - r.delivered, r.outOfOrder, r.rate(),
                r.percentile(0.50), r.percentile(0.99), r.percentile(0.999), r.percentile(1.0));
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

enum TPath { kBare, kTransport, kEndpoint, kPaths };
const char* const kPathNames[kPaths] = {"bare", "transport", "endpoint"};

TResult run(TPath path, int events, bool paced)
{
    return path == kBare ? runBare(events, paced) : runTransport(events, paced, path == kEndpoint);
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::printf("MIDI input path: TMIDITransport::read -> pusher -> TAppMIDIIn -> MPOnEvents\n");
    std::printf("reference: bare two-thread hand-off of %d-byte records; 'transport' is the\n"
                "transport's pusher with a plain receiver (no endpoint)\n\n", kRecord);

    std::vector<double> p50[kPaths], p99[kPaths], rate[kPaths];
    int drops[kPaths] = {};
    std::printf("paced at %d events/s, %d events per run:\n", kRate, kPacedEvents);
    for (int round = 0; round < rounds; ++round) {
        std::printf(" round %d\n", round + 1);
        for (int path = 0; path < kPaths; ++path) {
            const TResult r = run(static_cast<TPath>(path), kPacedEvents, true);
            printPaced(kPathNames[path], r);
            p50[path].push_back(r.percentile(0.50));
            p99[path].push_back(r.percentile(0.99));
            drops[path] += r.sent - r.delivered;
        }
    }

    std::printf("\nsaturated, %d events per run (the sender waits for ring space):\n", kSaturatedEvents);
    for (int round = 0; round < rounds; ++round) {
        std::printf(" round %d ", round + 1);
        for (int path = 0; path < kPaths; ++path) {
            const TResult r = run(static_cast<TPath>(path), kSaturatedEvents, false);
            std::printf("  %s %10.0f ev/s (drops %d)", kPathNames[path], r.rate(), r.sent - r.delivered);
            rate[path].push_back(r.rate());
        }
        std::printf("\n");
    }

    auto ratio = [](double a, double b) { return a / std::max(1e-9, b); };
    std::printf("\nsummary (medians of %d rounds)\n", rounds);
    for (int path = kTransport; path < kPaths; ++path) {
        std::printf("  %-9s p50 %8.2f us (%.2fx bare)  p99 %9.2f us (%.2fx bare)  drops %d at %d ev/s"
                    "  sustained %9.0f ev/s (%.2fx bare)\n",
                    kPathNames[path], median(p50[path]), ratio(median(p50[path]), median(p50[kBare])),
                    median(p99[path]), ratio(median(p99[path]), median(p99[kBare])), drops[path], kRate,
                    median(rate[path]), ratio(median(rate[path]), median(rate[kBare])));
    }
    std::printf("  %-9s p50 %8.2f us          p99 %9.2f us          drops %d at %d ev/s"
                "  sustained %9.0f ev/s\n",
                kPathNames[kBare], median(p50[kBare]), median(p99[kBare]), drops[kBare], kRate,
                median(rate[kBare]));
    std::printf("  targets: endpoint p99 within 2x of bare, zero drops at %d ev/s\n", kRate);
    return 0;
}
