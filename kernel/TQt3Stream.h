#pragma once
// The Workspace document is a Qt 3 data stream (stream version 6, big-endian). Qt 6 numbers
// its variant types differently, so typed values are encoded here byte by byte. Every writer
// produces the exact Qt 3 bytes whatever the stream's version or byte order; every reader
// treats its input as untrusted: lengths are checked against what the device can still
// deliver, nothing is allocated ahead of the bytes that justify it, and any damage ends in
// `false` with the stream's status set (ReadPastEnd or ReadCorruptData), never in a crash.

#include <QByteArray>
#include <QDataStream>
#include <QMap>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QUuid>
#include <QVariant>
#include <QtGlobal>

namespace NS_Utilities {

// Qt 3 variant type codes used by the document.
enum TQt3Type : quint32 {
    eQt3List = 2,
    eQt3String = 3,
    eQt3Rect = 8,
    eQt3Point = 14,
    eQt3Int = 16,
    eQt3UInt = 17,
};

// Lists inside lists deeper than this are refused, on writing and on reading.
constexpr int kMaxTypedListDepth = 16;

// The string count that stands for the null string.
constexpr quint32 kQt3NullStringCount = 0xFFFFFFFFu;

// Property maps of the document: keys in ascending order, typed values.
using TPropertyMap = QMap<QString, QVariant>;

// ---- writers -------------------------------------------------------------------------
// A writer that cannot write everything sets WriteFailed and writes nothing of the value.

void writeInt32(QDataStream& s, qint32 value);
void writeUInt32(QDataStream& s, quint32 value);
void writeString(QDataStream& s, const QString& text);   // null string -> 0xFFFFFFFF
void writeTypedString(QDataStream& s, const QString& text);
void writeTypedRect(QDataStream& s, const QRect& rect);  // left, top, right, bottom
void writeTypedPoint(QDataStream& s, const QPoint& point);
void writeTypedInt(QDataStream& s, qint32 value);
void writeTypedUInt(QDataStream& s, quint32 value);
void writeTypedBool(QDataStream& s, bool value);         // typed int 0 or 1
// False (and WriteFailed, nothing written) when an element cannot be encoded.
bool writeTypedList(QDataStream& s, const QVariantList& list);
// QString, QRect, QPoint, int, uint, bool (as typed int) and QVariantList of those.
// False (and WriteFailed, nothing written) for any other type or too deep a nesting.
bool writeTypedValue(QDataStream& s, const QVariant& value);
// Count, then per entry in ascending key order: key (no type code), typed value.
bool writePropertyMap(QDataStream& s, const TPropertyMap& map);
void writeRawBytes(QDataStream& s, const QByteArray& bytes);
// 16 bytes in the identity's text order.
void writeUuid(QDataStream& s, const QUuid& id);

// Whether writeTypedValue can encode the value.
bool isEncodableTypedValue(const QVariant& value);
// The bytes writeTypedValue would write; empty when the value cannot be encoded.
QByteArray encodeTypedValue(const QVariant& value);

// ---- readers -------------------------------------------------------------------------
// All readers fail at once when the stream's status is not Ok, and on failure leave their
// output empty (0, null string, invalid variant, empty map or byte array).

bool readInt32(QDataStream& s, qint32& value);
bool readUInt32(QDataStream& s, quint32& value);
bool readString(QDataStream& s, QString& text);           // keeps null apart from empty
bool readTypedValue(QDataStream& s, QVariant& value);
bool readPropertyMap(QDataStream& s, TPropertyMap& map);
bool readRawBytes(QDataStream& s, quint32 count, QByteArray& bytes);
bool readUuid(QDataStream& s, QUuid& id);

// A typed value of any type, converted to what the caller expects.
bool readTypedString(QDataStream& s, QString& text);
bool readTypedRect(QDataStream& s, QRect& rect);
bool readTypedPoint(QDataStream& s, QPoint& point);
bool readTypedInt(QDataStream& s, int& value);
bool readTypedUInt(QDataStream& s, uint& value);
bool readTypedBool(QDataStream& s, bool& value);

// Bytes the stream's device can still deliver; -1 when it cannot tell (sequential device).
qint64 remainingBytes(const QDataStream& s);

// ---- conversions of typed values, the toolkit's way ---------------------------------
// An invalid variant (for example a missing map entry, `map.value(key)`) gives 0, false,
// the null string, an invalid rectangle, (0, 0) or an empty list.

int toInt(const QVariant& value);
uint toUInt(const QVariant& value);
bool toBool(const QVariant& value);
QString toString(const QVariant& value);
QRect toRect(const QVariant& value);
QPoint toPoint(const QVariant& value);
QVariantList toList(const QVariant& value);

// ---- document frame ------------------------------------------------------------------

// "Version;2.00;Application Name;VELMAR Mixwarden" as a typed string.
void writeStreamHeader(QDataStream& s);
// The end marker: the all-zero class identifier text, then the null string, both typed.
void writeStreamEnds(QDataStream& s);
// The format version this program writes, and whether a header read back can be loaded:
// at least four non-empty ";" fields and a version with the same integral part.
QString streamFormatVersion();
bool isCompatibleStreamHeader(const QString& header);

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}", lower case, bytes in text order.
QString classIdText(const unsigned char bytes[16]);
// Accepts that form (any case, braces optional); false for anything else. The all-zero
// identifier parses (to 16 zero bytes): that is the end marker.
bool parseClassIdText(const QString& text, unsigned char out[16]);
// "{00000000-0000-0000-0000-000000000000}".
QString nullClassIdText();

} // namespace NS_Utilities
