#pragma once
// The JACK MIDI ports Mixwarden offers, in one order shared by the driver and the port
// registry: sources are MIDI output ports of other clients, destinations MIDI input
// ports, in the server's order. Clients of this process are left out, so that opening a
// port never shifts the indices.

#if MW_HAVE_JACK

#include <jack/jack.h>

#include <QStringList>

// Full port names ("client:port").
QStringList jackMidiPorts(jack_client_t* client, int direction);

// Opens a client without starting a server, remembering its name as one of ours;
// null when no server answers.
jack_client_t* openJackClient(const char* name);
void closeJackClient(jack_client_t* client);

// Routes JACK's own error and info texts to Qt's debug output (once per process).
void installJackMessageHandlers();

#endif // MW_HAVE_JACK
