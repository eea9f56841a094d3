// The host stream over a Qt device: raw reads and writes, seek origins, CopyTo chunking
// and the failures of a stream without (or after losing) its device.

#include "ClientIStream.h"
#include "TServicesTestSupport.h"

#include <QBuffer>
#include <QByteArray>

#include <gtest/gtest.h>

#include <memory>

namespace {

QByteArray pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

class Stream : public ::testing::Test
{
protected:
    void SetUp() override
    {
        stream = KAVNewObject<ClientIStream>(nullptr, IID_IStream, false);
        ASSERT_NE(stream, nullptr);
    }
    void TearDown() override { EXPECT_EQ(stream->Release(), 0u); }

    void attach(const QByteArray& content, QIODevice::OpenMode mode = QIODevice::ReadWrite)
    {
        data = content;
        buffer.setBuffer(&data);
        ASSERT_TRUE(buffer.open(mode));
        stream->setIODevice(buffer);
    }

    QByteArray data;
    QBuffer buffer;
    ClientIStream* stream = nullptr;
};

TEST_F(Stream, SeekOrigins)
{
    attach(pattern(100));
    struct Case {
        LARGE_INTEGER offset;
        std::uint32_t origin;
        HRESULT expected;
        ULARGE_INTEGER position; // afterwards
    };
    // Applied in order: each starts where the previous one left the device.
    const Case cases[] = {
        {10, 0, S_OK, 10},  {5, 1, S_OK, 15},   {-15, 1, S_OK, 0},  {0, 2, S_OK, 100},
        {-10, 2, S_OK, 90}, {-91, 1, E_FAIL, 90}, {-1, 0, E_FAIL, 90}, {4, 3, E_FAIL, 90},
        {3, 0, S_OK, 3},    {-200, 2, E_FAIL, 3},
    };
    for (const Case& c : cases) {
        TWarningCatcher warnings;
        ULARGE_INTEGER position = 0xDEAD;
        EXPECT_EQ(stream->Seek(c.offset, c.origin, &position), c.expected)
            << "offset " << c.offset << " origin " << c.origin;
        EXPECT_EQ(position, c.position) << "offset " << c.offset << " origin " << c.origin;
        EXPECT_EQ(buffer.pos(), static_cast<qint64>(c.position));
        EXPECT_EQ(warnings.sawAssert("status == S_OK"), c.expected != S_OK);
    }
    EXPECT_EQ(stream->Seek(0, 2, nullptr), S_OK);
    EXPECT_EQ(buffer.pos(), 100);
}

TEST_F(Stream, ReadAfterSeekFromTheEnd)
{
    attach(pattern(40));
    ULARGE_INTEGER position = 0;
    ASSERT_EQ(stream->Seek(-8, 2, &position), S_OK);
    char tail[8] = {};
    std::uint32_t done = 0;
    EXPECT_EQ(stream->Read(tail, sizeof tail, &done), S_OK);
    EXPECT_EQ(done, 8u);
    EXPECT_EQ(QByteArray(tail, 8), data.right(8));
}

TEST_F(Stream, WriteThenReadBack)
{
    attach(QByteArray());
    const QByteArray text = pattern(300);
    std::uint32_t done = 0;
    ASSERT_EQ(stream->Write(text.constData(), 300, &done), S_OK);
    EXPECT_EQ(done, 300u);
    EXPECT_EQ(data, text);

    ASSERT_EQ(stream->Seek(0, 0, nullptr), S_OK);
    QByteArray back(300, '\0');
    ASSERT_EQ(stream->Read(back.data(), 300, &done), S_OK);
    EXPECT_EQ(done, 300u);
    EXPECT_EQ(back, text);
    EXPECT_EQ(stream->Write(text.constData(), 0, nullptr), S_OK);
    EXPECT_EQ(stream->Read(back.data(), 0, nullptr), S_OK);
}

// A read past the end reports what it really got and leaves no stale bytes behind.
TEST_F(Stream, ShortReadReportsTheRealCount)
{
    attach(pattern(10));
    char target[16];
    std::memset(target, 'x', sizeof target);
    std::uint32_t done = 0;
    EXPECT_EQ(stream->Read(target, 16, &done), S_FALSE);
    EXPECT_EQ(done, 10u);
    EXPECT_EQ(QByteArray(target, 10), data);
    EXPECT_EQ(QByteArray(target + 10, 6), QByteArray(6, '\0'));

    // The stream recovers once there is something to read again.
    ASSERT_EQ(stream->Seek(2, 0, nullptr), S_OK);
    EXPECT_EQ(stream->Read(target, 4, &done), S_OK);
    EXPECT_EQ(done, 4u);
}

TEST_F(Stream, WriteToReadOnlyDeviceFails)
{
    attach(pattern(10), QIODevice::ReadOnly);
    std::uint32_t done = 99;
    const char bytes[4] = {1, 2, 3, 4};
    EXPECT_EQ(stream->Write(bytes, 4, &done), E_FAIL);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(data, pattern(10));
}

TEST_F(Stream, CopyToMovesFullChunksThenTheRemainder)
{
    attach(pattern(70000));
    auto* target = KAVNewObject<TRecordingStream>();
    ULARGE_INTEGER read = 1;
    ULARGE_INTEGER written = 1;
    ASSERT_EQ(stream->CopyTo(target, 70000, &read, &written), S_OK);
    EXPECT_EQ(target->writes, (std::vector<std::uint32_t>{65536, 4464}));
    EXPECT_EQ(read, 70000u);
    EXPECT_EQ(written, 70000u);
    EXPECT_EQ(QByteArray(target->bytes.data(), static_cast<int>(target->bytes.size())), data);
    target->Release();
}

TEST_F(Stream, CopyToSmallCountUsesOneChunk)
{
    attach(pattern(500));
    ASSERT_EQ(stream->Seek(100, 0, nullptr), S_OK);
    auto* target = KAVNewObject<TRecordingStream>();
    ASSERT_EQ(stream->CopyTo(target, 300, nullptr, nullptr), S_OK);
    EXPECT_EQ(target->writes, (std::vector<std::uint32_t>{300}));
    EXPECT_EQ(QByteArray(target->bytes.data(), 300), data.mid(100, 300));
    EXPECT_EQ(buffer.pos(), 400);
    target->Release();
}

// Asking for more than the source holds passes on only what exists.
TEST_F(Stream, CopyToStopsAtTheEndOfTheSource)
{
    attach(pattern(70000));
    ASSERT_EQ(stream->Seek(60000, 0, nullptr), S_OK);
    auto* target = KAVNewObject<TRecordingStream>();
    ULARGE_INTEGER read = 0;
    ULARGE_INTEGER written = 0;
    ASSERT_EQ(stream->CopyTo(target, 200000, &read, &written), S_OK);
    EXPECT_EQ(target->writes, (std::vector<std::uint32_t>{10000}));
    EXPECT_EQ(read, 10000u);
    EXPECT_EQ(written, 10000u);
    target->Release();
}

TEST_F(Stream, CopyToReportsTheTargetFailure)
{
    attach(pattern(200000));
    auto* target = KAVNewObject<TRecordingStream>();
    target->failFromWrite = 1;
    ULARGE_INTEGER read = 0;
    ULARGE_INTEGER written = 0;
    EXPECT_EQ(stream->CopyTo(target, 200000, &read, &written), E_FAIL);
    EXPECT_EQ(target->writes.size(), 2u); // stopped at the failing write
    EXPECT_EQ(read, 2u * 65536u);
    EXPECT_EQ(written, 65536u);
    target->Release();
}

TEST_F(Stream, CopyToArgumentsAndEdgeCases)
{
    attach(pattern(10));
    ULARGE_INTEGER read = 5;
    ULARGE_INTEGER written = 5;
    EXPECT_EQ(stream->CopyTo(nullptr, 10, &read, &written), static_cast<HRESULT>(0x80030009u));

    auto* target = KAVNewObject<TRecordingStream>();
    EXPECT_EQ(stream->CopyTo(target, 0, &read, &written), S_OK);
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(target->writes.empty());
    target->Release();
}

TEST_F(Stream, CopyToAnotherHostStream)
{
    attach(pattern(70000));
    QByteArray copy;
    QBuffer copyDevice(&copy);
    ASSERT_TRUE(copyDevice.open(QIODevice::WriteOnly));
    auto* target = KAVNewObject<ClientIStream>(nullptr, IID_IStream, false);
    target->setIODevice(copyDevice);
    ULARGE_INTEGER written = 0;
    ASSERT_EQ(stream->CopyTo(target, 70000, nullptr, &written), S_OK);
    EXPECT_EQ(written, 70000u);
    EXPECT_EQ(copy, data);
    EXPECT_EQ(target->Release(), 0u);
}

TEST_F(Stream, WithoutDeviceEverythingFails)
{
    char bytes[4] = {};
    std::uint32_t done = 7;
    EXPECT_EQ(stream->Read(bytes, 4, &done), E_FAIL);
    EXPECT_EQ(stream->Write(bytes, 4, &done), E_FAIL);
    auto* target = KAVNewObject<TRecordingStream>();
    EXPECT_EQ(stream->CopyTo(target, 4, nullptr, nullptr), E_FAIL);
    target->Release();

    TWarningCatcher warnings;
    ULARGE_INTEGER position = 123;
    for (std::uint32_t origin : {0u, 1u, 2u}) {
        EXPECT_EQ(stream->Seek(0, origin, &position), E_FAIL);
        EXPECT_EQ(position, 123u);
    }
    EXPECT_TRUE(warnings.sawAssert("status == S_OK"));
}

// A component that keeps the stream past the document operation finds it dead, not dangling.
TEST_F(Stream, DeviceDestroyedWhileStreamLives)
{
    {
        auto device = std::make_unique<QBuffer>();
        ASSERT_TRUE(device->open(QIODevice::ReadWrite));
        stream->setIODevice(*device);
        std::uint32_t done = 0;
        ASSERT_EQ(stream->Write("abc", 3, &done), S_OK);
    }
    char bytes[3] = {};
    std::uint32_t done = 0;
    EXPECT_EQ(stream->Read(bytes, 3, &done), E_FAIL);
    EXPECT_EQ(stream->Write(bytes, 3, &done), E_FAIL);
    TWarningCatcher warnings;
    EXPECT_EQ(stream->Seek(0, 0, nullptr), E_FAIL);
    EXPECT_EQ(stream->device(), nullptr);
}

TEST_F(Stream, UnsupportedMethods)
{
    attach(pattern(10));
    EXPECT_EQ(stream->SetSize(5), E_NOTIMPL);
    EXPECT_EQ(stream->Commit(0), E_NOTIMPL);
    EXPECT_EQ(stream->Revert(), E_NOTIMPL);
    EXPECT_EQ(stream->LockRegion(0, 4, 0), E_NOTIMPL);
    EXPECT_EQ(stream->UnlockRegion(0, 4, 0), E_NOTIMPL);
    EXPECT_EQ(stream->Stat(nullptr, 0), E_NOTIMPL);
    IStream* clone = stream;
    EXPECT_EQ(stream->Clone(&clone), E_NOTIMPL);
    EXPECT_EQ(clone, nullptr);
    EXPECT_EQ(data.size(), 10); // SetSize changed nothing
}

} // namespace
