#pragma once
// Identifier texts of bundle information <-> identifier bytes.

#include <kav/KAVTypes.h>

#include <QByteArray>
#include <QString>
#include <QUuid>

#include <cstring>

namespace NS_Utilities {

// The bytes of an identifier text ("XXXXXXXX-XXXX-..." with or without braces); all zero
// when the text is not a valid identifier.
inline CFUUIDBytes uuidBytesFromText(const QString& text)
{
    CFUUIDBytes bytes{};
    const QUuid uuid = QUuid::fromString(text);
    if (uuid.isNull())
        return bytes;
    const QByteArray raw = uuid.toRfc4122(); // text order
    std::memcpy(bytes.bytes, raw.constData(), sizeof bytes.bytes);
    return bytes;
}

inline bool isNullUuid(const CFUUIDBytes& id) { return id == CFUUIDBytes{}; }

// Upper-case text form, as written in Info.json.
inline QString uuidText(const CFUUIDBytes& id)
{
    return QString::fromStdString(NS_KAV::uuidToText(id));
}

} // namespace NS_Utilities
