#include "MIDIDriverChoice.h"

#include <QCoreApplication>
#include <QtGlobal>

#include <fcntl.h>
#include <unistd.h>

#if MW_HAVE_JACK
#include "TJackPorts.h"
#endif

namespace {

constexpr bool kHaveAlsa =
#if MW_HAVE_ALSA
    true;
#else
    false;
#endif
constexpr bool kHaveJack =
#if MW_HAVE_JACK
    true;
#else
    false;
#endif

TMIDIDriverChoice automaticChoice(const TMIDIDriverProbes& probes)
{
    if (kHaveAlsa && probes.alsaOpens && probes.alsaOpens())
        return {TMIDIDriverKind::Alsa, QStringLiteral("/dev/snd/seq is available")};
    if (kHaveJack && probes.jackAnswers && probes.jackAnswers())
        return {TMIDIDriverKind::Jack,
                QStringLiteral("no ALSA sequencer; a JACK server is running")};
    return {TMIDIDriverKind::Virtual,
            QStringLiteral("no ALSA sequencer and no running JACK server: only built-in ports")};
}

} // namespace

QString TMIDIDriverChoice::name() const
{
    switch (kind) {
    case TMIDIDriverKind::Alsa:
        return QStringLiteral("ALSA sequencer");
    case TMIDIDriverKind::Jack:
        return QStringLiteral("JACK");
    case TMIDIDriverKind::Virtual:
        break;
    }
    return QStringLiteral("virtual MIDI service");
}

QString TMIDIDriverChoice::description() const
{
    return QStringLiteral("MIDI: %1 (%2)").arg(name(), reason);
}

TMIDIDriverProbes systemMIDIDriverProbes()
{
    TMIDIDriverProbes probes;
    probes.alsaOpens = [] {
        const int fd = ::open("/dev/snd/seq", O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return false;
        ::close(fd);
        return true;
    };
    probes.jackAnswers = [] {
#if MW_HAVE_JACK
        jack_client_t* client = openJackClient("Mixwarden probe");
        if (!client)
            return false;
        closeJackClient(client);
        return true;
#else
        return false;
#endif
    };
    return probes;
}

TMIDIDriverChoice chooseMIDIDriver(const QString& requested, const TMIDIDriverProbes& probes)
{
    const QString value = requested.trimmed().toLower();
    if (value.isEmpty())
        return automaticChoice(probes);

    const QString forced = QStringLiteral("set by %1=%2").arg(QLatin1String(kMIDIDriverVariable), value);
    if (value == QLatin1String("virtual"))
        return {TMIDIDriverKind::Virtual, forced};
    if (value == QLatin1String("alsa") && kHaveAlsa)
        return {TMIDIDriverKind::Alsa, forced};
    if (value == QLatin1String("jack") && kHaveJack)
        return {TMIDIDriverKind::Jack, forced};

    TMIDIDriverChoice choice = automaticChoice(probes);
    const bool known = value == QLatin1String("alsa") || value == QLatin1String("jack");
    choice.reason = (known ? QStringLiteral("%1=%2 is not built in; ")
                           : QStringLiteral("%1=%2 is not alsa, jack or virtual; "))
                        .arg(QLatin1String(kMIDIDriverVariable), requested.trimmed())
                    + choice.reason;
    return choice;
}

const TMIDIDriverChoice& MIDIDriverInUse()
{
    static const TMIDIDriverChoice choice = [] {
        const QString requested = qEnvironmentVariable(kMIDIDriverVariable);
        TMIDIDriverChoice c = chooseMIDIDriver(requested, systemMIDIDriverProbes());
        if (!requested.trimmed().isEmpty() && !c.reason.startsWith(QLatin1String("set by")))
            qWarning("%s", qPrintable(c.description()));
        return c;
    }();
    return choice;
}
