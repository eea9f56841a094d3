// Damaged documents: every reader fails cleanly, with the stream's status set, never
// crashing and never allocating more than the input justifies.

#include "TQt3Stream.h"
#include "TStreamTestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QtEndian>

#include <iterator>
#include <memory>
#include <random>

using namespace NS_Utilities;
using streamtest::encode;
using streamtest::fromHex;
using streamtest::TAllocationCap;
using streamtest::TSequentialBuffer;

namespace {

std::unique_ptr<QIODevice> openDevice(const QByteArray& bytes, bool sequential)
{
    if (sequential)
        return std::make_unique<TSequentialBuffer>(bytes);
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

// A stream shaped like a document: every value kind, a component record, the end.
QByteArray documentLikeStream()
{
    return encode([](QDataStream& s) {
        writeStreamHeader(s);
        writeTypedRect(s, QRect(10, 20, 600, 400));
        for (int section = 0; section < 4; ++section)
            writeInt32(s, 0);
        writePropertyMap(s, {{QStringLiteral("fileformat-minorversion"), 1u},
                             {QStringLiteral("iconview-arrangement"), 0},
                             {QStringLiteral("iconview-sorting"), 1}});
        writeTypedString(s, QStringLiteral("{01020304-0506-0708-090a-0b0c0d0e0f10}"));
        writeTypedString(s, QString::fromUtf8("Synth \xf0\x9d\x84\x9e"));
        writeTypedInt(s, 1);
        writeTypedRect(s, QRect(0, 0, 0, 0));
        writeTypedPoint(s, QPoint(-1, -1));
        writeTypedUInt(s, 3);
        writeTypedUInt(s, 5);
        writeRawBytes(s, QByteArray("\x00\x01\x02\x03\x04", 5));
        writeStreamEnds(s);
        writeTypedList(s, QVariantList{1, QVariantList{0, 1}});
    });
}

// Reads the stream above value by value; true only when everything was read.
bool readDocumentLike(QDataStream& s)
{
    QVariant value;
    qint32 count = 0;
    TPropertyMap map;
    if (!readTypedValue(s, value) || !readTypedValue(s, value))
        return false;
    for (int section = 0; section < 4; ++section)
        if (!readInt32(s, count))
            return false;
    if (!readPropertyMap(s, map))
        return false;
    for (int field = 0; field < 6; ++field)
        if (!readTypedValue(s, value))
            return false;
    uint size = 0;
    QByteArray data;
    if (!readTypedUInt(s, size) || !readRawBytes(s, size, data))
        return false;
    return readTypedValue(s, value) && readTypedValue(s, value) && readTypedValue(s, value);
}

class Qt3StreamHardeningTest : public ::testing::TestWithParam<bool>
{
protected:
    bool sequential() const { return GetParam(); }
};

} // namespace

TEST_P(Qt3StreamHardeningTest, EveryTruncationFailsCleanly)
{
    const QByteArray full = documentLikeStream();
    {
        auto device = openDevice(full, sequential());
        QDataStream stream(device.get());
        ASSERT_TRUE(readDocumentLike(stream));
        EXPECT_EQ(stream.status(), QDataStream::Ok);
        EXPECT_TRUE(stream.atEnd());
    }
    for (qsizetype length = 0; length < full.size(); ++length) {
        auto device = openDevice(full.left(length), sequential());
        QDataStream stream(device.get());
        EXPECT_FALSE(readDocumentLike(stream)) << "length " << length;
        EXPECT_EQ(stream.status(), QDataStream::ReadPastEnd) << "length " << length;
    }
}

// Counts far beyond the input fail before (random access) or while (sequential) reading,
// without allocating anything near the count.
TEST_P(Qt3StreamHardeningTest, HugeCountsDoNotAllocate)
{
    const char* inputs[] = {
        "7ffffffe 0041 0042",                    // string
        "00000003 7ffffffe 0041 0042",           // typed string
        "00000003 fffffffe 0041",                // just below the null marker
        "00000002 ffffffff 00000010 00000001",   // typed list
        "00000002 7fffffff 00000002 7fffffff",   // nested list
        "ffffffff 00000002 0041 00000010 00000001", // property map
    };
    TAllocationCap cap;
    for (const char* hex : inputs) {
        const QByteArray bytes = fromHex(hex);
        auto device = openDevice(bytes, sequential());
        QDataStream stream(device.get());
        QVariant value;
        TPropertyMap map;
        const bool isMap = bytes.startsWith(fromHex("ffffffff"));
        const bool isString = bytes.startsWith(fromHex("7ffffffe"));
        bool ok = true;
        if (isMap)
            ok = readPropertyMap(stream, map);
        else if (isString) {
            QString text;
            ok = readString(stream, text);
            EXPECT_TRUE(text.isNull());
        } else
            ok = readTypedValue(stream, value);
        EXPECT_FALSE(ok) << hex;
        EXPECT_EQ(stream.status(), QDataStream::ReadPastEnd) << hex;
        EXPECT_FALSE(value.isValid()) << hex;
        EXPECT_TRUE(map.isEmpty()) << hex;
    }

    auto device = openDevice(fromHex("01020304"), sequential());
    QDataStream stream(device.get());
    QByteArray raw("stale");
    EXPECT_FALSE(readRawBytes(stream, 0xFFFFFFFFu, raw));
    EXPECT_TRUE(raw.isEmpty());
    EXPECT_EQ(stream.status(), QDataStream::ReadPastEnd);
}

TEST_P(Qt3StreamHardeningTest, CorruptValuesAreRefused)
{
    struct
    {
        const char* name;
        const char* hex;
    } cases[] = {
        {"odd string count", "00000003 00000003 0041 00"},
        {"odd count in list", "00000002 00000001 00000003 00000001 00"},
        {"invalid type 0", "00000000 00000000"},
        {"map type 1", "00000001 00000000"},
        {"string list 4", "00000004 00000000"},
        {"bool 18", "00000012 01"},
        {"double 19", "00000013 0000000000000000"},
        {"byte array 29", "0000001d 00000000"},
        {"type ffffffff", "ffffffff 00000000"},
        {"unknown inside list", "00000002 00000002 00000010 00000001 00000009 00000000"},
    };
    for (const auto& c : cases) {
        auto device = openDevice(fromHex(c.hex), sequential());
        QDataStream stream(device.get());
        QVariant value(1);
        EXPECT_FALSE(readTypedValue(stream, value)) << c.name;
        EXPECT_EQ(stream.status(), QDataStream::ReadCorruptData) << c.name;
        EXPECT_FALSE(value.isValid()) << c.name;
    }

    auto device = openDevice(fromHex("00000001 00000002 0061 00000005 00000000"), sequential());
    QDataStream stream(device.get());
    TPropertyMap map{{QStringLiteral("stale"), 1}};
    EXPECT_FALSE(readPropertyMap(stream, map));
    EXPECT_EQ(stream.status(), QDataStream::ReadCorruptData);
    EXPECT_TRUE(map.isEmpty());
}

TEST_P(Qt3StreamHardeningTest, NestingIsBounded)
{
    const QByteArray level = fromHex("00000002 00000001");
    const QByteArray innermost = fromHex("00000002 00000000");

    // The deepest allowed nesting reads; one more level is damage.
    for (int levels : {kMaxTypedListDepth, kMaxTypedListDepth + 1}) {
        auto device = openDevice(level.repeated(levels - 1) + innermost, sequential());
        QDataStream stream(device.get());
        QVariant value;
        const bool ok = readTypedValue(stream, value);
        EXPECT_EQ(ok, levels <= kMaxTypedListDepth) << levels;
        EXPECT_EQ(stream.status(), ok ? QDataStream::Ok : QDataStream::ReadCorruptData) << levels;
    }

    // A hostile depth does not exhaust the call stack.
    auto device = openDevice(level.repeated(200000) + innermost, sequential());
    QDataStream stream(device.get());
    QVariant value;
    EXPECT_FALSE(readTypedValue(stream, value));
    EXPECT_EQ(stream.status(), QDataStream::ReadCorruptData);
}

INSTANTIATE_TEST_SUITE_P(Devices, Qt3StreamHardeningTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Sequential" : "RandomAccess");
                         });

// After a failure, later reads do nothing: the first error stays, nothing more is consumed.
TEST(Qt3StreamHardeningStatus, FailedStreamStaysFailed)
{
    QByteArray bytes = fromHex("00000003 00000003 0041 00 00000010 00000001");
    QDataStream stream(bytes);
    QVariant value;
    EXPECT_FALSE(readTypedValue(stream, value));
    ASSERT_EQ(stream.status(), QDataStream::ReadCorruptData);
    qint32 number = 7;
    EXPECT_FALSE(readInt32(stream, number));
    EXPECT_EQ(number, 0);
    QString text = QStringLiteral("stale");
    EXPECT_FALSE(readString(stream, text));
    EXPECT_TRUE(text.isNull());
    QUuid id = QUuid::createUuid();
    EXPECT_FALSE(readUuid(stream, id));
    EXPECT_TRUE(id.isNull());
    EXPECT_EQ(stream.status(), QDataStream::ReadCorruptData);
}

TEST(Qt3StreamHardeningStatus, StreamWithoutDevice)
{
    QDataStream stream;
    QVariant value;
    EXPECT_FALSE(readTypedValue(stream, value));
    EXPECT_NE(stream.status(), QDataStream::Ok);
}

// Random and mutated input never crashes; a failed read always leaves a status behind.
TEST(Qt3StreamHardeningGarbage, SeededRandomInputNeverCrashes)
{
    TAllocationCap cap;
    std::mt19937 random(20240611u);
    const QByteArray document = documentLikeStream();
    const quint32 interesting[] = {0, 1, 2, 3, 8, 14, 16, 17, 18, 0xFFFFFFFFu, 0x7FFFFFFEu, 0x7FFFFFFFu, 5, 6};

    int completed = 0;
    for (int round = 0; round < 4000; ++round) {
        QByteArray input;
        switch (round % 3) {
        case 0: { // words biased towards type codes and boundary counts
            const int words = int(random() % 24);
            for (int w = 0; w < words; ++w) {
                const quint32 word = random() % 2 ? interesting[random() % std::size(interesting)] : random();
                char bytes[4];
                qToBigEndian(word, bytes);
                input.append(bytes, 4);
            }
            if (random() % 2)
                input.chop(int(random() % 4));
            break;
        }
        case 1: { // a valid stream with a few bytes changed
            input = document;
            const int flips = 1 + int(random() % 4);
            for (int f = 0; f < flips; ++f)
                input[random() % input.size()] = char(random());
            break;
        }
        default: // plain noise
            input.resize(random() % 96);
            for (char& byte : input)
                byte = char(random());
            break;
        }

        auto device = openDevice(input, round % 5 == 0);
        QDataStream stream(device.get());
        for (int step = 0; step < 64 && !stream.atEnd(); ++step) {
            bool ok = true;
            switch (random() % 4) {
            case 0: {
                QVariant value;
                ok = readTypedValue(stream, value);
                EXPECT_TRUE(ok || !value.isValid());
                break;
            }
            case 1: {
                TPropertyMap map;
                ok = readPropertyMap(stream, map);
                EXPECT_TRUE(ok || map.isEmpty());
                break;
            }
            case 2: {
                QString text;
                ok = readString(stream, text);
                break;
            }
            default: {
                QByteArray bytes;
                ok = readRawBytes(stream, random() % 2 ? random() : random() % 16, bytes);
                EXPECT_TRUE(ok || bytes.isEmpty());
                break;
            }
            }
            if (!ok) {
                EXPECT_NE(stream.status(), QDataStream::Ok);
                break;
            }
        }
        if (stream.status() == QDataStream::Ok)
            ++completed;
    }
    // The generator reaches both outcomes, so the loop is not vacuous.
    EXPECT_GT(completed, 0);
    EXPECT_LT(completed, 4000);
}
