#include "TQt3Stream.h"

#include <QIODevice>
#include <QStringList>
#include <QStringView>
#include <QtEndian>

#include <cstring>

namespace NS_Utilities {

namespace {

// Sequential devices cannot say how much is left, so long blocks are read in slices
// and memory grows only with the bytes that really arrived.
constexpr qint64 kSequentialChunk = 64 * 1024;

// QDataStream moves raw data in int-sized pieces.
constexpr qint64 kMaxRawSlice = 1 << 30;

// Smallest encodings: a typed value is a type code plus at least four bytes of payload;
// a map entry is a key (at least its count) plus a typed value.
constexpr qint64 kMinTypedValueSize = 8;
constexpr qint64 kMinMapEntrySize = 4 + kMinTypedValueSize;

// Largest string whose byte count stays below the null marker.
constexpr qsizetype kMaxStringUnits = qsizetype((kQt3NullStringCount - 1) / 2);

const char kHeaderPrefix[] = "Version;";
const char kFormatVersion[] = "2.00";
const char kHeaderSuffix[] = ";Application Name;VELMAR Mixwarden";

// ---- encoding into a byte array --------------------------------------------------------

void appendUInt32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

void appendInt32(QByteArray& out, qint32 value)
{
    appendUInt32(out, quint32(value));
}

bool appendString(QByteArray& out, const QString& text)
{
    if (text.isNull()) {
        appendUInt32(out, kQt3NullStringCount);
        return true;
    }
    const qsizetype units = text.size();
    if (units > kMaxStringUnits)
        return false;
    appendUInt32(out, quint32(units * 2));
    const qsizetype at = out.size();
    out.resize(at + units * 2);
    qToBigEndian<quint16>(text.utf16(), units, out.data() + at);
    return true;
}

void appendRect(QByteArray& out, const QRect& rect)
{
    appendUInt32(out, eQt3Rect);
    appendInt32(out, rect.left());
    appendInt32(out, rect.top());
    appendInt32(out, rect.right());
    appendInt32(out, rect.bottom());
}

void appendPoint(QByteArray& out, const QPoint& point)
{
    appendUInt32(out, eQt3Point);
    appendInt32(out, point.x());
    appendInt32(out, point.y());
}

bool appendTypedValue(QByteArray& out, const QVariant& value, int depth)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        appendUInt32(out, eQt3String);
        return appendString(out, value.toString());
    case QMetaType::QRect:
        appendRect(out, value.toRect());
        return true;
    case QMetaType::QPoint:
        appendPoint(out, value.toPoint());
        return true;
    case QMetaType::Int:
        appendUInt32(out, eQt3Int);
        appendInt32(out, value.toInt());
        return true;
    case QMetaType::Bool:
        appendUInt32(out, eQt3Int);
        appendInt32(out, value.toBool() ? 1 : 0);
        return true;
    case QMetaType::UInt:
        appendUInt32(out, eQt3UInt);
        appendUInt32(out, value.toUInt());
        return true;
    case QMetaType::QVariantList: {
        if (depth >= kMaxTypedListDepth)
            return false;
        const QVariantList list = value.toList();
        if (quint64(list.size()) > 0xFFFFFFFFu)
            return false;
        appendUInt32(out, eQt3List);
        appendUInt32(out, quint32(list.size()));
        for (const QVariant& element : list) {
            if (!appendTypedValue(out, element, depth + 1))
                return false;
        }
        return true;
    }
    default:
        return false;
    }
}

bool appendPropertyMap(QByteArray& out, const TPropertyMap& map)
{
    if (quint64(map.size()) > 0xFFFFFFFFu)
        return false;
    appendUInt32(out, quint32(map.size()));
    // QMap iterates in ascending key order (UTF-16 code unit order), as the format wants.
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (!appendString(out, it.key()) || !appendTypedValue(out, it.value(), 0))
            return false;
    }
    return true;
}

void writeEncoded(QDataStream& s, const QByteArray& bytes)
{
    if (s.status() != QDataStream::Ok)
        return;
    for (qint64 at = 0; at < bytes.size();) {
        const int slice = int(qMin<qint64>(kMaxRawSlice, bytes.size() - at));
        if (s.writeRawData(bytes.constData() + at, slice) != slice) {
            s.setStatus(QDataStream::WriteFailed);
            return;
        }
        at += slice;
    }
}

// ---- reading -----------------------------------------------------------------------------

bool fail(QDataStream& s, QDataStream::Status status)
{
    s.setStatus(status); // keeps an earlier error
    return false;
}

bool readExact(QDataStream& s, char* target, qint64 count)
{
    if (s.status() != QDataStream::Ok)
        return false;
    if (!s.device())
        return fail(s, QDataStream::ReadPastEnd);
    for (qint64 at = 0; at < count;) {
        const int slice = int(qMin<qint64>(kMaxRawSlice, count - at));
        if (s.readRawData(target + at, slice) != slice)
            return fail(s, QDataStream::ReadPastEnd);
        at += slice;
    }
    return true;
}

// Reads exactly `count` bytes without ever holding much more than what arrived.
bool readBlock(QDataStream& s, qint64 count, QByteArray& out)
{
    out.clear();
    if (s.status() != QDataStream::Ok)
        return false;
    QIODevice* device = s.device();
    if (!device)
        return fail(s, QDataStream::ReadPastEnd);
    if (count == 0)
        return true;
    if (!device->isSequential()) {
        if (count > device->bytesAvailable())
            return fail(s, QDataStream::ReadPastEnd);
        out.resize(count);
        if (!readExact(s, out.data(), count)) {
            out.clear();
            return false;
        }
        return true;
    }
    while (out.size() < count) {
        const qint64 at = out.size();
        const qint64 slice = qMin(kSequentialChunk, count - at);
        out.resize(at + slice);
        if (!readExact(s, out.data() + at, slice)) {
            out.clear();
            return false;
        }
    }
    return true;
}

// A count of entries that cannot fit into what remains is damage, found before any work.
bool countFits(QDataStream& s, quint32 count, qint64 minEntrySize)
{
    const qint64 remaining = remainingBytes(s);
    if (remaining >= 0 && qint64(count) > remaining / minEntrySize)
        return fail(s, QDataStream::ReadPastEnd);
    return true;
}

bool readTypedValueAt(QDataStream& s, QVariant& value, int depth)
{
    value = QVariant();
    quint32 type = 0;
    if (!readUInt32(s, type))
        return false;
    switch (type) {
    case eQt3String: {
        QString text;
        if (!readString(s, text))
            return false;
        value = text;
        return true;
    }
    case eQt3Rect: {
        qint32 left = 0, top = 0, right = 0, bottom = 0;
        if (!readInt32(s, left) || !readInt32(s, top) || !readInt32(s, right) || !readInt32(s, bottom))
            return false;
        value = QRect(QPoint(left, top), QPoint(right, bottom));
        return true;
    }
    case eQt3Point: {
        qint32 x = 0, y = 0;
        if (!readInt32(s, x) || !readInt32(s, y))
            return false;
        value = QPoint(x, y);
        return true;
    }
    case eQt3Int: {
        qint32 number = 0;
        if (!readInt32(s, number))
            return false;
        value = int(number);
        return true;
    }
    case eQt3UInt: {
        quint32 number = 0;
        if (!readUInt32(s, number))
            return false;
        value = uint(number);
        return true;
    }
    case eQt3List: {
        if (depth >= kMaxTypedListDepth)
            return fail(s, QDataStream::ReadCorruptData);
        quint32 count = 0;
        if (!readUInt32(s, count) || !countFits(s, count, kMinTypedValueSize))
            return false;
        QVariantList list; // grows with what was read, never reserved from the count
        for (quint32 i = 0; i < count; ++i) {
            QVariant element;
            if (!readTypedValueAt(s, element, depth + 1))
                return false;
            list.append(element);
        }
        value = list;
        return true;
    }
    default:
        return fail(s, QDataStream::ReadCorruptData);
    }
}

bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}

} // namespace

// ---- writers -------------------------------------------------------------------------------

void writeInt32(QDataStream& s, qint32 value)
{
    QByteArray out;
    appendInt32(out, value);
    writeEncoded(s, out);
}

void writeUInt32(QDataStream& s, quint32 value)
{
    QByteArray out;
    appendUInt32(out, value);
    writeEncoded(s, out);
}

void writeString(QDataStream& s, const QString& text)
{
    QByteArray out;
    if (!appendString(out, text)) {
        s.setStatus(QDataStream::WriteFailed);
        return;
    }
    writeEncoded(s, out);
}

void writeTypedString(QDataStream& s, const QString& text)
{
    QByteArray out;
    appendUInt32(out, eQt3String);
    if (!appendString(out, text)) {
        s.setStatus(QDataStream::WriteFailed);
        return;
    }
    writeEncoded(s, out);
}

void writeTypedRect(QDataStream& s, const QRect& rect)
{
    QByteArray out;
    appendRect(out, rect);
    writeEncoded(s, out);
}

void writeTypedPoint(QDataStream& s, const QPoint& point)
{
    QByteArray out;
    appendPoint(out, point);
    writeEncoded(s, out);
}

void writeTypedInt(QDataStream& s, qint32 value)
{
    QByteArray out;
    appendUInt32(out, eQt3Int);
    appendInt32(out, value);
    writeEncoded(s, out);
}

void writeTypedUInt(QDataStream& s, quint32 value)
{
    QByteArray out;
    appendUInt32(out, eQt3UInt);
    appendUInt32(out, value);
    writeEncoded(s, out);
}

void writeTypedBool(QDataStream& s, bool value)
{
    writeTypedInt(s, value ? 1 : 0);
}

bool writeTypedList(QDataStream& s, const QVariantList& list)
{
    return writeTypedValue(s, QVariant(list));
}

bool writeTypedValue(QDataStream& s, const QVariant& value)
{
    const QByteArray out = encodeTypedValue(value);
    if (out.isEmpty()) {
        s.setStatus(QDataStream::WriteFailed);
        return false;
    }
    writeEncoded(s, out);
    return s.status() == QDataStream::Ok;
}

bool writePropertyMap(QDataStream& s, const TPropertyMap& map)
{
    QByteArray out;
    if (!appendPropertyMap(out, map)) {
        s.setStatus(QDataStream::WriteFailed);
        return false;
    }
    writeEncoded(s, out);
    return s.status() == QDataStream::Ok;
}

void writeRawBytes(QDataStream& s, const QByteArray& bytes)
{
    writeEncoded(s, bytes);
}

void writeUuid(QDataStream& s, const QUuid& id)
{
    writeEncoded(s, id.toRfc4122());
}

bool isEncodableTypedValue(const QVariant& value)
{
    QByteArray scratch;
    return appendTypedValue(scratch, value, 0);
}

QByteArray encodeTypedValue(const QVariant& value)
{
    QByteArray out;
    if (!appendTypedValue(out, value, 0))
        return QByteArray();
    return out;
}

// ---- readers -------------------------------------------------------------------------------

qint64 remainingBytes(const QDataStream& s)
{
    const QIODevice* device = s.device();
    if (!device)
        return 0;
    if (device->isSequential())
        return -1;
    return qMax<qint64>(device->bytesAvailable(), 0);
}

bool readUInt32(QDataStream& s, quint32& value)
{
    value = 0;
    char bytes[4];
    if (!readExact(s, bytes, 4))
        return false;
    value = qFromBigEndian<quint32>(bytes);
    return true;
}

bool readInt32(QDataStream& s, qint32& value)
{
    quint32 raw = 0;
    const bool ok = readUInt32(s, raw);
    value = qint32(raw);
    return ok;
}

bool readString(QDataStream& s, QString& text)
{
    text = QString();
    quint32 count = 0;
    if (!readUInt32(s, count))
        return false;
    if (count == kQt3NullStringCount)
        return true;
    if (count % 2 != 0)
        return fail(s, QDataStream::ReadCorruptData);
    if (count == 0) {
        text = QString(QLatin1String("")); // empty, not null
        return true;
    }
    QByteArray raw;
    if (!readBlock(s, count, raw))
        return false;
    const qsizetype units = count / 2;
    text.resize(units);
    qFromBigEndian<quint16>(raw.constData(), units, text.data());
    return true;
}

bool readTypedValue(QDataStream& s, QVariant& value)
{
    return readTypedValueAt(s, value, 0);
}

bool readPropertyMap(QDataStream& s, TPropertyMap& map)
{
    map.clear();
    quint32 count = 0;
    if (!readUInt32(s, count) || !countFits(s, count, kMinMapEntrySize))
        return false;
    for (quint32 i = 0; i < count; ++i) {
        QString key;
        QVariant value;
        if (!readString(s, key) || !readTypedValue(s, value)) {
            map.clear();
            return false;
        }
        map.insert(key, value); // a repeated key keeps its last value
    }
    return true;
}

bool readRawBytes(QDataStream& s, quint32 count, QByteArray& bytes)
{
    return readBlock(s, count, bytes);
}

bool readUuid(QDataStream& s, QUuid& id)
{
    id = QUuid();
    char bytes[16];
    if (!readExact(s, bytes, 16))
        return false;
    id = QUuid::fromRfc4122(QByteArrayView(bytes, 16));
    return true;
}

bool readTypedString(QDataStream& s, QString& text)
{
    QVariant value;
    const bool ok = readTypedValue(s, value);
    text = toString(value);
    return ok;
}

bool readTypedRect(QDataStream& s, QRect& rect)
{
    QVariant value;
    const bool ok = readTypedValue(s, value);
    rect = toRect(value);
    return ok;
}

bool readTypedPoint(QDataStream& s, QPoint& point)
{
    QVariant value;
    const bool ok = readTypedValue(s, value);
    point = toPoint(value);
    return ok;
}

bool readTypedInt(QDataStream& s, int& number)
{
    QVariant value;
    const bool ok = readTypedValue(s, value);
    number = toInt(value);
    return ok;
}

bool readTypedUInt(QDataStream& s, uint& number)
{
    QVariant value;
    const bool ok = readTypedValue(s, value);
    number = toUInt(value);
    return ok;
}

bool readTypedBool(QDataStream& s, bool& flag)
{
    QVariant value;
    const bool ok = readTypedValue(s, value);
    flag = toBool(value);
    return ok;
}

// ---- conversions ---------------------------------------------------------------------------

// Between int and uint the bits are kept, as the old toolkit's casts did.
int toInt(const QVariant& value)
{
    if (value.typeId() == QMetaType::UInt)
        return int(value.toUInt());
    return value.toInt();
}

uint toUInt(const QVariant& value)
{
    if (value.typeId() == QMetaType::Int)
        return uint(value.toInt());
    return value.toUInt();
}

bool toBool(const QVariant& value)
{
    return value.toBool();
}

QString toString(const QVariant& value)
{
    return value.toString();
}

QRect toRect(const QVariant& value)
{
    return value.toRect();
}

QPoint toPoint(const QVariant& value)
{
    return value.toPoint();
}

QVariantList toList(const QVariant& value)
{
    return value.toList();
}

// ---- document frame ------------------------------------------------------------------------

void writeStreamHeader(QDataStream& s)
{
    writeTypedString(s, QLatin1String(kHeaderPrefix) + QLatin1String(kFormatVersion)
                            + QLatin1String(kHeaderSuffix));
}

void writeStreamEnds(QDataStream& s)
{
    writeTypedString(s, nullClassIdText());
    writeTypedString(s, QString());
}

QString streamFormatVersion()
{
    return QLatin1String(kFormatVersion);
}

bool isCompatibleStreamHeader(const QString& header)
{
    // Empty fields do not count, as with the old toolkit's default split.
    const QStringList fields = header.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (fields.size() < 4)
        return false;
    bool ok = false;
    const double version = fields.at(1).toDouble(&ok);
    const double own = QString::fromLatin1(kFormatVersion).toDouble();
    const double major = double(qint64(own));
    return ok && version >= major && version < major + 1.0;
}

QString classIdText(const unsigned char bytes[16])
{
    const QUuid id = QUuid::fromRfc4122(QByteArrayView(reinterpret_cast<const char*>(bytes), 16));
    return id.toString(QUuid::WithBraces);
}

bool parseClassIdText(const QString& text, unsigned char out[16])
{
    std::memset(out, 0, 16);
    QStringView body(text);
    if (body.size() == 38) {
        if (body.front() != QLatin1Char('{') || body.back() != QLatin1Char('}'))
            return false;
        body = body.sliced(1, 36);
    } else if (body.size() != 36) {
        return false;
    }
    for (qsizetype i = 0; i < body.size(); ++i) {
        const bool hyphenPlace = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphenPlace ? body[i] != QLatin1Char('-') : !isHexDigit(body[i]))
            return false;
    }
    // The shape is checked; QUuid turns the digits into bytes (all zero for the end marker).
    const QByteArray bytes = QUuid::fromString(body).toRfc4122();
    std::memcpy(out, bytes.constData(), 16);
    return true;
}

QString nullClassIdText()
{
    return QUuid().toString(QUuid::WithBraces);
}

} // namespace NS_Utilities
