#pragma once
// Small general services shared by the whole program: document result codes,
// the assertion reporter, popup closing and a plain sleep.

#include <cstdint>

namespace NS_Utilities {

// Results of the document operations. Same values as the SDK's E_ABORT / E_FAIL,
// kept here so the kernel does not depend on the SDK headers.
constexpr int kDocOk = 0;
constexpr int kDocAbort = static_cast<int>(0x80000007u); // the user cancelled or declined
constexpr int kDocFail = static_cast<int>(0x80000008u);  // no file name, or the file cannot be written

// Source name used by the kernel's own assertion reports.
constexpr const char* kUtilitiesSource = "../KernelLayer/Utilities";

// Reports a violated precondition as a Qt warning
// "ASSERT: \"<cond>\" in <source> (<line>)"; execution goes on.
void reportAssert(const char* cond, const char* source, int line);

// Closes the active popup widget (an open menu), if any.
// True when no popup widget is active afterwards.
bool cancelPopupWidgets();

// Sleeps the calling thread for `ms` milliseconds without processing events.
void milisecondDelay(long ms);

} // namespace NS_Utilities

// Reports `cond` (as written) when it is false; never stops the program.
#define MW_ASSERT(cond, source)                                                                   \
    do {                                                                                          \
        if (!(cond))                                                                              \
            ::NS_Utilities::reportAssert(#cond, (source), __LINE__);                              \
    } while (0)

// Same, with the reported condition text given explicitly (for texts that differ
// from the expression, e.g. spacing kept from older reports).
#define MW_ASSERT_TEXT(cond, text, source)                                                        \
    do {                                                                                          \
        if (!(cond))                                                                              \
            ::NS_Utilities::reportAssert((text), (source), __LINE__);                             \
    } while (0)
