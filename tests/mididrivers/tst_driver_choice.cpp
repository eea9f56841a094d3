// Which driver the program uses, and the factories built on the choice.

#include "MIDIDriverFactory.h"
#include "TAppMIDITransportSource.h"
#include "TDriverTestSupport.h"
#include "TVirtualMIDI.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct TChoiceCase
{
    const char* name;
    const char* requested;
    bool alsa;
    bool jack;
    bool forced;
    TMIDIDriverKind expected;
    const char* reasonPart;
};

TEST(DriverChoice, FollowsTheVariableThenTheMachine)
{
    const TChoiceCase cases[] = {
        {"sequencer present", "", true, true, false, TMIDIDriverKind::Alsa, "/dev/snd/seq"},
        {"only a JACK server", "", false, true, false, TMIDIDriverKind::Jack, "JACK server is running"},
        {"nothing", "", false, false, false, TMIDIDriverKind::Virtual, "no running JACK server"},
        {"forced virtual", "virtual", true, true, true, TMIDIDriverKind::Virtual, "set by MW2_MIDI_DRIVER=virtual"},
        {"forced jack, any case", " JACK ", true, false, true, TMIDIDriverKind::Jack, "set by MW2_MIDI_DRIVER=jack"},
        {"forced alsa", "alsa", false, false, true, TMIDIDriverKind::Alsa, "set by MW2_MIDI_DRIVER=alsa"},
        {"unknown value", "coremidi", false, true, false, TMIDIDriverKind::Jack, "is not alsa, jack or virtual"},
    };
    for (const TChoiceCase& c : cases) {
        SCOPED_TRACE(c.name);
        int alsaProbes = 0;
        TMIDIDriverProbes probes;
        probes.alsaOpens = [&] { ++alsaProbes; return c.alsa; };
        probes.jackAnswers = [&] { return c.jack; };
        const TMIDIDriverChoice choice = chooseMIDIDriver(QString::fromLatin1(c.requested), probes);
        EXPECT_EQ(choice.kind, c.expected);
        EXPECT_TRUE(choice.reason.contains(QLatin1String(c.reasonPart))) << qPrintable(choice.reason);
        EXPECT_TRUE(choice.description().startsWith(QStringLiteral("MIDI: ") + choice.name()));
        if (c.forced) {
            EXPECT_EQ(alsaProbes, 0) << "a forced choice probes nothing";
        }
    }
}

TEST(DriverChoice, ProcessChoiceAndFactoriesUseTheVirtualService)
{
    // Set here rather than by the test runner, before the process makes its choice.
    qputenv(kMIDIDriverVariable, "virtual");
    const TMIDIDriverChoice& choice = MIDIDriverInUse();
    EXPECT_EQ(choice.kind, TMIDIDriverKind::Virtual);
    EXPECT_EQ(choice.description(),
              QStringLiteral("MIDI: virtual MIDI service (set by MW2_MIDI_DRIVER=virtual)"));

    std::unique_ptr<TMIDITransport> driver(MIDITransportInstance());
    ASSERT_NE(dynamic_cast<TVirtualMIDI*>(driver.get()), nullptr);

    QTemporaryDir user;
    QTemporaryDir system;
    ASSERT_TRUE(user.isValid() && system.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, user.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, system.path());
    TAppMIDITransportSource::setFactory(nullptr);
    std::unique_ptr<TMIDIPortAccessor> registry(MIDIPortAccessor());
    ASSERT_NE(registry, nullptr);
    EXPECT_EQ(TAppMIDITransportSource::factory(), &MIDITransportInstance);

    // The embedded service offers its loopback and simulated device.
    for (int direction : {0, 1}) {
        QList<QUuid> ids;
        registry->qUuids(direction, ids);
        QStringList names;
        for (const QUuid& id : ids)
            names << registry->friendlyName(id);
        EXPECT_EQ(names, (QStringList{QString::fromLatin1(TVirtualMIDIService::kLoopbackName),
                                      QString::fromLatin1(TVirtualMIDIService::kDeviceName)}));
    }
    TAppMIDITransportSource::setFactory(nullptr);
}

} // namespace
