#pragma once
// The port tables of a MIDI port registry: per direction (0 input, 1 output), a port
// identity mapped to its encoded name, "<1-based platform index>;<display name>".
// The system registry fills them from the platform (TUniMIDIPortAccessor); the Workspace
// port model and the proxy's port list fill them their own way.
//
// Once filled the tables do not change, so readers on any thread need no lock.

#include <QList>
#include <QMap>
#include <QString>
#include <QUuid>

class TMIDIPortAccessor
{
public:
    static constexpr int kDirections = 2;
    static const char* const kUnknownPortName; // "<unknown port name>"

    TMIDIPortAccessor() = default;
    virtual ~TMIDIPortAccessor();

    // Appends the direction's identities in ascending port index.
    virtual void qUuids(int direction, QList<QUuid>& list) const;
    // "0;<unknown port name>" for a null or unknown identity.
    virtual QString encodedName(const QUuid& id) const;
    // The display name; "<unknown port name>" for a null or unknown identity.
    virtual QString friendlyName(const QUuid& id) const;
    // The 1-based platform index; 0 for a null or unknown identity.
    virtual int portID(const QUuid& id) const;
    // Fills a tagMPPORTDATA; the receiver frees every name and the array.
    virtual void MPGetPorts(int direction, void* pPortData);

    // Appends the identities of `table` in ascending order of their index; entries with
    // fewer than two fields are skipped, and of two with the same index the one met last
    // is kept.
    static void sortPortUuidById(const QMap<QUuid, QString>& table, QList<QUuid>& list);

    const QMap<QUuid, QString>& table(int direction) const;

protected:
    QMap<QUuid, QString> m_ports[kDirections];
};
