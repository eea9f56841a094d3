// The output endpoint: every row of the event-to-MIDI conversion, refusals, driver failures
// and opening.

#include "TAppMIDIOut.h"
#include "TAppMIDITransportSource.h"
#include "TEndpointTestSupport.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

// An endpoint opened on a recording driver.
struct TOpenOutput
{
    TFakeDriver* driver = nullptr;
    TAppMIDIOut endpoint{[this] { return driver = new TFakeDriver; }};

    TOpenOutput() { EXPECT_TRUE(endpoint.openPort(4)); }
};

tagMPEVENT sysExEvent(std::uint32_t type, Bytes& body)
{
    tagMPEVENT e{};
    e.type = type;
    e.length = static_cast<std::uint32_t>(body.size());
    e.data.ptr = body.data();
    return e;
}

struct TConversionCase
{
    std::string name;
    tagMPEVENT event;
    HRESULT result;
    std::vector<Bytes> sent; // one entry per driver send
};

// Test listings show the row's name, not its bytes.
void PrintTo(const TConversionCase& c, std::ostream* os)
{
    *os << c.name;
}

class TAppMIDIOutConversion : public ::testing::TestWithParam<TConversionCase>
{
};

Bytes g_sysEx = {0x43, 0x10, 0xF7};
Bytes g_sysExCont = {0x01, 0x02, 0xF7};

tagMPEVENT withLength(tagMPEVENT e, std::uint32_t length)
{
    e.length = length;
    return e;
}

tagMPEVENT plain(std::uint32_t type)
{
    tagMPEVENT e{};
    e.type = type;
    return e;
}

const TConversionCase kCases[] = {
    // system exclusive: status, then the stored bytes as they stand
    {"SysEx", sysExEvent(MPEVENT_SYSEX, g_sysEx), S_OK, {{0xF0, 0x43, 0x10, 0xF7}}},
    {"SysExContinuation", sysExEvent(MPEVENT_SYSEXCONT, g_sysExCont), S_OK, {{0xF7, 0x01, 0x02, 0xF7}}},
    {"SysExEmptyBody", withLength(plain(MPEVENT_SYSEX), 0), S_OK, {{0xF0}}},
    {"SysExNullBytes", withLength(plain(MPEVENT_SYSEX), 5), E_FAIL, {}},
    // other system kinds are refused
    {"SystemKind0x40000", plain(0x40000), E_FAIL, {}},
    {"SystemKind0x200000", plain(0x200000), E_FAIL, {}},
    {"SysExAndContBoth", plain(MPEVENT_SYSEX | MPEVENT_SYSEXCONT), E_FAIL, {}},
    {"SysExWithChannelBit", plain(MPEVENT_SYSEX | MPEVENT_NOTEON), E_FAIL, {}},
    // channel messages: status + channel's low nibble, then the data bytes
    {"NoteOff", channelEvent(MPEVENT_NOTEOFF, 2, {0x3C, 0x00}), S_OK, {{0x82, 0x3C, 0x00}}},
    {"NoteOn", channelEvent(MPEVENT_NOTEON, 3, {0x3C, 0x40}), S_OK, {{0x93, 0x3C, 0x40}}},
    {"NoteOnWithLength", withLength(channelEvent(MPEVENT_NOTEON, 3, {0x3C, 0x40}), 1), E_FAIL, {}},
    {"PolyPressure", channelEvent(MPEVENT_POLYPRESSURE, 15, {0x30, 0x7F}), S_OK, {{0xAF, 0x30, 0x7F}}},
    {"ControlChange", channelEvent(MPEVENT_CONTROL, 0, {0x07, 0x64}), S_OK, {{0xB0, 0x07, 0x64}}},
    {"ProgramChange", channelEvent(MPEVENT_PROGRAM, 5, {0x07, 0x55}), S_OK, {{0xC5, 0x07}}},
    {"ChannelPressure", channelEvent(MPEVENT_CHANPRESSURE, 9, {0x11, 0x66}), S_OK, {{0xD9, 0x11}}},
    {"PitchBend", channelEvent(MPEVENT_PITCHBEND, 1, {0x00, 0x40}), S_OK, {{0xE1, 0x00, 0x40}}},
    {"ChannelHighBitsIgnored", channelEvent(MPEVENT_CONTROL, 0x1A3, {0x01, 0x02}), S_OK, {{0xB3, 0x01, 0x02}}},
    // parameter sequences
    {"NRPN", channelEvent(MPEVENT_NRPN, 9, {0x01, 0x02, 0x03, 0x04}), S_OK,
     {{0xB9, 99, 0x01}, {0xB9, 98, 0x02}, {0xB9, 6, 0x03}, {0xB9, 38, 0x04}}},
    {"RPN", channelEvent(MPEVENT_RPN, 0, {0x00, 0x07, 0x02, 0x00}), S_OK,
     {{0xB0, 0x65, 0x00}, {0xB0, 0x64, 0x07}, {0xB0, 0x06, 0x02}, {0xB0, 0x26, 0x00}}},
    {"BankSelectWithProgram", channelEvent(MPEVENT_BANKPROGRAM, 1, {0x01, 0x02, 0x05}), S_OK,
     {{0xB1, 0x00, 0x01}, {0xB1, 0x20, 0x02}, {0xC1, 0x05}}},
    // anything else is refused
    {"TypeZero", plain(0), E_FAIL, {}},
    {"TypeOne", plain(1), E_FAIL, {}},
    {"Type0x10", plain(0x10), E_FAIL, {}},
    {"Type0x1000", plain(0x1000), E_FAIL, {}},
    {"TwoChannelKinds", plain(MPEVENT_NOTEON | MPEVENT_NOTEOFF), E_FAIL, {}},
    // a data byte with bit 7 set would turn into a status byte on the wire
    {"NoteOnStatusInData", channelEvent(MPEVENT_NOTEON, 0, {0x3C, 0x90}), E_FAIL, {}},
    {"ProgramUnusedByteIgnored", channelEvent(MPEVENT_PROGRAM, 0, {0x01, 0xFF}), S_OK, {{0xC0, 0x01}}},
    {"NRPNStatusInLastByte", channelEvent(MPEVENT_NRPN, 0, {0x01, 0x02, 0x03, 0x80}), E_FAIL, {}},
    {"BankStatusInProgram", channelEvent(MPEVENT_BANKPROGRAM, 0, {0x01, 0x02, 0xC0}), E_FAIL, {}},
};

} // namespace

TEST_P(TAppMIDIOutConversion, SendsTheTableBytes)
{
    const TConversionCase& c = GetParam();
    TOpenOutput out;
    EXPECT_EQ(out.endpoint.midiOut(c.event), c.result);
    EXPECT_EQ(out.driver->sent(), c.sent);
}

INSTANTIATE_TEST_SUITE_P(Rows, TAppMIDIOutConversion, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.name; });

// A failing driver send is E_FAIL; a sequence stops at its first failed message.
TEST(TAppMIDIOut, DriverFailureStopsTheSequence)
{
    struct TFailCase
    {
        tagMPEVENT event;
        int failAt;
        size_t sentBefore;
    };
    const TFailCase cases[] = {
        {channelEvent(MPEVENT_NOTEON, 0, {0x3C, 0x40}), 0, 0},
        {channelEvent(MPEVENT_NRPN, 0, {1, 2, 3, 4}), 1, 1},
        {channelEvent(MPEVENT_RPN, 0, {1, 2, 3, 4}), 3, 3},
        {channelEvent(MPEVENT_BANKPROGRAM, 0, {1, 2, 3}), 2, 2},
    };
    Bytes body = {0x01, 0xF7};
    for (const TFailCase& c : cases) {
        TOpenOutput out;
        out.driver->setFailAtCall(c.failAt);
        EXPECT_EQ(out.endpoint.midiOut(c.event), E_FAIL) << "type " << c.event.type;
        EXPECT_EQ(out.driver->sent().size(), c.sentBefore) << "type " << c.event.type;
    }
    TOpenOutput out;
    out.driver->setFailAtCall(0);
    EXPECT_EQ(out.endpoint.midiOut(sysExEvent(MPEVENT_SYSEX, body)), E_FAIL);
}

TEST(TAppMIDIOut, RawMessageAddsTheChannelAndSendsCountBytes)
{
    TOpenOutput out;
    EXPECT_TRUE(out.endpoint.midiOut(0x2B, 0xB0, 0x07, 0x64, 2));
    EXPECT_TRUE(out.endpoint.midiOut(3, 0xC0, 0x05, 0x70, 1));
    EXPECT_TRUE(out.endpoint.midiOut(0, 0xF0, 0, 0, 0));
    EXPECT_FALSE(out.endpoint.midiOut(0, 0x90, 0x3C, 0x80, 2)); // status byte in a data position
    EXPECT_FALSE(out.endpoint.midiOut(0, 0x90, 0x3C, 0x40, 3)); // only two data bytes exist
    EXPECT_FALSE(out.endpoint.midiOut(0, 0x90, 0x3C, 0x40, -1));
    const std::vector<Bytes> expected = {{0xBB, 0x07, 0x64}, {0xC3, 0x05}, {0xF0}};
    EXPECT_EQ(out.driver->sent(), expected);
}

TEST(TAppMIDIOut, OpensThePortOnItsOwnDriver)
{
    TFakeDriver* driver = nullptr;
    TAppMIDIOut endpoint([&] { return driver = new TFakeDriver; });
    ASSERT_TRUE(endpoint.openPort(7));
    ASSERT_NE(driver, nullptr);
    EXPECT_EQ(endpoint.transport(), driver);
    EXPECT_EQ(driver->outputPort(), 7);
}

TEST(TAppMIDIOut, OpenFailsWithoutDriverOrWhenTheDriverRefuses)
{
    TAppMIDIOut noDriver([]() -> TMIDITransport* { return nullptr; });
    EXPECT_FALSE(noDriver.openPort(1));
    EXPECT_EQ(noDriver.midiOut(channelEvent(MPEVENT_NOTEON, 0, {0x3C, 0x40})), E_FAIL);
    EXPECT_FALSE(noDriver.midiOut(0, 0x90, 0x3C, 0x40, 2));

    TAppMIDIOut refused([] {
        auto* d = new TFakeDriver;
        d->setOpenResult(false);
        return d;
    });
    EXPECT_FALSE(refused.openPort(1));

    TAppMIDIOut tooLarge([] { return new TFakeDriver; });
    EXPECT_FALSE(tooLarge.openPort(0x80000000u));
}

TEST(TAppMIDIOut, NeverOpenedEndpointRefusesToSend)
{
    TAppMIDIOut endpoint([] { return new TFakeDriver; });
    EXPECT_EQ(endpoint.midiOut(channelEvent(MPEVENT_NOTEON, 0, {0x3C, 0x40})), E_FAIL);
}

// Without an endpoint factory the process-wide one is used; without that, nothing opens.
TEST(TAppMIDIOut, UsesTheProcessWideDriverFactory)
{
    TAppMIDITransportSource::setFactory(nullptr);
    TAppMIDIOut without;
    EXPECT_FALSE(without.openPort(1));

    TAppMIDITransportSource::setFactory([]() -> TMIDITransport* { return new TFakeDriver; });
    TAppMIDIOut with;
    EXPECT_TRUE(with.openPort(2));
    EXPECT_EQ(static_cast<TFakeDriver*>(with.transport())->outputPort(), 2);
    TAppMIDITransportSource::setFactory(nullptr);
}
