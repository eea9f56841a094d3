#pragma once
// Helpers of the stream codec tests: hex conversion, a sequential device, and a cap on how
// much memory the process may take while damaged input is read.

#include <QByteArray>
#include <QDataStream>
#include <QIODevice>
#include <QString>

#include <functional>

namespace streamtest {

// Hex text (spaces ignored) to bytes and bytes to lower-case hex.
QByteArray fromHex(const char* hex);
QString toHex(const QByteArray& bytes);

// Runs `write` on a fresh stream over an empty buffer and returns the bytes.
QByteArray encode(const std::function<void(QDataStream&)>& write);

// A read-only device that cannot seek or tell its size, like a pipe holding `data`.
class TSequentialBuffer : public QIODevice
{
public:
    explicit TSequentialBuffer(const QByteArray& data);
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_data;
    qint64 m_pos = 0;
};

// While alive, an allocation far beyond what the tests need fails: in plain builds the
// address space is capped (a failing allocation throws and fails the test), in ASan builds
// the sanitizer's allocation limit (set for this test program) reports it.
class TAllocationCap
{
public:
    TAllocationCap();
    ~TAllocationCap();
    TAllocationCap(const TAllocationCap&) = delete;
    TAllocationCap& operator=(const TAllocationCap&) = delete;

private:
    bool m_active = false;
    unsigned long long m_previousSoft = 0;
};

} // namespace streamtest
