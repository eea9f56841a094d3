// Both endpoints on the in-process virtual MIDI service: what the output endpoint sends to a
// loopback comes back through the input endpoint to the components, stamped.

#include "TAppMIDIEventCounter.h"
#include "TAppMIDIIn.h"
#include "TAppMIDIOut.h"
#include "TEndpointTestSupport.h"
#include "TVirtualMIDI.h"
#include "TVirtualMIDIService.h"

#include <gtest/gtest.h>

TEST(TAppMIDIEndpointsOnVirtualService, LoopbackRoundTrip)
{
    TVirtualMIDIService service;
    service.addLoopback(QStringLiteral("Loop"));
    auto driver = [&service]() -> TMIDITransport* { return new TVirtualMIDI(service); };
    TAppMIDIOut out(driver);
    TAppMIDIIn in(driver);
    TRecordingFilter filter;
    in.attachEventFilter(&filter);
    ASSERT_TRUE(out.openPort(1));
    ASSERT_TRUE(in.openPort(1));

    const std::uint64_t first = TAppMIDIEventCounter::current();
    EXPECT_EQ(out.midiOut(channelEvent(MPEVENT_RPN, 2, {0x00, 0x07, 0x02, 0x00})), S_OK);
    EXPECT_EQ(out.midiOut(channelEvent(MPEVENT_BANKPROGRAM, 2, {0x01, 0x02, 0x05})), S_OK);
    Bytes body = {0x43, 0x10, 0x01, 0xF7};
    tagMPEVENT sysEx{};
    sysEx.type = MPEVENT_SYSEX;
    sysEx.length = static_cast<std::uint32_t>(body.size());
    sysEx.data.ptr = body.data();
    EXPECT_EQ(out.midiOut(sysEx), S_OK);

    ASSERT_TRUE(filter.waitCalls(8));
    const auto calls = filter.calls();
    ASSERT_EQ(calls.size(), 8u);
    const std::uint8_t expected[7][2] = {{0x65, 0x00}, {0x64, 0x07}, {0x06, 0x02}, {0x26, 0x00},
                                         {0x00, 0x01}, {0x20, 0x02}, {0x05, 0x00}};
    for (size_t i = 0; i < calls.size(); ++i) {
        const tagMPEVENT& e = calls[i].event;
        EXPECT_EQ(e.eventNumber, first + i);
        EXPECT_EQ(e.port, 1u);
        if (i == 7)
            break;
        EXPECT_EQ(e.type, i == 6 ? MPEVENT_PROGRAM : MPEVENT_CONTROL) << i;
        EXPECT_EQ(e.channel, 2u) << i;
        EXPECT_EQ(e.data.bytes[0], expected[i][0]) << i;
        EXPECT_EQ(e.data.bytes[1], expected[i][1]) << i;
    }
    EXPECT_EQ(calls[7].event.type, MPEVENT_SYSEX);
    EXPECT_EQ(calls[7].sysEx, body);
}
