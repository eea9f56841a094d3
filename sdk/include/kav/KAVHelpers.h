// KAV plug-in SDK: helpers for strings, reference counts and traces.
#pragma once

#include <kav/KAVTypes.h>

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

// --- strings across interfaces ---------------------------------------------------------
//
// Strings handed across an interface are zero-terminated UTF-16, allocated with malloc by the
// side that hands them over and released with free by the receiver.

// Number of units before the terminator; 0 for null.
inline std::size_t OLEStringLength(const char16_t* text)
{
    std::size_t n = 0;
    if (text)
        while (text[n] != 0)
            ++n;
    return n;
}

namespace NS_KAV::detail {
inline char16_t* copyUnits(const char16_t* units, std::size_t count)
{
    // count + 1 must not wrap when multiplied by the unit size.
    if (count >= (SIZE_MAX / sizeof(char16_t)) - 1)
        return nullptr;
    auto* copy = static_cast<char16_t*>(std::malloc((count + 1) * sizeof(char16_t)));
    if (!copy)
        return nullptr;
    if (count)
        std::memcpy(copy, units, count * sizeof(char16_t));
    copy[count] = 0;
    return copy;
}
} // namespace NS_KAV::detail

// A new malloc'ed copy of `text` up to its terminator; null gives an empty string. Returns
// null only when the allocation fails.
inline char16_t* CreateOLEString(const char16_t* text)
{
    return NS_KAV::detail::copyUnits(text, OLEStringLength(text));
}

// A new malloc'ed copy of all units of `text` (embedded 0 units included) plus a terminator.
inline char16_t* CreateOLEString(std::u16string_view text)
{
    return NS_KAV::detail::copyUnits(text.data(), text.size());
}

// The same for any string class with utf16() and size(), such as QString, so that this
// header needs no Qt: the length comes from the string, not from a terminator.
template <class S>
    requires requires(const S& s) {
        s.utf16();
        s.size();
    }
inline char16_t* CreateOLEString(const S& text)
{
    static_assert(sizeof(*text.utf16()) == sizeof(char16_t), "needs 16-bit units");
    return NS_KAV::detail::copyUnits(reinterpret_cast<const char16_t*>(text.utf16()),
                                     static_cast<std::size_t>(text.size()));
}

// Same operation as CreateOLEString(QString); kept as a separate name for the MIDI transport.
template <class S>
    requires requires(const S& s) {
        s.utf16();
        s.size();
    }
inline char16_t* PrivateCreateOLEString(const S& text)
{
    return CreateOLEString(text);
}

// --- reference counts ------------------------------------------------------------------

// Atomically adds `value` to `*addend` and returns the NEW value.
inline std::int32_t InterlockedExchangeAdd(std::int32_t* addend, std::int32_t value)
{
    return __atomic_add_fetch(addend, value, __ATOMIC_ACQ_REL);
}

inline std::uint32_t InterlockedExchangeAdd(std::uint32_t* addend, std::int32_t value)
{
    // Unsigned arithmetic wraps, so adding the two's complement of a negative value subtracts.
    return __atomic_add_fetch(addend, static_cast<std::uint32_t>(value), __ATOMIC_ACQ_REL);
}

// --- trace sink --------------------------------------------------------------------------

namespace NS_KAV {

// Receives each formatted trace text when installed; by default traces are discarded.
using TraceHook = void (*)(const char* text);

inline std::atomic<TraceHook>& traceHookSlot()
{
    static std::atomic<TraceHook> slot{nullptr};
    return slot;
}

// Installs `hook` (null to discard again) and returns the previous one.
inline TraceHook setTraceHook(TraceHook hook) { return traceHookSlot().exchange(hook); }

} // namespace NS_KAV

// The trace sink: printf-style; writes nothing unless a trace hook is installed.
__attribute__((format(printf, 1, 2))) inline void COMPRINTF(const char* format, ...)
{
    const NS_KAV::TraceHook hook = NS_KAV::traceHookSlot().load(std::memory_order_acquire);
    if (!hook || !format)
        return;
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int needed = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (needed >= 0) {
        std::vector<char> text(static_cast<std::size_t>(needed) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        hook(text.data());
    }
    va_end(again);
}
