#include "TMIDIPortAccessor.h"

#include "MIDIAssert.h"

#include <kav/KAVHelpers.h>
#include <kav/KAVRecords.h>

#include <cstdlib>
#include <cstring>
#include <map>

namespace {

constexpr const char* kSource = "MIDITransport";

QStringList fields(const QString& encoded)
{
    return encoded.split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

bool validDirection(int direction)
{
    return direction == 0 || direction == 1;
}

} // namespace

const char* const TMIDIPortAccessor::kUnknownPortName = "<unknown port name>";

TMIDIPortAccessor::~TMIDIPortAccessor() = default;

const QMap<QUuid, QString>& TMIDIPortAccessor::table(int direction) const
{
    static const QMap<QUuid, QString> empty;
    return validDirection(direction) ? m_ports[direction] : empty;
}

void TMIDIPortAccessor::sortPortUuidById(const QMap<QUuid, QString>& table, QList<QUuid>& list)
{
    std::map<unsigned, QUuid> byIndex;
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        const QStringList parts = fields(it.value());
        if (parts.size() < 2)
            continue;
        byIndex[parts[0].toUInt()] = it.key();
    }
    for (const auto& [index, id] : byIndex)
        list.append(id);
}

void TMIDIPortAccessor::qUuids(int direction, QList<QUuid>& list) const
{
    sortPortUuidById(table(direction), list);
}

QString TMIDIPortAccessor::encodedName(const QUuid& id) const
{
    if (!id.isNull()) {
        for (const auto& ports : m_ports) {
            const auto it = ports.constFind(id);
            if (it != ports.cend())
                return it.value();
        }
    }
    return QStringLiteral("0;") + QLatin1String(kUnknownPortName);
}

QString TMIDIPortAccessor::friendlyName(const QUuid& id) const
{
    const QStringList parts = fields(encodedName(id));
    return parts.size() >= 2 ? parts[1] : QString();
}

int TMIDIPortAccessor::portID(const QUuid& id) const
{
    const QStringList parts = fields(encodedName(id));
    return parts.isEmpty() ? 0 : parts[0].toInt();
}

void TMIDIPortAccessor::MPGetPorts(int direction, void* pPortData)
{
    MW_MIDI_ASSERT(pPortData, "pPortData", kSource);
    if (!pPortData)
        return;
    auto* data = static_cast<tagMPPORTDATA*>(pPortData);
    data->count = 0;
    data->ports = nullptr;
    const QMap<QUuid, QString>& ports = table(direction);
    if (ports.isEmpty())
        return;
    auto* entries = static_cast<tagMPPORT*>(std::calloc(static_cast<size_t>(ports.size()),
                                                        sizeof(tagMPPORT)));
    if (!entries)
        return;
    QList<QUuid> order;
    sortPortUuidById(ports, order);
    std::uint32_t count = 0;
    for (const QUuid& id : order) {
        const QStringList parts = fields(ports.value(id));
        if (parts.size() < 2)
            continue;
        tagMPPORT& entry = entries[count];
        entry.port = parts[0].toUInt();
        const QByteArray bytes = id.toRfc4122();
        std::memcpy(entry.identity.bytes, bytes.constData(), sizeof entry.identity.bytes);
        entry.name = CreateOLEString(parts[1]);
        ++count;
    }
    if (count == 0) {
        std::free(entries);
        return;
    }
    data->count = count;
    data->ports = entries;
}
