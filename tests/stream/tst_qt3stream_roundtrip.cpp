// What the codec writes reads back the same, and typed values convert the toolkit's way.

#include "TQt3Stream.h"
#include "TStreamTestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>

#include <climits>
#include <memory>

using namespace NS_Utilities;
using streamtest::encode;
using streamtest::fromHex;
using streamtest::TSequentialBuffer;

namespace {

// One reading stream over `bytes`, on a random-access or a sequential device.
struct TReader
{
    TReader(const QByteArray& bytes, bool sequential)
    {
        if (sequential) {
            device = std::make_unique<TSequentialBuffer>(bytes);
        } else {
            auto buffer = std::make_unique<QBuffer>();
            buffer->setData(bytes);
            buffer->open(QIODevice::ReadOnly);
            device = std::move(buffer);
        }
        stream.setDevice(device.get());
    }
    std::unique_ptr<QIODevice> device;
    QDataStream stream;
};

QVariantList sampleValues()
{
    return {
        QVariant(QString()),
        QVariant(QStringLiteral("")),
        QVariant(QString::fromUtf8("Ba\xc3\x9f \xf0\x9d\x84\x9e")),
        QVariant(QRect(QPoint(INT_MIN, -1), QPoint(INT_MAX, 0))),
        QVariant(QRect(0, 0, 0, 0)),
        QVariant(QPoint(-100, 200)),
        QVariant(INT_MIN),
        QVariant(0),
        QVariant(0xFFFFFFFFu),
        QVariant(QVariantList()),
        QVariant(QVariantList{1, 2u, QStringLiteral("s"), QVariantList{QPoint(1, 2), QVariantList{}}}),
    };
}

class Qt3StreamRoundTripTest : public ::testing::TestWithParam<bool>
{
};

} // namespace

TEST_P(Qt3StreamRoundTripTest, TypedValuesKeepValueAndType)
{
    const QVariantList values = sampleValues();
    const QByteArray bytes = encode([&](QDataStream& s) {
        for (const QVariant& value : values)
            ASSERT_TRUE(writeTypedValue(s, value));
    });
    TReader reader(bytes, GetParam());
    for (const QVariant& expected : values) {
        QVariant actual;
        ASSERT_TRUE(readTypedValue(reader.stream, actual)) << expected.typeName();
        EXPECT_EQ(actual.typeId(), expected.typeId()) << expected.typeName();
        EXPECT_EQ(actual, expected) << expected.typeName();
    }
    EXPECT_EQ(reader.stream.status(), QDataStream::Ok);
    EXPECT_TRUE(reader.stream.atEnd());
}

TEST_P(Qt3StreamRoundTripTest, StringsKeepNullApartFromEmpty)
{
    const QByteArray bytes = encode([](QDataStream& s) {
        writeString(s, QString());
        writeString(s, QStringLiteral(""));
        writeTypedString(s, QString());
        writeTypedString(s, QStringLiteral(""));
    });
    TReader reader(bytes, GetParam());
    QString text;
    ASSERT_TRUE(readString(reader.stream, text));
    EXPECT_TRUE(text.isNull());
    ASSERT_TRUE(readString(reader.stream, text));
    EXPECT_FALSE(text.isNull());
    EXPECT_TRUE(text.isEmpty());
    ASSERT_TRUE(readTypedString(reader.stream, text));
    EXPECT_TRUE(text.isNull());
    ASSERT_TRUE(readTypedString(reader.stream, text));
    EXPECT_FALSE(text.isNull());
    EXPECT_TRUE(text.isEmpty());
}

// Long blocks cross the reader's slices on sequential devices.
TEST_P(Qt3StreamRoundTripTest, LongStringAndRawBytes)
{
    QString longText;
    for (int i = 0; i < 200000; ++i)
        longText.append(QChar(char16_t(0x20 + (i * 7919) % 0xD000)));
    QByteArray raw(300000, '\0');
    for (int i = 0; i < raw.size(); ++i)
        raw[i] = char(i * 31);

    const QByteArray bytes = encode([&](QDataStream& s) {
        writeString(s, longText);
        writeTypedUInt(s, quint32(raw.size()));
        writeRawBytes(s, raw);
        writeTypedInt(s, 42);
    });
    TReader reader(bytes, GetParam());
    QString text;
    ASSERT_TRUE(readString(reader.stream, text));
    EXPECT_EQ(text, longText);
    uint size = 0;
    ASSERT_TRUE(readTypedUInt(reader.stream, size));
    QByteArray data;
    ASSERT_TRUE(readRawBytes(reader.stream, size, data));
    EXPECT_EQ(data, raw);
    int tail = 0;
    ASSERT_TRUE(readTypedInt(reader.stream, tail));
    EXPECT_EQ(tail, 42);
}

TEST_P(Qt3StreamRoundTripTest, PropertyMapAndUuid)
{
    TPropertyMap map;
    map.insert(QStringLiteral("zeta"), QRect(1, 2, 3, 4));
    map.insert(QStringLiteral("alpha"), QVariantList{1, QStringLiteral("x")});
    map.insert(QString(), QPoint(5, 6));
    map.insert(QStringLiteral("\xe9t\xe9"), 9u);
    const QUuid id = QUuid::createUuid();

    const QByteArray bytes = encode([&](QDataStream& s) {
        ASSERT_TRUE(writePropertyMap(s, map));
        writeUuid(s, id);
    });
    TReader reader(bytes, GetParam());
    TPropertyMap back;
    ASSERT_TRUE(readPropertyMap(reader.stream, back));
    EXPECT_EQ(back, map);
    QUuid idBack;
    ASSERT_TRUE(readUuid(reader.stream, idBack));
    EXPECT_EQ(idBack, id);
}

TEST_P(Qt3StreamRoundTripTest, HeaderAndEndMarkerReadBack)
{
    const QByteArray bytes = encode([](QDataStream& s) {
        writeStreamHeader(s);
        writeStreamEnds(s);
    });
    TReader reader(bytes, GetParam());
    QString header;
    ASSERT_TRUE(readTypedString(reader.stream, header));
    EXPECT_EQ(header, QStringLiteral("Version;2.00;Application Name;VELMAR Mixwarden"));
    EXPECT_TRUE(isCompatibleStreamHeader(header));

    QString clsid;
    QString name;
    ASSERT_TRUE(readTypedString(reader.stream, clsid));
    ASSERT_TRUE(readTypedString(reader.stream, name));
    unsigned char bytesOut[16];
    ASSERT_TRUE(parseClassIdText(clsid, bytesOut));
    const unsigned char zero[16] = {};
    EXPECT_EQ(0, memcmp(bytesOut, zero, 16));
    EXPECT_TRUE(name.isNull());
    EXPECT_TRUE(reader.stream.atEnd());
}

INSTANTIATE_TEST_SUITE_P(Devices, Qt3StreamRoundTripTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Sequential" : "RandomAccess");
                         });

// A value of another type than expected converts as the old toolkit did.
TEST(Qt3StreamTypedConversion, ToolkitRules)
{
    EXPECT_EQ(toInt(QVariant(0xFFFFFFFFu)), -1);
    EXPECT_EQ(toUInt(QVariant(-1)), 0xFFFFFFFFu);
    EXPECT_EQ(toInt(QVariant(QStringLiteral("42"))), 42);
    EXPECT_EQ(toInt(QVariant(QStringLiteral("x"))), 0);
    EXPECT_EQ(toInt(QVariant(QRect(1, 1, 1, 1))), 0);
    EXPECT_EQ(toUInt(QVariant(QStringLiteral("7"))), 7u);
    EXPECT_TRUE(toBool(QVariant(2u)));
    EXPECT_TRUE(toBool(QVariant(-1)));
    EXPECT_FALSE(toBool(QVariant(0)));
    EXPECT_EQ(toString(QVariant(5)), QStringLiteral("5"));
    EXPECT_EQ(toRect(QVariant(QPoint(1, 2))), QRect());
    EXPECT_EQ(toPoint(QVariant(QStringLiteral("1,2"))), QPoint());
    EXPECT_TRUE(toList(QVariant(3)).isEmpty());

    // A missing property reads as 0 / false / nothing.
    const TPropertyMap props{{QStringLiteral("iconview-sorting"), 1}};
    const QVariant missing = props.value(QStringLiteral("fileformat-minorversion"));
    EXPECT_EQ(toInt(missing), 0);
    EXPECT_EQ(toUInt(missing), 0u);
    EXPECT_FALSE(toBool(missing));
    EXPECT_TRUE(toString(missing).isNull());
    EXPECT_EQ(toPoint(missing), QPoint(0, 0));
    EXPECT_TRUE(toBool(props.value(QStringLiteral("iconview-sorting"))));
}

TEST(Qt3StreamTypedConversion, TypedReadersConvert)
{
    const QByteArray bytes = encode([](QDataStream& s) {
        writeTypedString(s, QStringLiteral("17"));
        writeTypedUInt(s, 1);
        writeTypedInt(s, -1);
        writeTypedInt(s, 5);
        writeTypedPoint(s, QPoint(1, 2));
    });
    QDataStream stream(bytes);
    int number = 0;
    ASSERT_TRUE(readTypedInt(stream, number));
    EXPECT_EQ(number, 17);
    bool flag = false;
    ASSERT_TRUE(readTypedBool(stream, flag));
    EXPECT_TRUE(flag);
    uint unsignedNumber = 0;
    ASSERT_TRUE(readTypedUInt(stream, unsignedNumber));
    EXPECT_EQ(unsignedNumber, 0xFFFFFFFFu);
    QString text;
    ASSERT_TRUE(readTypedString(stream, text));
    EXPECT_EQ(text, QStringLiteral("5"));
    QRect rect(1, 1, 1, 1);
    ASSERT_TRUE(readTypedRect(stream, rect));
    EXPECT_EQ(rect, QRect());
}
