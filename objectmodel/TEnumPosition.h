#pragma once
// Position arithmetic shared by the two connection enumerators.

#include <kav/KAVTypes.h>

#include <cstdint>
#include <limits>

namespace NS_EnumPosition {

// Position after moving on by `count`; stays at the largest value instead of wrapping
// back to the start of the list.
inline std::uint32_t advance(std::uint32_t position, std::uint32_t count)
{
    const std::uint32_t room = std::numeric_limits<std::uint32_t>::max() - position;
    return count > room ? std::numeric_limits<std::uint32_t>::max() : position + count;
}

// S_OK when every requested entry was delivered, S_FALSE when the list ran out first, so
// that callers looping on S_OK without a fetched count stop at the end.
inline HRESULT nextResult(std::uint32_t delivered, std::uint32_t requested)
{
    return delivered == requested ? S_OK : S_FALSE;
}

} // namespace NS_EnumPosition
