#pragma once
// The sequencer ports Mixwarden offers, in one order shared by the driver (which opens
// them by index) and the port registry (which names them): clients in ascending number,
// their ports in ascending number. Sources are readable, subscribable ports, destinations
// writable, subscribable ones. Left out: the system client, ports that are not exported,
// and every client of this process, so that opening a port never shifts the indices.

#if MW_HAVE_ALSA

#include <alsa/asoundlib.h>

#include <QList>
#include <QString>

struct TAlsaPortRef
{
    int client = -1;
    int port = -1;
    QString clientName;
    QString portName;
};

QList<TAlsaPortRef> alsaSeqPorts(snd_seq_t* seq, int direction);

// A sequencer handle for listing only; null when there is no sequencer.
snd_seq_t* openAlsaSeqForListing();

#endif // MW_HAVE_ALSA
