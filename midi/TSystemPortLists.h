#pragma once
// The platform port lists behind the system port registry, one per driver. Each takes a
// snapshot of the service's ports when it is created, in the order the driver opens them
// by index, and names them as the user sees them.

#include "TUniMIDIPortAccessor.h"
#include "TVirtualMIDIService.h"

#include <QStringList>

// A port list held as names; index i is port i + 1 of the driver.
class TSnapshotMIDIPortAccessor : public TUniMIDIPortAccessor
{
public:
    int getNumPorts(int direction) const override;
    QString identifierForIndex(int direction, int index) const override;

protected:
    QStringList m_names[kDirections];
};

// ALSA sequencer: "client name:port name".
class TAlsaMIDIPortAccessor : public TSnapshotMIDIPortAccessor
{
public:
    TAlsaMIDIPortAccessor();
};

// JACK: the full port name "client:port".
class TJackMIDIPortAccessor : public TSnapshotMIDIPortAccessor
{
public:
    TJackMIDIPortAccessor();
};

// The in-process virtual service: the port names.
class TVirtualServicePortAccessor : public TSnapshotMIDIPortAccessor
{
public:
    explicit TVirtualServicePortAccessor(
        const TVirtualMIDIService& service = TVirtualMIDIService::instance());
};
