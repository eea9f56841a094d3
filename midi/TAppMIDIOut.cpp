#include "TAppMIDIOut.h"

#include "TMIDITransport.h"

#include <climits>
#include <utility>

namespace {

constexpr std::uint32_t kNoteOffStatus = 0x80;
constexpr std::uint32_t kNoteOnStatus = 0x90;
constexpr std::uint32_t kPolyPressureStatus = 0xA0;
constexpr std::uint32_t kControlStatus = 0xB0;
constexpr std::uint32_t kProgramStatus = 0xC0;
constexpr std::uint32_t kChannelPressureStatus = 0xD0;
constexpr std::uint32_t kPitchBendStatus = 0xE0;
constexpr std::uint32_t kSysExStatus = 0xF0;
constexpr std::uint32_t kSysExContStatus = 0xF7;

// A byte with bit 7 set in a data position would reach the device as a status byte and
// garble this message and the ones after it.
bool isDataByte(std::uint32_t value)
{
    return value < 0x80;
}

bool dataBytesValid(const tagMPEVENT& event, int count)
{
    for (int i = 0; i < count; ++i) {
        if (!isDataByte(event.data.bytes[i]))
            return false;
    }
    return true;
}

struct TChannelMessage
{
    std::uint32_t type;
    std::uint32_t status;
    int dataBytes;
};

constexpr TChannelMessage kChannelMessages[] = {
    {MPEVENT_NOTEOFF, kNoteOffStatus, 2},
    {MPEVENT_NOTEON, kNoteOnStatus, 2},
    {MPEVENT_POLYPRESSURE, kPolyPressureStatus, 2},
    {MPEVENT_CONTROL, kControlStatus, 2},
    {MPEVENT_PROGRAM, kProgramStatus, 1},
    {MPEVENT_CHANPRESSURE, kChannelPressureStatus, 1},
    {MPEVENT_PITCHBEND, kPitchBendStatus, 2},
};

// Controller numbers of the four-message parameter sequences.
constexpr std::uint32_t kNrpnControllers[4] = {99, 98, 6, 38};
constexpr std::uint32_t kRpnControllers[4] = {101, 100, 6, 38};
constexpr std::uint32_t kBankMsbController = 0;
constexpr std::uint32_t kBankLsbController = 32;

} // namespace

TAppMIDIOut::TAppMIDIOut() = default;

TAppMIDIOut::TAppMIDIOut(TAppMIDITransportSource::EndpointFactory factory)
    : m_factory(std::move(factory))
{
}

TAppMIDIOut::~TAppMIDIOut()
{
    delete m_transport;
}

bool TAppMIDIOut::openPort(std::uint32_t port)
{
    delete m_transport; // a second open replaces the driver
    m_transport = TAppMIDITransportSource::create(m_factory);
    if (!m_transport)
        return false;
    if (port > static_cast<std::uint32_t>(INT_MAX))
        return false; // no platform index is that large
    return m_transport->openOutput(static_cast<int>(port));
}

bool TAppMIDIOut::midiOut(std::uint32_t channel, std::uint32_t status, std::uint32_t data1,
                          std::uint32_t data2, int count)
{
    if (!m_transport || count < 0 || count > 2)
        return false;
    if ((count >= 1 && !isDataByte(data1)) || (count == 2 && !isDataByte(data2)))
        return false;
    unsigned char bytes[2] = {static_cast<unsigned char>(data1), static_cast<unsigned char>(data2)};
    const unsigned long statusByte = (status & 0xF0) | (channel & 0x0F);
    return m_transport->outputData(count, bytes, statusByte);
}

HRESULT TAppMIDIOut::midiOut(const tagMPEVENT& event)
{
    if (!m_transport)
        return E_FAIL;

    const std::uint32_t type = event.type;
    const std::uint32_t channel = event.channel & 0x0F;

    if (type == MPEVENT_SYSEX || type == MPEVENT_SYSEXCONT) {
        if (event.length > static_cast<std::uint32_t>(INT_MAX) || (event.length != 0 && !event.data.ptr))
            return E_FAIL;
        const unsigned long status = type == MPEVENT_SYSEX ? kSysExStatus : kSysExContStatus;
        return m_transport->outputData(static_cast<int>(event.length), event.data.ptr, status)
            ? S_OK
            : E_FAIL;
    }
    if (MPEventIsSystem(type))
        return E_FAIL; // no other system kind can be sent

    for (const TChannelMessage& message : kChannelMessages) {
        if (message.type != type)
            continue;
        if (type == MPEVENT_NOTEON && event.length != 0)
            return E_FAIL;
        if (!dataBytesValid(event, message.dataBytes))
            return E_FAIL;
        unsigned char bytes[2] = {event.data.bytes[0], event.data.bytes[1]};
        return m_transport->outputData(message.dataBytes, bytes, message.status | channel) ? S_OK
                                                                                           : E_FAIL;
    }

    const std::uint8_t* d = event.data.bytes;
    switch (type) {
    case MPEVENT_NRPN:
    case MPEVENT_RPN: {
        // Checked whole first, so a bad byte never leaves half a parameter change behind.
        if (!dataBytesValid(event, 4))
            return E_FAIL;
        const std::uint32_t* controllers = type == MPEVENT_NRPN ? kNrpnControllers : kRpnControllers;
        for (int i = 0; i < 4; ++i) {
            if (!midiOut(channel, kControlStatus, controllers[i], d[i], 2))
                return E_FAIL;
        }
        return S_OK;
    }
    case MPEVENT_BANKPROGRAM:
        if (!dataBytesValid(event, 3))
            return E_FAIL;
        if (!midiOut(channel, kControlStatus, kBankMsbController, d[0], 2)
            || !midiOut(channel, kControlStatus, kBankLsbController, d[1], 2)
            || !midiOut(channel, kProgramStatus, d[2], 0, 1))
            return E_FAIL;
        return S_OK;
    default:
        return E_FAIL;
    }
}
