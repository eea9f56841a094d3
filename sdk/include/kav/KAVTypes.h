// KAV plug-in SDK: basic types, result codes and identifiers.
//
// Everything that crosses a component boundary is defined here or in KAVRecords.h and
// KAVInterfaces.h. Only the C++ standard library is used, so plug-ins need nothing else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// --- basic types ---------------------------------------------------------------------

// An interface, class, factory or message identifier: 16 bytes in the order in which the
// canonical text form writes them (the first byte is the first two hex digits).
struct CFUUIDBytes {
    std::uint8_t bytes[16];

    friend constexpr bool operator==(const CFUUIDBytes&, const CFUUIDBytes&) = default;
};
static_assert(sizeof(CFUUIDBytes) == 16 && alignof(CFUUIDBytes) == 1, "CFUUIDBytes is 16 plain bytes");

using HRESULT = std::int32_t;
using LARGE_INTEGER = std::int64_t;
using ULARGE_INTEGER = std::uint64_t;

// --- result codes ----------------------------------------------------------------------

namespace NS_KAV::detail {
// Result codes are written as their unsigned hex form; C++20 makes the conversion exact.
constexpr HRESULT code(std::uint32_t value) { return static_cast<HRESULT>(value); }
} // namespace NS_KAV::detail

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = NS_KAV::detail::code(0x80000001u);
inline constexpr HRESULT E_OUTOFMEMORY = NS_KAV::detail::code(0x80000002u);
inline constexpr HRESULT E_INVALIDARG = NS_KAV::detail::code(0x80000003u);
inline constexpr HRESULT E_NOINTERFACE = NS_KAV::detail::code(0x80000004u);
inline constexpr HRESULT E_POINTER = NS_KAV::detail::code(0x80000005u);
inline constexpr HRESULT E_ABORT = NS_KAV::detail::code(0x80000007u);
inline constexpr HRESULT E_FAIL = NS_KAV::detail::code(0x80000008u);
inline constexpr HRESULT E_UNEXPECTED = NS_KAV::detail::code(0x8000FFFFu);
// A time format that IMPTimeInfo does not support.
inline constexpr HRESULT MP_E_TIMEFORMAT = NS_KAV::detail::code(0x80001100u);
// IStream::CopyTo with a null target stream.
inline constexpr HRESULT STG_E_INVALIDPOINTER = NS_KAV::detail::code(0x80030009u);
// Positive (non-failure) answers of the connection-point container and points.
inline constexpr HRESULT MP_S_NOCONNECTIONPOINT = 1965; // FindConnectionPoint: no such point
inline constexpr HRESULT MP_S_CANNOTCONNECT = 1976;     // Advise: sink lacks the interface
// A synchronization ended by the user (plain value, not a failure code).
inline constexpr HRESULT MP_SYNC_CANCELLED = 1223;

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// --- identifiers ---------------------------------------------------------------------

namespace NS_KAV {

namespace detail {
constexpr int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace detail

// Parses "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" (either case, optionally in braces).
// Returns false and leaves `out` untouched when the text is not an identifier.
constexpr bool parseUuid(std::string_view text, CFUUIDBytes& out)
{
    if (text.size() == 38 && text.front() == '{' && text.back() == '}')
        text = text.substr(1, 36);
    if (text.size() != 36)
        return false;
    CFUUIDBytes result{};
    std::size_t byte = 0;
    for (std::size_t i = 0; i < 36;) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-')
                return false;
            ++i;
            continue;
        }
        const int hi = detail::hexDigit(text[i]);
        const int lo = detail::hexDigit(text[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        result.bytes[byte++] = static_cast<std::uint8_t>(hi * 16 + lo);
        i += 2;
    }
    out = result;
    return true;
}

// Compile-time identifier from its text form; a malformed text does not compile.
consteval CFUUIDBytes uuid(const char (&text)[37])
{
    CFUUIDBytes result{};
    if (!parseUuid(std::string_view(text, 36), result))
        throw "malformed identifier text";
    return result;
}

// Canonical upper-case text form, as used in Info.json and traces.
inline std::string uuidToText(const CFUUIDBytes& id)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text.push_back('-');
        text.push_back(digits[id.bytes[i] >> 4]);
        text.push_back(digits[id.bytes[i] & 0x0F]);
    }
    return text;
}

} // namespace NS_KAV

constexpr bool IsEqualIID(const CFUUIDBytes& a, const CFUUIDBytes& b) { return a == b; }

inline constexpr CFUUIDBytes IID_IUnknown = NS_KAV::uuid("00000000-0000-0000-C000-000000000046");
inline constexpr CFUUIDBytes IID_IMPInitialise = NS_KAV::uuid("0958ECA1-6709-4267-9696-33D56FEC4F6A");
inline constexpr CFUUIDBytes IID_IMPTimeInfo = NS_KAV::uuid("0958ECA2-6709-4267-9696-33D56FEC4F6A");
inline constexpr CFUUIDBytes IID_IMPEventFilter = NS_KAV::uuid("0958ECA3-6709-4267-9696-33D56FEC4F6A");
inline constexpr CFUUIDBytes IID_IMPEventQueue = NS_KAV::uuid("0958ECA5-6709-4267-9696-33D56FEC4F6A");
// Advisable sink interface without a name: the host only offers a connection point for it.
inline constexpr CFUUIDBytes IID_IMPAdvisable = NS_KAV::uuid("0958ECA6-6709-4267-9696-33D56FEC4F6A");
inline constexpr CFUUIDBytes IID_IMPAsyncOutput = NS_KAV::uuid("0958ECA7-6709-4267-9696-33D56FEC4F6A");
inline constexpr CFUUIDBytes IID_IMPClientServices = NS_KAV::uuid("0958ECA9-6709-4267-9696-33D56FEC4F6A");
inline constexpr CFUUIDBytes IID_IMPClientInfo = NS_KAV::uuid("0958ECAA-6709-4267-9696-33D56FEC4F6A");
inline constexpr CFUUIDBytes IID_IMPNotificationSink = NS_KAV::uuid("0958ECAB-6709-4267-9696-33D56FEC4F6A");
inline constexpr CFUUIDBytes IID_IMPClientServices2 = NS_KAV::uuid("D2CB5842-C52D-421A-8547-F5CB3AEB2E6C");
inline constexpr CFUUIDBytes IID_IMPQTBasedHost = NS_KAV::uuid("ED160025-EE78-4BA1-ADDF-854E883CBE39");
inline constexpr CFUUIDBytes IID_IStream = NS_KAV::uuid("0000000C-0000-0000-C000-000000000046");
inline constexpr CFUUIDBytes IID_IPersistStream = NS_KAV::uuid("00000109-0000-0000-C000-000000000046");
inline constexpr CFUUIDBytes IID_IConnectionPointContainer = NS_KAV::uuid("B196B284-BAB4-101A-B69C-00AA00341D07");
inline constexpr CFUUIDBytes IID_IEnumConnectionPoints = NS_KAV::uuid("B196B285-BAB4-101A-B69C-00AA00341D07");
inline constexpr CFUUIDBytes IID_IConnectionPoint = NS_KAV::uuid("B196B286-BAB4-101A-B69C-00AA00341D07");
inline constexpr CFUUIDBytes IID_IEnumConnections = NS_KAV::uuid("B196B287-BAB4-101A-B69C-00AA00341D07");
inline constexpr CFUUIDBytes IID_ISpecifyPropertyPages = NS_KAV::uuid("B196B28B-BAB4-101A-B69C-00AA00341D07");
inline constexpr CFUUIDBytes IID_IPropertyPage = NS_KAV::uuid("B196B28D-BAB4-101A-B69C-00AA00341D07");
// IMPTotalRecall is answered under two identifiers; hosts ask for the current one first.
inline constexpr CFUUIDBytes IID_IMPTotalRecall = NS_KAV::uuid("FF804522-7B40-44D4-8C42-BEB656A28101");
inline constexpr CFUUIDBytes IID_IMPTotalRecallEarlier = NS_KAV::uuid("1FF33C6F-56BD-4997-9CCC-37FF78F59E43");
inline constexpr CFUUIDBytes IID_IMPInstanceSetup = NS_KAV::uuid("814B47E3-F1BF-4F0B-BFA4-2F52C04383B7");
inline constexpr CFUUIDBytes IID_IMW2Comp = NS_KAV::uuid("3CB557CD-CCF3-48B7-9B8C-2397EC9EB5A8");
inline constexpr CFUUIDBytes IID_IMW2CompClient = NS_KAV::uuid("AAC236A2-10E0-41EF-B930-2015C1334AF9");

// Message identifier of tagMPMSG sent after the Workspace port selection changed.
inline constexpr CFUUIDBytes MSGID_MPPortsChanged = NS_KAV::uuid("9DD48DE6-9F3F-4E80-BCB5-4482A5B5240A");

// --- exporting a factory function ----------------------------------------------------

// Marks a plug-in's factory function: unmangled and visible even with -fvisibility=hidden.
#define KAV_EXPORT extern "C" __attribute__((visibility("default")))

// Signature of a bundle's factory function: returns an IUnknown* holding one reference.
using KAVFactoryFunction = void* (*)(void* allocator, const CFUUIDBytes* typeID);
