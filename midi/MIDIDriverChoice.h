#pragma once
// Which MIDI service the program uses, decided once per process:
// MW2_MIDI_DRIVER = alsa | jack | virtual; otherwise the ALSA sequencer when /dev/snd/seq
// opens, else JACK when a server answers (none is started), else the built-in virtual
// service. The choice and its reason are shown to the user, so nobody wonders why no
// hardware port appears.

#include <QString>

#include <functional>

enum class TMIDIDriverKind { Alsa, Jack, Virtual };

struct TMIDIDriverChoice
{
    TMIDIDriverKind kind = TMIDIDriverKind::Virtual;
    QString reason;

    // "ALSA sequencer", "JACK" or "virtual MIDI service".
    QString name() const;
    // "MIDI: <name> (<reason>)", for the About box or the status bar.
    QString description() const;
};

// The environment variable that forces a driver.
inline constexpr const char* kMIDIDriverVariable = "MW2_MIDI_DRIVER";

// How the automatic choice looks at the machine; replaceable in tests.
struct TMIDIDriverProbes
{
    std::function<bool()> alsaOpens;   // /dev/snd/seq can be opened
    std::function<bool()> jackAnswers; // a JACK server is running
};
TMIDIDriverProbes systemMIDIDriverProbes();

// The decision for a given MW2_MIDI_DRIVER value (empty: not set).
TMIDIDriverChoice chooseMIDIDriver(const QString& requested, const TMIDIDriverProbes& probes);

// The process's choice, made on first use from the environment and the machine.
const TMIDIDriverChoice& MIDIDriverInUse();
