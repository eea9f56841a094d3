// The ALSA driver against a real sequencer. Port and connection tests need
// /dev/snd/seq and a loopback port (the kernel's "Midi Through"); they skip elsewhere.

#include "TDriverTestSupport.h"

#if MW_HAVE_ALSA

#include "TAlsaMIDI.h"
#include "TSystemPortLists.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

bool haveSequencer()
{
    return access("/dev/snd/seq", R_OK | W_OK) == 0;
}

TEST(AlsaDriver, WithoutSequencerEveryOpenFails)
{
    if (haveSequencer())
        GTEST_SKIP() << "this machine has an ALSA sequencer";
    TAlsaMIDI driver;
    TRecordingReceiver receiver;
    EXPECT_FALSE(driver.hasClient());
    EXPECT_FALSE(driver.openInput(1, &receiver));
    EXPECT_EQ(driver.pusherThread(), nullptr);
    EXPECT_FALSE(driver.openOutput(1));
    unsigned char note[] = {0x3C, 0x40};
    EXPECT_FALSE(driver.outputData(2, note, 0x90));
    TAlsaMIDIPortAccessor ports;
    EXPECT_EQ(ports.getNumPorts(0), 0);
    EXPECT_EQ(ports.getNumPorts(1), 0);
}

class AlsaSequencer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!haveSequencer())
            GTEST_SKIP() << "no ALSA sequencer: /dev/snd/seq does not exist or cannot be opened";
        TAlsaMIDIPortAccessor ports;
        for (int direction : {0, 1}) {
            for (int i = 0; i < ports.getNumPorts(direction); ++i)
                if (ports.identifierForIndex(direction, i).startsWith(QStringLiteral("Midi Through:"))) {
                    m_through[direction] = i + 1;
                    break;
                }
        }
        if (m_through[0] == 0 || m_through[1] == 0)
            GTEST_SKIP() << "no \"Midi Through\" loopback port (load snd-seq-dummy)";
    }

    int m_through[2] = {0, 0};
};

TEST_F(AlsaSequencer, ThroughPortCarriesNoteAndLongSysEx)
{
    TAlsaMIDI out;
    TAlsaMIDI in;
    TRecordingReceiver receiver;
    ASSERT_TRUE(out.openOutput(m_through[1]));
    ASSERT_TRUE(in.openInput(m_through[0], &receiver));

    unsigned char note[] = {0x3C, 0x40};
    ASSERT_TRUE(out.outputData(2, note, 0x90));
    Bytes message = sysExMessage(5000);
    ASSERT_TRUE(out.outputData(4999, message.data() + 1, 0xF0));

    ASSERT_TRUE(receiver.waitCount(2));
    const auto events = receiver.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, MPEVENT_NOTEON);
    EXPECT_EQ(events[1].type, MPEVENT_SYSEX);
    EXPECT_EQ(events[1].data, Bytes(message.begin() + 1, message.end()));
}

TEST_F(AlsaSequencer, RegistryNamesClientAndPort)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QSettings current(dir.filePath(QStringLiteral("a.ini")), QSettings::IniFormat);
    QSettings older(dir.filePath(QStringLiteral("b.ini")), QSettings::IniFormat);
    TAlsaMIDIPortAccessor registry;
    registry.init(current, older);
    QList<QUuid> ids;
    registry.qUuids(0, ids);
    ASSERT_GE(ids.size(), m_through[0]);
    EXPECT_TRUE(registry.friendlyName(ids[m_through[0] - 1]).startsWith(QStringLiteral("Midi Through:")));
    EXPECT_EQ(registry.portID(ids[m_through[0] - 1]), m_through[0]);
}

} // namespace

#endif // MW_HAVE_ALSA
