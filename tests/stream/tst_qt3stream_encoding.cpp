// Exact bytes of every value kind of the Workspace document.

#include "TQt3Stream.h"
#include "TStreamTestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QUuid>

#include <climits>

using namespace NS_Utilities;
using streamtest::encode;
using streamtest::fromHex;
using streamtest::toHex;

namespace {

struct TEncodingCase
{
    const char* name;
    std::function<void(QDataStream&)> write;
    const char* hex;
};

// `levels` lists inside each other, the innermost empty.
QVariant nestedLists(int levels)
{
    QVariant value = QVariantList();
    for (int level = 1; level < levels; ++level)
        value = QVariantList{value};
    return value;
}

QVariantList nestedList()
{
    return QVariantList{QVariant(QVariantList{1}), QVariant(QVariantList{})};
}

TPropertyMap documentProperties()
{
    // Inserted out of order on purpose: the stream must come out ascending.
    TPropertyMap map;
    map.insert(QStringLiteral("iconview-sorting"), 0);
    map.insert(QStringLiteral("iconview-arrangement"), 1);
    map.insert(QStringLiteral("fileformat-minorversion"), 1u);
    return map;
}

const TEncodingCase kEncodingCases[] = {
    {"int32 negative", [](QDataStream& s) { writeInt32(s, -2); }, "fffffffe"},
    {"uint32", [](QDataStream& s) { writeUInt32(s, 0x01020304u); }, "01020304"},
    {"string null", [](QDataStream& s) { writeString(s, QString()); }, "ffffffff"},
    {"string empty", [](QDataStream& s) { writeString(s, QStringLiteral("")); }, "00000000"},
    {"string ascii", [](QDataStream& s) { writeString(s, QStringLiteral("Ab")); }, "00000004 0041 0062"},
    {"string latin and euro", [](QDataStream& s) { writeString(s, QString::fromUtf8("\xc3\xa9\xe2\x82\xac")); },
     "00000004 00e9 20ac"},
    {"string surrogate pair", [](QDataStream& s) { writeString(s, QString::fromUtf8("\xf0\x9d\x84\x9e")); },
     "00000004 d834 dd1e"},
    {"typed string", [](QDataStream& s) { writeTypedString(s, QStringLiteral("x")); }, "00000003 00000002 0078"},
    {"typed null string", [](QDataStream& s) { writeTypedString(s, QString()); }, "00000003 ffffffff"},
    {"typed empty string", [](QDataStream& s) { writeTypedString(s, QStringLiteral("")); }, "00000003 00000000"},
    {"typed rect", [](QDataStream& s) { writeTypedRect(s, QRect(10, 20, 300, 200)); },
     "00000008 0000000a 00000014 00000135 000000db"},
    {"typed rect negative", [](QDataStream& s) { writeTypedRect(s, QRect(QPoint(-5, -7), QPoint(-1, -2))); },
     "00000008 fffffffb fffffff9 ffffffff fffffffe"},
    {"typed rect empty", [](QDataStream& s) { writeTypedRect(s, QRect(0, 0, 0, 0)); },
     "00000008 00000000 00000000 ffffffff ffffffff"},
    {"typed point", [](QDataStream& s) { writeTypedPoint(s, QPoint(3, -4)); }, "0000000e 00000003 fffffffc"},
    {"typed int", [](QDataStream& s) { writeTypedInt(s, -2); }, "00000010 fffffffe"},
    {"typed int minimum", [](QDataStream& s) { writeTypedInt(s, INT_MIN); }, "00000010 80000000"},
    {"typed uint maximum", [](QDataStream& s) { writeTypedUInt(s, 0xFFFFFFFFu); }, "00000011 ffffffff"},
    {"typed bool true", [](QDataStream& s) { writeTypedBool(s, true); }, "00000010 00000001"},
    {"typed bool false", [](QDataStream& s) { writeTypedBool(s, false); }, "00000010 00000000"},
    {"variant bool", [](QDataStream& s) { writeTypedValue(s, QVariant(true)); }, "00000010 00000001"},
    {"variant uint", [](QDataStream& s) { writeTypedValue(s, QVariant(7u)); }, "00000011 00000007"},
    {"variant rect", [](QDataStream& s) { writeTypedValue(s, QVariant(QRect(1, 2, 3, 4))); },
     "00000008 00000001 00000002 00000003 00000005"},
    {"typed list empty", [](QDataStream& s) { writeTypedList(s, QVariantList()); }, "00000002 00000000"},
    {"typed list mixed", [](QDataStream& s) { writeTypedList(s, QVariantList{1, QStringLiteral("a")}); },
     "00000002 00000002 00000010 00000001 00000003 00000002 0061"},
    {"typed list nested", [](QDataStream& s) { writeTypedList(s, nestedList()); },
     "00000002 00000002 00000002 00000001 00000010 00000001 00000002 00000000"},
    {"property map empty", [](QDataStream& s) { writePropertyMap(s, TPropertyMap()); }, "00000000"},
    {"property map sorted", [](QDataStream& s) { writePropertyMap(s, documentProperties()); },
     "00000003"
     "0000002e 00660069006c00650066006f0072006d00610074002d006d0069006e006f007200760065007200730069006f006e"
     "00000011 00000001"
     "00000028 00690063006f006e0076006900650077002d0061007200720061006e00670065006d0065006e0074"
     "00000010 00000001"
     "00000020 00690063006f006e0076006900650077002d0073006f007200740069006e0067"
     "00000010 00000000"},
    {"property map key order by code unit",
     [](QDataStream& s) {
         TPropertyMap map;
         map.insert(QStringLiteral("b"), 2);
         map.insert(QStringLiteral("a"), 1);
         map.insert(QStringLiteral("C"), 3);
         writePropertyMap(s, map);
     },
     "00000003 00000002 0043 00000010 00000003 00000002 0061 00000010 00000001"
     " 00000002 0062 00000010 00000002"},
    {"raw bytes", [](QDataStream& s) { writeRawBytes(s, QByteArray("\x01\x02\xff", 3)); }, "0102ff"},
    {"uuid", [](QDataStream& s) { writeUuid(s, QUuid(QStringLiteral("{00112233-4455-6677-8899-aabbccddeeff}"))); },
     "00112233445566778899aabbccddeeff"},
    {"header", [](QDataStream& s) { writeStreamHeader(s); },
     "00000003 0000005c"
     "00560065007200730069006f006e003b0032002e00300030003b004100700070006c00690063006100740069006f006e"
     "0020004e0061006d0065003b00560045004c004d004100520020004d0069007800770061007200640065006e"},
    {"end marker", [](QDataStream& s) { writeStreamEnds(s); },
     "00000003 0000004c"
     "007b00300030003000300030003000300030002d0030003000300030002d0030003000300030002d0030003000300030"
     "002d003000300030003000300030003000300030003000300030007d"
     "00000003 ffffffff"},
};

class Qt3StreamEncodingTest : public ::testing::TestWithParam<TEncodingCase>
{
};

} // namespace

TEST_P(Qt3StreamEncodingTest, WritesExactBytes)
{
    const TEncodingCase& c = GetParam();
    EXPECT_EQ(toHex(encode(c.write)), toHex(fromHex(c.hex))) << c.name;
}

INSTANTIATE_TEST_SUITE_P(AllKinds, Qt3StreamEncodingTest, ::testing::ValuesIn(kEncodingCases),
                         [](const ::testing::TestParamInfo<TEncodingCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

// The document is big-endian and Qt 3 shaped even if a caller's stream is set otherwise.
TEST(Qt3StreamEncodingStreamSettings, IgnoresByteOrderAndVersion)
{
    const QByteArray bytes = encode([](QDataStream& s) {
        s.setByteOrder(QDataStream::LittleEndian);
        s.setVersion(QDataStream::Qt_6_0);
        writeTypedString(s, QStringLiteral("A"));
        writeTypedRect(s, QRect(0, 0, 1, 1));
    });
    EXPECT_EQ(toHex(bytes), toHex(fromHex("00000003 00000002 0041 00000008 00000000 00000000 00000000 00000000")));
}

// Qt 6's own operators still produce the Qt 3 bytes for strings, integers, rectangles and
// points in stream version 6, so code that uses them inside the document stays compatible.
TEST(Qt3StreamEncodingQtCompatibility, QtOperatorsMatchOurWriters)
{
    const QString strings[] = {QString(), QStringLiteral(""), QStringLiteral("Mixwarden"),
                               QString::fromUtf8("\xf0\x9d\x84\x9e\xc3\xa9")};
    for (const QString& text : strings) {
        const QByteArray ours = encode([&](QDataStream& s) { writeString(s, text); });
        const QByteArray qts = encode([&](QDataStream& s) {
            s.setVersion(QDataStream::Qt_3_3);
            s << text;
        });
        EXPECT_EQ(toHex(ours), toHex(qts)) << text.toStdString();
    }

    const QRect rect(QPoint(-5, 7), QPoint(300, -2));
    const QByteArray typedRect = encode([&](QDataStream& s) { writeTypedRect(s, rect); });
    const QByteArray qtRect = encode([&](QDataStream& s) {
        s.setVersion(QDataStream::Qt_3_3);
        s << rect;
    });
    EXPECT_EQ(toHex(typedRect.mid(4)), toHex(qtRect));

    const QPoint point(-1, 65536);
    const QByteArray typedPoint = encode([&](QDataStream& s) { writeTypedPoint(s, point); });
    const QByteArray qtPoint = encode([&](QDataStream& s) {
        s.setVersion(QDataStream::Qt_3_3);
        s << point;
    });
    EXPECT_EQ(toHex(typedPoint.mid(4)), toHex(qtPoint));

    const QByteArray ints = encode([](QDataStream& s) {
        writeInt32(s, -123456);
        writeUInt32(s, 0xDEADBEEFu);
    });
    const QByteArray qtInts = encode([](QDataStream& s) {
        s.setVersion(QDataStream::Qt_3_3);
        s << qint32(-123456) << quint32(0xDEADBEEFu);
    });
    EXPECT_EQ(toHex(ints), toHex(qtInts));

    const QUuid id(QStringLiteral("{00112233-4455-6677-8899-aabbccddeeff}"));
    const QByteArray qtId = encode([&](QDataStream& s) {
        s.setVersion(QDataStream::Qt_3_3);
        s << id;
    });
    EXPECT_EQ(toHex(encode([&](QDataStream& s) { writeUuid(s, id); })), toHex(qtId));
}

// Values the format cannot hold are refused whole: no partial value corrupts the stream.
TEST(Qt3StreamEncodingRefusal, UnsupportedValuesWriteNothing)
{
    const QVariant tooDeep = nestedLists(kMaxTypedListDepth + 1);
    const QVariant deepest = nestedLists(kMaxTypedListDepth);

    const QVariant refused[] = {
        QVariant(),
        QVariant(2.5),
        QVariant(QByteArray("x")),
        QVariant(QStringList{QStringLiteral("a")}),
        QVariant(QVariantList{1, 2.5}),
        tooDeep,
    };
    for (const QVariant& value : refused) {
        EXPECT_FALSE(isEncodableTypedValue(value)) << value.typeName();
        bool result = true;
        QDataStream::Status status = QDataStream::Ok;
        const QByteArray bytes = encode([&](QDataStream& s) {
            result = writeTypedValue(s, value);
            status = s.status();
        });
        EXPECT_FALSE(result);
        EXPECT_EQ(status, QDataStream::WriteFailed);
        EXPECT_TRUE(bytes.isEmpty()) << toHex(bytes).toStdString();
    }
    EXPECT_TRUE(isEncodableTypedValue(deepest));

    TPropertyMap map;
    map.insert(QStringLiteral("good"), 1);
    map.insert(QStringLiteral("bad"), 2.5);
    bool result = true;
    const QByteArray bytes = encode([&](QDataStream& s) { result = writePropertyMap(s, map); });
    EXPECT_FALSE(result);
    EXPECT_TRUE(bytes.isEmpty());
}

TEST(Qt3StreamClassIdText, FormatsLowerCaseBraced)
{
    const unsigned char bytes[16] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                                     0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0xAF, 0xFF};
    EXPECT_EQ(classIdText(bytes), QStringLiteral("{01020304-0506-0708-090a-0b0c0d0eafff}"));
    const unsigned char zero[16] = {};
    EXPECT_EQ(classIdText(zero), QStringLiteral("{00000000-0000-0000-0000-000000000000}"));
    EXPECT_EQ(nullClassIdText(), classIdText(zero));
}

TEST(Qt3StreamClassIdText, ParsesWellFormedTexts)
{
    const unsigned char expected[16] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                                        0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0xAF, 0xFF};
    const char* accepted[] = {
        "{01020304-0506-0708-090a-0b0c0d0eafff}",
        "{01020304-0506-0708-090A-0B0C0D0EAFFF}",
        "01020304-0506-0708-090a-0b0c0d0eafff",
    };
    for (const char* text : accepted) {
        unsigned char out[16];
        ASSERT_TRUE(parseClassIdText(QString::fromLatin1(text), out)) << text;
        EXPECT_EQ(0, memcmp(out, expected, 16)) << text;
    }

    unsigned char out[16];
    memset(out, 0x55, sizeof out);
    ASSERT_TRUE(parseClassIdText(nullClassIdText(), out));
    const unsigned char zero[16] = {};
    EXPECT_EQ(0, memcmp(out, zero, 16));
}

TEST(Qt3StreamClassIdText, RefusesMalformedTexts)
{
    const char* refused[] = {
        "",
        "{}",
        "{01020304-0506-0708-090a-0b0c0d0eafff",
        "01020304-0506-0708-090a-0b0c0d0eafff}",
        "(01020304-0506-0708-090a-0b0c0d0eafff)",
        "{01020304-0506-0708-090a-0b0c0d0eaffg}",
        "{01020304-0506-0708-090a-0b0c0d0eafff}x",
        "{010203040-506-0708-090a-0b0c0d0eafff}",
        "{01020304-0506-0708-090a_0b0c0d0eafff}",
        "{ 1020304-0506-0708-090a-0b0c0d0eafff}",
        "{01020304-0506-0708-090a-0b0c0d0eafff}}",
    };
    for (const char* text : refused) {
        unsigned char out[16];
        memset(out, 0x55, sizeof out);
        EXPECT_FALSE(parseClassIdText(QString::fromLatin1(text), out)) << text;
        const unsigned char zero[16] = {};
        EXPECT_EQ(0, memcmp(out, zero, 16)) << text;
    }
    // A non-ASCII digit is no hexadecimal digit.
    unsigned char out[16];
    EXPECT_FALSE(parseClassIdText(QString::fromUtf8("{0102030\xd9\xa1-0506-0708-090a-0b0c0d0eafff}"), out));
}

TEST(Qt3StreamHeader, CompatibilityByMajorVersion)
{
    struct
    {
        const char* header;
        bool accepted;
    } cases[] = {
        {"Version;2.00;Application Name;VELMAR Mixwarden", true},
        {"Version;2.50;Application Name;Some Other Host", true},
        {"Version;2;A;B", true},
        {"Version;2.99;A;B;extra", true},
        {"Version;3.00;Application Name;VELMAR Mixwarden", false},
        {"Version;1.90;Application Name;VELMAR Mixwarden", false},
        {"Version;-2.00;Application Name;VELMAR Mixwarden", false},
        {"Version;2.00;Application Name", false},
        {"Version;2.00;Application Name;", false},
        {"Version;;2.00;Application Name", false},
        {"Version;abc;Application Name;VELMAR Mixwarden", false},
        {"Version;nan;Application Name;VELMAR Mixwarden", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isCompatibleStreamHeader(QString::fromLatin1(c.header)), c.accepted) << c.header;

    EXPECT_EQ(streamFormatVersion(), QStringLiteral("2.00"));
}
