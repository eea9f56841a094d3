// The common driver behaviour, on the in-process virtual service: packets sent per
// message, chunking of long messages, opening missing ports, packet lists with empty
// packets, loopback and simulated device back into the parser.

#include "TDriverTestSupport.h"
#include "TVirtualMIDI.h"
#include "TVirtualMIDIService.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

namespace {

using namespace std::chrono_literals;

// Counts the calls of read() the driver makes.
class TCountingVirtualMIDI : public TVirtualMIDI
{
public:
    using TVirtualMIDI::TVirtualMIDI;
    int read(int len, const void* data) override
    {
        m_reads.fetch_add(1);
        return TVirtualMIDI::read(len, data);
    }
    int reads() const { return m_reads.load(); }

private:
    std::atomic<int> m_reads{0};
};

QList<QByteArray> packetsOf(const QList<TVirtualMIDIService::TSentPacket>& sent)
{
    QList<QByteArray> packets;
    for (const auto& packet : sent)
        packets.append(packet.bytes);
    return packets;
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray array;
    for (int v : values)
        array.append(static_cast<char>(v));
    return array;
}

class VirtualDriver : public ::testing::Test
{
protected:
    TVirtualMIDIService service;
};

struct TOutputCase
{
    const char* name;
    Bytes data;
    unsigned long status;
    bool result;
    QList<QByteArray> packets;
};

TEST_F(VirtualDriver, OutputDataSendsOnePacketPerShortMessage)
{
    const TOutputCase cases[] = {
        {"note on", {0x3C, 0x40}, 0x90, true, {bytes({0x90, 0x3C, 0x40})}},
        {"status byte alone", {}, 0xF0, true, {bytes({0xF0})}},
        {"empty message", {}, 0, false, {}},
        {"data without status", {0x43, 0x10, 0xF7}, 0, true, {bytes({0x43, 0x10, 0xF7})}},
    };
    for (const TOutputCase& c : cases) {
        SCOPED_TRACE(c.name);
        const int destination = service.addDestination(QStringLiteral("Synth"));
        TVirtualMIDI driver(service);
        ASSERT_TRUE(driver.openOutput(service.numPorts(1)));
        Bytes data = c.data;
        unsigned char dummy = 0x11;
        EXPECT_EQ(driver.outputData(static_cast<int>(data.size()), data.empty() ? &dummy : data.data(),
                                    c.status),
                  c.result);
        EXPECT_EQ(packetsOf(service.sentPackets(destination)), c.packets);
    }
}

TEST_F(VirtualDriver, LongSysExGoesOutIn4096BytePiecesAtLeast100msApart)
{
    const int destination = service.addDestination(QStringLiteral("Synth"));
    TVirtualMIDI driver(service);
    ASSERT_TRUE(driver.openOutput(1));

    Bytes body(5000);
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<std::uint8_t>(i % 0x7F);
    ASSERT_TRUE(driver.outputData(5000, body.data(), 0xF0));

    const auto sent = service.sentPackets(destination);
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0].bytes.size(), 4096);
    EXPECT_EQ(static_cast<unsigned char>(sent[0].bytes[0]), 0xF0);
    EXPECT_EQ(toBytes(sent[0].bytes.mid(1)), Bytes(body.begin(), body.begin() + 4095));
    EXPECT_EQ(sent[1].bytes.size(), 905);
    EXPECT_EQ(toBytes(sent[1].bytes), Bytes(body.begin() + 4095, body.end()));
    // A minimum pause between pieces, not a speed requirement.
    EXPECT_GE(sent[1].when - sent[0].when, 100ms);
}

TEST_F(VirtualDriver, PacketBiggerThanOnePieceIsRefusedWhole)
{
    const int destination = service.addDestination(QStringLiteral("Synth"));
    TVirtualMIDI driver(service);
    ASSERT_TRUE(driver.openOutput(1));
    Bytes body(5000, 0x01);
    EXPECT_FALSE(driver.outputData2(5000, body.data(), 0));
    EXPECT_FALSE(driver.outputData2(0, body.data(), 0));
    EXPECT_TRUE(service.sentPackets(destination).isEmpty());
}

TEST_F(VirtualDriver, SendingWithoutOpenOutputFails)
{
    const int destination = service.addDestination(QStringLiteral("Synth"));
    TVirtualMIDI driver(service);
    unsigned char note[] = {0x3C, 0x40};
    EXPECT_FALSE(driver.outputData(2, note, 0x90));
    ASSERT_TRUE(driver.openOutput(1));
    driver.closeOutput();
    EXPECT_FALSE(driver.outputData(2, note, 0x90));
    EXPECT_TRUE(service.sentPackets(destination).isEmpty());
}

TEST_F(VirtualDriver, OpeningMissingPortsFailsAndStartsNoPusher)
{
    service.addSource(QStringLiteral("Keys 1"));
    service.addSource(QStringLiteral("Keys 2"));
    service.addDestination(QStringLiteral("Synth"));
    TVirtualMIDI driver(service);
    TRecordingReceiver receiver;
    for (int port : {3, 0, -1}) {
        SCOPED_TRACE(port);
        EXPECT_FALSE(driver.openInput(port, &receiver));
        EXPECT_EQ(driver.pusherThread(), nullptr);
        EXPECT_FALSE(driver.inputConnected());
    }
    EXPECT_FALSE(driver.openOutput(2));
    EXPECT_FALSE(driver.outputOpen());
    EXPECT_TRUE(driver.openInput(2, &receiver));
    EXPECT_NE(driver.pusherThread(), nullptr);
}

TEST_F(VirtualDriver, EmptyPacketsOfAListAreSkipped)
{
    const int source = service.addSource(QStringLiteral("Keys"));
    TCountingVirtualMIDI driver(service);
    TRecordingReceiver receiver;
    ASSERT_TRUE(driver.openInput(1, &receiver));
    ASSERT_TRUE(service.inject(source, {bytes({0x90, 0x3C, 0x40}), QByteArray(),
                                        bytes({0x80, 0x3C, 0x00})}));
    ASSERT_TRUE(receiver.waitCount(2));
    ASSERT_TRUE(service.waitIdle());
    EXPECT_EQ(driver.reads(), 2);
    const auto events = receiver.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, MPEVENT_NOTEON);
    EXPECT_EQ(events[1].type, MPEVENT_NOTEOFF);
}

TEST_F(VirtualDriver, ClosedInputParsesNothingMore)
{
    const int source = service.addSource(QStringLiteral("Keys"));
    TCountingVirtualMIDI driver(service);
    TRecordingReceiver receiver;
    ASSERT_TRUE(driver.openInput(1, &receiver));
    driver.closeInput();
    EXPECT_EQ(driver.pusherThread(), nullptr);
    ASSERT_TRUE(service.inject(source, {bytes({0x90, 0x3C, 0x40})}));
    ASSERT_TRUE(service.waitIdle());
    EXPECT_EQ(driver.reads(), 0);
    EXPECT_TRUE(receiver.events().empty());
}

TEST_F(VirtualDriver, LoopbackCarriesNoteAndLongSysExIntoTheParser)
{
    const int loopback = service.addLoopback(QStringLiteral("Loop"));
    (void)loopback;
    TVirtualMIDI out(service);
    TVirtualMIDI in(service);
    TRecordingReceiver receiver;
    ASSERT_TRUE(out.openOutput(1));
    ASSERT_TRUE(in.openInput(1, &receiver));

    unsigned char note[] = {0x3C, 0x40};
    ASSERT_TRUE(out.outputData(2, note, 0x91));
    Bytes message = sysExMessage(5000);
    ASSERT_TRUE(out.outputData(4999, message.data() + 1, 0xF0));

    ASSERT_TRUE(receiver.waitCount(2));
    const auto events = receiver.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, MPEVENT_NOTEON);
    EXPECT_EQ(events[0].channel, 1u);
    EXPECT_EQ(events[0].data, (Bytes{0x3C, 0x40, 0, 0}));
    EXPECT_EQ(events[1].type, MPEVENT_SYSEX);
    EXPECT_EQ(events[1].length, 4999u);
    EXPECT_EQ(events[1].data, Bytes(message.begin() + 1, message.end()));
}

TEST_F(VirtualDriver, SimulatedDeviceAnswersItsDumpRequest)
{
    service.addSimulatedDevice(QStringLiteral("Device"), TVirtualMIDIService::defaultDumpRequest(),
                               TVirtualMIDIService::defaultDumpReply());
    TVirtualMIDI out(service);
    TVirtualMIDI in(service);
    TRecordingReceiver receiver;
    ASSERT_TRUE(out.openOutput(1));
    ASSERT_TRUE(in.openInput(1, &receiver));

    // Something else first: the device ignores it.
    unsigned char other[] = {0x7D, 0x01, 0x99, 0xF7};
    ASSERT_TRUE(out.outputData(4, other, 0xF0));
    QByteArray request = TVirtualMIDIService::defaultDumpRequest();
    ASSERT_TRUE(out.outputData(static_cast<int>(request.size() - 1),
                               reinterpret_cast<unsigned char*>(request.data()) + 1, 0xF0));

    ASSERT_TRUE(receiver.waitCount(1));
    ASSERT_TRUE(service.waitIdle());
    const auto events = receiver.events();
    ASSERT_EQ(events.size(), 1u);
    const QByteArray reply = TVirtualMIDIService::defaultDumpReply();
    EXPECT_EQ(events[0].type, MPEVENT_SYSEX);
    EXPECT_EQ(events[0].data, toBytes(reply.mid(1)));
}

TEST_F(VirtualDriver, ReopeningIsReportedAndLeavesOneConnection)
{
    const int first = service.addSource(QStringLiteral("Keys 1"));
    const int second = service.addSource(QStringLiteral("Keys 2"));
    service.addDestination(QStringLiteral("Synth 1"));
    const int synth2 = service.addDestination(QStringLiteral("Synth 2"));
    TVirtualMIDI driver(service);
    TRecordingReceiver receiver;
    TAssertRecorder reports;

    ASSERT_TRUE(driver.openInput(1, &receiver));
    ASSERT_TRUE(driver.openInput(2, &receiver));
    ASSERT_TRUE(driver.openOutput(1));
    ASSERT_TRUE(driver.openOutput(2));
    EXPECT_EQ(reports.seen(), (QStringList{QStringLiteral("NULL == m_iPortEndPointRef in MIDIMacTransport"),
                                           QStringLiteral("NULL == m_oPortEndPointRef in MIDIMacTransport")}));

    // The first source no longer feeds this driver; the second does.
    ASSERT_TRUE(service.inject(first, {bytes({0x90, 0x01, 0x01})}));
    ASSERT_TRUE(service.inject(second, {bytes({0x90, 0x02, 0x02})}));
    ASSERT_TRUE(receiver.waitCount(1));
    ASSERT_TRUE(service.waitIdle());
    driver.closeInput();
    const auto events = receiver.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].data[0], 0x02);

    unsigned char note[] = {0x3C, 0x40};
    ASSERT_TRUE(driver.outputData(2, note, 0x90));
    EXPECT_EQ(service.sentPackets(synth2).size(), 1);
}

TEST_F(VirtualDriver, ClosingWhilePacketsArriveIsSafe)
{
    // The receive side keeps feeding while the input is closed and opened again.
    const int source = service.addSource(QStringLiteral("Keys"));
    TVirtualMIDI driver(service);
    TRecordingReceiver receiver;
    std::atomic<bool> stop{false};
    std::thread feeder([&] {
        while (!stop.load()) {
            service.inject(source, {bytes({0x90, 0x3C, 0x40}), bytes({0xF0, 0x01, 0x02, 0xF7})});
            service.waitIdle(); // keeps the queue short
        }
    });
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(driver.openInput(1, &receiver));
        driver.closeInput();
    }
    stop.store(true);
    feeder.join();
    ASSERT_TRUE(service.waitIdle());
    for (const TSeenEvent& event : receiver.events())
        EXPECT_TRUE(event.type == MPEVENT_NOTEON || event.type == MPEVENT_SYSEX);
}

} // namespace
