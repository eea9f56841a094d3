// KAV plug-in SDK: records and enumerations that cross component interfaces.
//
// Field order and widths are part of the binary contract with components; every layout is
// pinned below for x86-64 Linux (LP64). Records are plain data: copy them whole, and set
// bytes that you do not use to 0 (value-initialise with `{}`).
#pragma once

#include <kav/KAVTypes.h>

#include <cstddef>
#include <cstdint>

struct IUnknown;

// --- enumerations (all 32-bit) --------------------------------------------------------

enum _MPINITIALISE_MODE : std::int32_t {
    MPINIT_NORMAL = 1 // the only mode a host passes to MPConnect
};

enum _MPTIME_FORMAT : std::int32_t {
    MPTF_NONE = 0, // accepted only as a conversion target
    MPTF_FORMAT1 = 1, // time data value 1
    MPTF_FORMAT2 = 2, // time data value 960
    MPTF_FORMAT3 = 3
};

enum _MPASYNC_MODE : std::int32_t {
    MPASYNC_DEFERRED = 0, // accepted, nothing is sent
    MPASYNC_SENDNOW = 0x1 // bit 0: send the event now
};

// Not interpreted by the host (it offers no audio port configuration).
enum _MPAUDIOSTATE : std::int32_t {
    MPAUDIO_DEFAULT = 0
};

// Operations of IMPClientServices2::MPAdvisePortName.
enum EIMPPortUsageOp : std::int32_t {
    eMPPortUsageRemove = 0,
    eMPPortUsageAdd = 1,
    eMPPortUsageRename = 2,
    eMPPortUsageMove = 3
};

// Requests of IMW2CompClient::MPPageManage (value 3 is not used).
enum MW2CEW_OP : std::int32_t {
    MW2CEW_OPEN = 0,
    MW2CEW_SHOW = 1,
    MW2CEW_CLOSE = 2,
    MW2CEW_GETINFO = 4
};

// --- event kinds (tagMPEVENT::type), one bit per kind ---------------------------------

inline constexpr std::uint32_t MPEVENT_NRPN = 0x2;
inline constexpr std::uint32_t MPEVENT_RPN = 0x4;
inline constexpr std::uint32_t MPEVENT_BANKPROGRAM = 0x8; // bank select with program change
inline constexpr std::uint32_t MPEVENT_NOTEOFF = 0x20;
inline constexpr std::uint32_t MPEVENT_NOTEON = 0x40;
inline constexpr std::uint32_t MPEVENT_POLYPRESSURE = 0x80;
inline constexpr std::uint32_t MPEVENT_CONTROL = 0x100;
inline constexpr std::uint32_t MPEVENT_PROGRAM = 0x200;
inline constexpr std::uint32_t MPEVENT_CHANPRESSURE = 0x400;
inline constexpr std::uint32_t MPEVENT_PITCHBEND = 0x800;
inline constexpr std::uint32_t MPEVENT_SYSEX = 0x10000;     // status 0xF0
inline constexpr std::uint32_t MPEVENT_SYSEXCONT = 0x20000; // status 0xF7
inline constexpr std::uint32_t MPEVENT_MASK_SYSTEM = 0x3F0000;
inline constexpr std::uint32_t MPEVENT_MASK_ALL = 0x3F0FFF;

constexpr bool MPEventIsSystem(std::uint32_t type) { return (type & MPEVENT_MASK_SYSTEM) != 0; }

// tagMPQSTATUS::flags as set by the host; a receiver that finds it clear ignores the call.
inline constexpr std::uint32_t MPQSTATUS_FLAG_VALID = 0x40;

// --- records ---------------------------------------------------------------------------

// One MIDI event (56 bytes).
struct tagMPEVENT {
    std::uint32_t type;            // MPEVENT_* bit
    std::uint32_t reserved1[2];    // 0 in events from MIDI ports
    std::uint32_t port;            // port number the event came from or goes to
    std::uint32_t channel;         // MIDI channel in the low 4 bits
    std::uint32_t id2;             // second identifier (event queue's second filter)
    std::uint64_t eventNumber;     // stamped by the host on receipt
    std::uint32_t eventNumberKind; // 1 whenever eventNumber is stamped
    std::uint32_t length;          // system kinds: bytes at data.ptr; 0 for channel kinds
    union {
        std::uint8_t bytes[4];     // channel kinds: up to four data bytes in order
        std::uint8_t* ptr;         // system kinds: message bytes without the status byte
    } data;
    std::uint8_t reserved2[8];     // 0
};
static_assert(sizeof(tagMPEVENT) == 56);
static_assert(offsetof(tagMPEVENT, type) == 0);
static_assert(offsetof(tagMPEVENT, reserved1) == 4);
static_assert(offsetof(tagMPEVENT, port) == 12);
static_assert(offsetof(tagMPEVENT, channel) == 16);
static_assert(offsetof(tagMPEVENT, id2) == 20);
static_assert(offsetof(tagMPEVENT, eventNumber) == 24);
static_assert(offsetof(tagMPEVENT, eventNumberKind) == 32);
static_assert(offsetof(tagMPEVENT, length) == 36);
static_assert(offsetof(tagMPEVENT, data) == 40);
static_assert(sizeof(tagMPEVENT::data) == 8);
static_assert(offsetof(tagMPEVENT, reserved2) == 48);

// Passed to IMPEventFilter::MPOnEvents (32 bytes).
struct tagMPQSTATUS {
    std::uint64_t firstEventNumber;
    std::uint64_t endEventNumber; // first + 1
    std::uint32_t eventCount;     // 1
    std::uint32_t zero;           // 0
    std::uint32_t flags;          // MPQSTATUS_FLAG_VALID from a host
    std::uint32_t reserved;
};
static_assert(sizeof(tagMPQSTATUS) == 32);
static_assert(offsetof(tagMPQSTATUS, firstEventNumber) == 0);
static_assert(offsetof(tagMPQSTATUS, endEventNumber) == 8);
static_assert(offsetof(tagMPQSTATUS, eventCount) == 16);
static_assert(offsetof(tagMPQSTATUS, zero) == 20);
static_assert(offsetof(tagMPQSTATUS, flags) == 24);
static_assert(offsetof(tagMPQSTATUS, reserved) == 28);

// A list of 32-bit values; a non-zero count with null ids is invalid.
struct tagMPIDLIST {
    std::uint32_t count;
    std::uint32_t* ids;
};
static_assert(sizeof(tagMPIDLIST) == 16);
static_assert(offsetof(tagMPIDLIST, count) == 0);
static_assert(offsetof(tagMPIDLIST, ids) == 8);

// One port of tagMPPORTDATA.
struct tagMPPORT {
    std::uint32_t port;   // the value events of this port carry in tagMPEVENT::port
    CFUUIDBytes identity; // the port's identity, bytes in text order
    char16_t* name;       // CreateOLEString; freed by the receiver
};
static_assert(sizeof(tagMPPORT) == 32);
static_assert(offsetof(tagMPPORT, port) == 0);
static_assert(offsetof(tagMPPORT, identity) == 4);
static_assert(offsetof(tagMPPORT, name) == 24);

// Port list: the receiver frees every name and then the array with free().
struct tagMPPORTDATA {
    std::uint32_t count;
    tagMPPORT* ports; // malloc'ed by whoever fills the record
};
static_assert(sizeof(tagMPPORTDATA) == 16);
static_assert(offsetof(tagMPPORTDATA, count) == 0);
static_assert(offsetof(tagMPPORTDATA, ports) == 8);

// Notification message (72 bytes).
struct tagMPMSG {
    CFUUIDBytes id;              // e.g. MSGID_MPPortsChanged
    std::uint8_t parameters[56]; // all 0 for the ports-changed message
};
static_assert(sizeof(tagMPMSG) == 72);
static_assert(offsetof(tagMPMSG, id) == 0);
static_assert(offsetof(tagMPMSG, parameters) == 16);

struct tagRECT {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};
static_assert(sizeof(tagRECT) == 16);
static_assert(offsetof(tagRECT, left) == 0);
static_assert(offsetof(tagRECT, top) == 4);
static_assert(offsetof(tagRECT, right) == 8);
static_assert(offsetof(tagRECT, bottom) == 12);

// Page information; the strings belong to the caller after the call (free()).
struct tagPROPPAGEINFO {
    std::uint32_t cb; // sizeof(tagPROPPAGEINFO)
    char16_t* title;
    std::int32_t width;
    std::int32_t height;
    char16_t* description;
    char16_t* helpFile;
    std::uint32_t helpContext;
};
static_assert(sizeof(tagPROPPAGEINFO) == 48);
static_assert(offsetof(tagPROPPAGEINFO, cb) == 0);
static_assert(offsetof(tagPROPPAGEINFO, title) == 8);
static_assert(offsetof(tagPROPPAGEINFO, width) == 16);
static_assert(offsetof(tagPROPPAGEINFO, height) == 20);
static_assert(offsetof(tagPROPPAGEINFO, description) == 24);
static_assert(offsetof(tagPROPPAGEINFO, helpFile) == 32);
static_assert(offsetof(tagPROPPAGEINFO, helpContext) == 40);

// Counted identifier array; malloc'ed by the callee, freed by the caller.
struct tagCAUUID {
    std::uint32_t count;
    CFUUIDBytes* elems;
};
static_assert(sizeof(tagCAUUID) == 16);
static_assert(offsetof(tagCAUUID, count) == 0);
static_assert(offsetof(tagCAUUID, elems) == 8);

// One connection of a connection point; pUnk is a counted reference for the receiver.
struct CONNECTDATA {
    IUnknown* pUnk;
    std::uint32_t dwCookie;
};
static_assert(sizeof(CONNECTDATA) == 16);
static_assert(offsetof(CONNECTDATA, pUnk) == 0);
static_assert(offsetof(CONNECTDATA, dwCookie) == 8);

// Outer-host window information of an editor: opaque bytes, malloc'ed, freed by the receiver.
struct tagMWWINIFO {
    std::uint32_t size; // 0 = none
    std::uint8_t* data;
};
static_assert(sizeof(tagMWWINIFO) == 16);
static_assert(offsetof(tagMWWINIFO, size) == 0);
static_assert(offsetof(tagMWWINIFO, data) == 8);

// Storage statistics: never filled by the host, so only declared.
struct tagSTATSTG;

// --- key events handed to IPropertyPage::TranslateAccelerator ---------------------------

// Builds a four-character event class code ('keyb', 'text') without multi-character literals.
constexpr std::uint32_t MPFourCC(char a, char b, char c, char d)
{
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24)
        | (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16)
        | (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8)
        | static_cast<std::uint32_t>(static_cast<unsigned char>(d));
}

inline constexpr std::uint32_t MPKEY_CLASS_KEYBOARD = MPFourCC('k', 'e', 'y', 'b');
inline constexpr std::uint32_t MPKEY_CLASS_TEXT = MPFourCC('t', 'e', 'x', 't');
inline constexpr std::uint32_t MPKEY_KIND_RAWKEYDOWN = 1;   // keyboard class
inline constexpr std::uint32_t MPKEY_KIND_RAWKEYREPEAT = 2; // keyboard class
inline constexpr std::uint32_t MPKEY_KIND_RAWKEYUP = 3;     // keyboard class
inline constexpr std::uint32_t MPKEY_KIND_TEXTFORKEY = 2;   // text class: carries rawKeyEvent

// Modifier bits of tagMPKEYEVENT::modifiers.
inline constexpr std::uint32_t MPKEY_MOD_COMMAND = 0x0100;
inline constexpr std::uint32_t MPKEY_MOD_SHIFT = 0x0200;
inline constexpr std::uint32_t MPKEY_MOD_OPTION = 0x0800;
inline constexpr std::uint32_t MPKEY_MOD_CONTROL = 0x1000;
inline constexpr std::uint32_t MPKEY_MOD_RIGHTSHIFT = 0x2000;
inline constexpr std::uint32_t MPKEY_MOD_RIGHTOPTION = 0x4000;
inline constexpr std::uint32_t MPKEY_MOD_RIGHTCONTROL = 0x8000;
inline constexpr std::uint32_t MPKEY_MOD_NUMLOCK = 0x10000;

// A key event as an outer host offers it: the message argument of TranslateAccelerator is a
// pointer to a `tagMPKEYEVENT*`.
struct tagMPKEYEVENT {
    std::uint32_t eventClass;   // MPKEY_CLASS_*
    std::uint32_t eventKind;    // MPKEY_KIND_*
    std::uint8_t charCode;      // character code of the key
    std::uint8_t reserved1[3];
    std::uint32_t keyCode;      // virtual key code
    std::uint32_t modifiers;    // MPKEY_MOD_* bits
    std::uint32_t reserved2;
    const tagMPKEYEVENT* rawKeyEvent; // text class: the keyboard event it carries, else null
};
static_assert(sizeof(tagMPKEYEVENT) == 32);
static_assert(offsetof(tagMPKEYEVENT, eventClass) == 0);
static_assert(offsetof(tagMPKEYEVENT, eventKind) == 4);
static_assert(offsetof(tagMPKEYEVENT, charCode) == 8);
static_assert(offsetof(tagMPKEYEVENT, keyCode) == 12);
static_assert(offsetof(tagMPKEYEVENT, modifiers) == 16);
static_assert(offsetof(tagMPKEYEVENT, rawKeyEvent) == 24);
