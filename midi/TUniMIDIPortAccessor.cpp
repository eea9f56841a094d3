#include "TUniMIDIPortAccessor.h"

#include "TMIDIPortSettings.h"

#include <QStringList>

namespace {

struct TKeys
{
    QString names;
    QString ids;
    QString marker;
};

TKeys keysFor(int direction)
{
    const QString group = direction == 0 ? QStringLiteral("/preferences/SystemPorts/Input/")
                                         : QStringLiteral("/preferences/SystemPorts/Output/");
    return {group + QStringLiteral("portNames"), group + QStringLiteral("portIds"),
            QString::fromLatin1(direction == 0 ? TUniMIDIPortAccessor::kInputMarker
                                               : TUniMIDIPortAccessor::kOutputMarker)};
}

// Usable only as a whole: equal lengths, readable identities, names with two fields.
bool usable(const QStringList& names, const QStringList& ids)
{
    if (names.size() != ids.size())
        return false;
    for (const QString& id : ids)
        if (QUuid::fromString(id).isNull())
            return false;
    for (const QString& name : names)
        if (name.split(QLatin1Char(';'), Qt::SkipEmptyParts).size() < 2)
            return false;
    return true;
}

} // namespace

const char* const TUniMIDIPortAccessor::kInputMarker = "<[Inp]>";
const char* const TUniMIDIPortAccessor::kOutputMarker = "<[Out]>";

QString TUniMIDIPortAccessor::displayName(const QString& platformName, int index)
{
    if (platformName.isEmpty())
        return QStringLiteral("Port #%1").arg(index + 1);
    QString name = platformName;
    name.replace(QLatin1Char(';'), QLatin1Char(','));
    return name;
}

void TUniMIDIPortAccessor::init()
{
    const auto current = NS_Utilities::setNewPath();
    const auto older = NS_Utilities::setOldPath();
    init(*current, *older);
}

void TUniMIDIPortAccessor::init(QSettings& current, QSettings& older)
{
    initDirection(0, current, older);
    initDirection(1, current, older);
    current.sync();
}

void TUniMIDIPortAccessor::initDirection(int direction, QSettings& current, QSettings& older)
{
    const TKeys keys = keysFor(direction);
    QStringList names;
    QStringList ids;
    if (current.contains(keys.names)) {
        names = current.value(keys.names).toStringList();
        ids = current.value(keys.ids).toStringList();
    } else {
        names = older.value(keys.names).toStringList();
        ids = older.value(keys.ids).toStringList();
    }

    QStringList knownNames;
    QStringList knownIds;
    if (usable(names, ids)) {
        for (const QString& entry : names) {
            QString name = entry.split(QLatin1Char(';'), Qt::SkipEmptyParts).at(1);
            name.remove(keys.marker);
            knownNames.append(name);
        }
        knownIds = ids;
    } else {
        names.clear();
        ids.clear();
    }

    QMap<QUuid, QString>& ports = m_ports[direction];
    ports.clear();
    const int count = getNumPorts(direction);
    for (int i = 0; i < count; ++i) {
        const QString name = identifierForIndex(direction, i);
        if (name.isEmpty())
            continue;
        const QString encoded = QString::number(i + 1) + QLatin1Char(';') + name;
        QUuid id;
        const qsizetype k = knownNames.indexOf(name);
        if (k >= 0) {
            id = QUuid::fromString(knownIds.at(k));
            knownNames.removeAt(k);
            knownIds.removeAt(k);
        }
        // An identity stored twice would hide one port behind the other.
        if (id.isNull() || ports.contains(id)) {
            id = QUuid::createUuid();
            names.append(encoded + keys.marker);
            ids.append(id.toString());
        }
        ports.insert(id, encoded);
    }

    current.setValue(keys.names, names);
    current.setValue(keys.ids, ids);
}
