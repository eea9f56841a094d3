#include "CircularBuffer.h"

#include <algorithm>
#include <cstring>

CircularBuffer::CircularBuffer(int capacity, bool recursiveMutex)
    : m_storage(new unsigned char[std::max(capacity, 0)])
    , m_capacity(std::max(capacity, 0))
    , m_recursive(recursiveMutex)
{
}

CircularBuffer::~CircularBuffer() = default;

int CircularBuffer::write(const unsigned char* src, int len)
{
    if (len <= 0 || !src)
        return 0;
    const int n = std::min(len, space());
    if (n <= 0)
        return 0;
    // At most two pieces: up to the end of the storage, then from its start.
    const int first = std::min(n, m_capacity - static_cast<int>(m_writePos));
    std::memcpy(m_storage.get() + m_writePos, src, first);
    if (n > first)
        std::memcpy(m_storage.get(), src + first, n - first);
    m_writePos += n;
    if (m_writePos >= static_cast<std::uint32_t>(m_capacity))
        m_writePos -= m_capacity;
    addCount(n);
    return n;
}

int CircularBuffer::read(unsigned char* dst, int len)
{
    if (len <= 0)
        return 0;
    const int n = std::min(len, avail());
    if (n <= 0)
        return 0;
    const int first = std::min(n, m_capacity - static_cast<int>(m_readPos));
    if (dst) {
        std::memcpy(dst, m_storage.get() + m_readPos, first);
        if (n > first)
            std::memcpy(dst + first, m_storage.get(), n - first);
    }
    m_readPos += n;
    if (m_readPos >= static_cast<std::uint32_t>(m_capacity))
        m_readPos -= m_capacity;
    addCount(-n);
    return n;
}
