#pragma once
// The system port registry: fills the port tables from the platform's port list and
// gives every port an identity that survives restarts, renumbering and absence. Ports are
// recognised by display name; identities are kept in the preferences under
// "/preferences/SystemPorts/" ("Input/portNames", "Input/portIds", "Output/...").
// Stored entries are only ever appended, so a port that was away gets its old identity
// back; two ports of the same name take the stored identities of that name in order.

#include "TMIDIPortAccessor.h"

#include <QSettings>

class TUniMIDIPortAccessor : public TMIDIPortAccessor
{
public:
    static const char* const kInputMarker;  // "<[Inp]>"
    static const char* const kOutputMarker; // "<[Out]>"

    // Builds both tables, reading and rewriting the stored identities in the current
    // preferences location (taking them over from the older one on first use).
    void init();
    void init(QSettings& current, QSettings& older);

    // The platform's port list; `index` is 0-based. An empty name skips the port.
    virtual int getNumPorts(int direction) const = 0;
    virtual QString identifierForIndex(int direction, int index) const = 0;

    // A platform name made fit for an encoded name: "Port #<index + 1>" when empty, and
    // ';' (the field separator) replaced by ','.
    static QString displayName(const QString& platformName, int index);

private:
    void initDirection(int direction, QSettings& current, QSettings& older);
};
