// Driver paths, each against a reference measured in the same run:
//
//   AlsaSend        TAlsaMIDICodec::encodePacket, one packet per message (as outputData
//                   hands them on), against AlsaEncoderBare: snd_midi_event_encode_byte
//                   over the same packets.
//   AlsaReceive     TAlsaMIDICodec::decodeEvent against AlsaDecoderBare:
//                   snd_midi_event_decode on the same events (SysEx passed through).
//   VirtualLoopback messages sent by one virtual driver, carried by the service's delivery
//                   thread, parsed by a second driver and delivered by its pusher, against
//                   ParserDirect: the same packets fed to read() of an open transport.

#include "TInputOnlyTransport.h"
#include "TAlsaMIDICodec.h"
#include "TMIDITransport.h"
#include "TRatioReporter.h"
#include "TVirtualMIDI.h"
#include "TVirtualMIDIService.h"

#include <alsa/asoundlib.h>
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
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
    std::vector<TPacket> packets;
};

// Mostly three-byte channel messages; one in a hundred a SysEx of 16..512 bytes.
TStream makeStream(int messages)
{
    TStream s;
    std::mt19937 rng(20261211);
    const unsigned char kinds[] = {0x80, 0x90, 0x90, 0xA0, 0xB0, 0xB0, 0xE0};
    for (int i = 0; i < messages; ++i) {
        const int offset = static_cast<int>(s.bytes.size());
        if (rng() % 100 == 0) {
            const int size = 16 + static_cast<int>(rng() % (512 - 16 + 1));
            s.bytes.push_back(0xF0);
            for (int k = 0; k < size - 2; ++k)
                s.bytes.push_back(static_cast<unsigned char>(rng() & 0x7F));
            s.bytes.push_back(0xF7);
        } else {
            s.bytes.push_back(static_cast<unsigned char>(kinds[rng() % 7] | (rng() & 0x0F)));
            s.bytes.push_back(static_cast<unsigned char>(rng() & 0x7F));
            s.bytes.push_back(static_cast<unsigned char>(rng() & 0x7F));
        }
        s.packets.push_back({offset, static_cast<int>(s.bytes.size()) - offset});
    }
    return s;
}

const TStream& stream()
{
    static const TStream s = makeStream(100000);
    return s;
}

void setCounters(benchmark::State& state, std::int64_t messages, std::int64_t bytes)
{
    state.SetItemsProcessed(state.iterations() * messages);
    state.SetBytesProcessed(state.iterations() * bytes);
}

void AlsaSend(benchmark::State& state)
{
    const TStream& s = stream();
    TAlsaMIDICodec codec;
    std::int64_t events = 0;
    for (auto _ : state) {
        for (const TPacket& p : s.packets)
            codec.encodePacket(s.bytes.data() + p.offset, p.length, [&](snd_seq_event_t& ev) {
                benchmark::DoNotOptimize(ev);
                ++events;
                return true;
            });
    }
    benchmark::DoNotOptimize(events);
    setCounters(state, static_cast<std::int64_t>(s.packets.size()), static_cast<std::int64_t>(s.bytes.size()));
}

void AlsaEncoderBare(benchmark::State& state)
{
    const TStream& s = stream();
    snd_midi_event_t* encoder = nullptr;
    snd_midi_event_new(TAlsaMIDICodec::kMaxSysExEvent, &encoder);
    std::int64_t events = 0;
    for (auto _ : state) {
        for (const TPacket& p : s.packets) {
            snd_midi_event_reset_encode(encoder);
            for (int i = 0; i < p.length; ++i) {
                snd_seq_event_t ev;
                snd_seq_ev_clear(&ev);
                if (snd_midi_event_encode_byte(encoder, s.bytes[p.offset + i], &ev) == 1) {
                    benchmark::DoNotOptimize(ev);
                    ++events;
                }
            }
        }
    }
    snd_midi_event_free(encoder);
    benchmark::DoNotOptimize(events);
    setCounters(state, static_cast<std::int64_t>(s.packets.size()), static_cast<std::int64_t>(s.bytes.size()));
}

std::vector<snd_seq_event_t> encodedEvents()
{
    const TStream& s = stream();
    TAlsaMIDICodec codec;
    std::vector<snd_seq_event_t> events;
    for (const TPacket& p : s.packets)
        codec.encodePacket(s.bytes.data() + p.offset, p.length, [&](snd_seq_event_t& ev) {
            events.push_back(ev); // SysEx events point into the static stream
            return true;
        });
    return events;
}

void AlsaReceive(benchmark::State& state)
{
    const std::vector<snd_seq_event_t> events = encodedEvents();
    TAlsaMIDICodec codec;
    unsigned char buffer[TAlsaMIDICodec::kDecodeBufferSize];
    std::int64_t bytes = 0;
    for (auto _ : state) {
        for (const snd_seq_event_t& ev : events) {
            const unsigned char* p = nullptr;
            bytes += codec.decodeEvent(ev, buffer, &p);
            benchmark::DoNotOptimize(p);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(events.size()));
    state.SetBytesProcessed(bytes);
}

void AlsaDecoderBare(benchmark::State& state)
{
    const std::vector<snd_seq_event_t> events = encodedEvents();
    snd_midi_event_t* decoder = nullptr;
    snd_midi_event_new(16, &decoder);
    snd_midi_event_no_status(decoder, 1);
    unsigned char buffer[16];
    std::int64_t bytes = 0;
    for (auto _ : state) {
        for (const snd_seq_event_t& ev : events) {
            if (ev.type == SND_SEQ_EVENT_SYSEX) {
                bytes += ev.data.ext.len;
                benchmark::DoNotOptimize(ev.data.ext.ptr);
            } else {
                bytes += snd_midi_event_decode(decoder, buffer, sizeof buffer, &ev);
                benchmark::DoNotOptimize(buffer);
            }
        }
    }
    snd_midi_event_free(decoder);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(events.size()));
    state.SetBytesProcessed(bytes);
}

class TCounter : public TMIDIReaderRefConInterface
{
public:
    void midiIn(tagMPEVENT*) override { m_count.fetch_add(1, std::memory_order_relaxed); }
    bool waitFor(std::int64_t n)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (m_count.load(std::memory_order_relaxed) < n)
            if (std::chrono::steady_clock::now() > until)
                return false;
            else
                std::this_thread::yield();
        return true;
    }
    std::atomic<std::int64_t> m_count{0};
};

// Channel messages only, so that no event is dropped by a full ring when the consumer
// falls behind (the sender waits per block instead).
constexpr int kBlock = 256;

void VirtualLoopback(benchmark::State& state)
{
    TVirtualMIDIService service;
    service.addLoopback(QStringLiteral("Loop"));
    TVirtualMIDI out(service);
    TVirtualMIDI in(service);
    TCounter counter;
    out.openOutput(1);
    in.openInput(1, &counter);
    unsigned char note[] = {0x3C, 0x40};
    std::int64_t sent = 0;
    for (auto _ : state) {
        for (int i = 0; i < kBlock; ++i)
            out.outputData(2, note, 0x90);
        sent += kBlock;
        if (!counter.waitFor(sent))
            state.SkipWithError("events lost");
    }
    state.SetItemsProcessed(sent);
}

using TDirectTransport = TInputOnlyTransport;

void ParserDirect(benchmark::State& state)
{
    TDirectTransport transport;
    TCounter counter;
    transport.openInput(1, &counter);
    const unsigned char note[] = {0x90, 0x3C, 0x40};
    std::int64_t sent = 0;
    for (auto _ : state) {
        for (int i = 0; i < kBlock; ++i)
            transport.read(3, note);
        sent += kBlock;
        if (!counter.waitFor(sent))
            state.SkipWithError("events lost");
    }
    state.SetItemsProcessed(sent);
}

BENCHMARK(AlsaSend)->Unit(benchmark::kMillisecond);
BENCHMARK(AlsaEncoderBare)->Unit(benchmark::kMillisecond);
BENCHMARK(AlsaReceive)->Unit(benchmark::kMillisecond);
BENCHMARK(AlsaDecoderBare)->Unit(benchmark::kMillisecond);
BENCHMARK(VirtualLoopback)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(ParserDirect)->Unit(benchmark::kMicrosecond)->UseRealTime();

void printRatio(const TRatioReporter& r, const char* what, const char* ours, const char* reference)
{
    const double a = r.realTime(ours);
    const double b = r.realTime(reference);
    if (a > 0 && b > 0)
        std::printf("%-16s %s / %s time ratio: %.2f (below 1: ours faster)\n", what, ours, reference, a / b);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    printRatio(reporter, "send conversion", "AlsaSend", "AlsaEncoderBare");
    printRatio(reporter, "receive", "AlsaReceive", "AlsaDecoderBare");
    printRatio(reporter, "driver loopback", "VirtualLoopback/real_time", "ParserDirect/real_time");
    benchmark::Shutdown();
    return 0;
}
