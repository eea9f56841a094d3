#pragma once
// Precondition reports of the MIDI layer: a Qt warning in the program-wide form
// "ASSERT: \"<cond>\" in <source> (<line>)"; execution goes on.

#include <QtGlobal>

namespace NS_Utilities {

inline void reportMidiAssert(const char* cond, const char* source, int line)
{
    qWarning("ASSERT: \"%s\" in %s (%d)", cond, source, line);
}

} // namespace NS_Utilities

// Reports `text` when `cond` is false. The texts are fixed (users and tests match them),
// so they are given explicitly rather than taken from the expression.
#define MW_MIDI_ASSERT(cond, text, source)                                                        \
    do {                                                                                          \
        if (!(cond))                                                                              \
            ::NS_Utilities::reportMidiAssert((text), (source), __LINE__);                         \
    } while (0)
