#include "TStreamTestSupport.h"

#include <QBuffer>
#include <QFile>

#include <sys/resource.h>
#include <unistd.h>

// Far beyond any legitimate allocation of these tests, far below a count-sized one.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options()
{
    return "max_allocation_size_mb=256";
}
#endif

namespace streamtest {

namespace {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
constexpr unsigned long long kHeadroom = 256ull * 1024 * 1024;

unsigned long long currentAddressSpace()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray pages = statm.readAll().split(' ').value(0);
    return pages.toULongLong() * static_cast<unsigned long long>(sysconf(_SC_PAGESIZE));
}
#endif
} // namespace

QByteArray fromHex(const char* hex)
{
    QByteArray text(hex);
    text.replace(' ', "");
    return QByteArray::fromHex(text);
}

QString toHex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

QByteArray encode(const std::function<void(QDataStream&)>& write)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QDataStream stream(&buffer);
    write(stream);
    return bytes;
}

TSequentialBuffer::TSequentialBuffer(const QByteArray& data)
    : m_data(data)
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 TSequentialBuffer::bytesAvailable() const
{
    return (m_data.size() - m_pos) + QIODevice::bytesAvailable();
}

qint64 TSequentialBuffer::readData(char* data, qint64 maxSize)
{
    const qint64 count = qMin(maxSize, qint64(m_data.size()) - m_pos);
    if (count <= 0)
        return -1;
    memcpy(data, m_data.constData() + m_pos, size_t(count));
    m_pos += count;
    return count;
}

TAllocationCap::TAllocationCap()
{
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    rlimit limit{};
    const unsigned long long used = currentAddressSpace();
    if (used == 0 || getrlimit(RLIMIT_AS, &limit) != 0)
        return;
    const unsigned long long cap = used + kHeadroom;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < cap)
        return;
    m_previousSoft = limit.rlim_cur;
    limit.rlim_cur = cap;
    m_active = setrlimit(RLIMIT_AS, &limit) == 0;
#endif
}

TAllocationCap::~TAllocationCap()
{
    if (!m_active)
        return;
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = m_previousSoft;
    setrlimit(RLIMIT_AS, &limit);
}

} // namespace streamtest
