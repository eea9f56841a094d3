// The JACK driver end to end: a private "jackd -d dummy" started by this test, a
// pass-through client of the test between two ports, the driver's output sending into it
// and the driver's input receiving from it.

#include "TDriverTestSupport.h"

#if MW_HAVE_JACK

#include "TJackMIDI.h"
#include "TJackPorts.h"
#include "TSystemPortLists.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

// A jackd of our own under a private server name; stopped by PID when the suite ends,
// whatever happened.
class TPrivateJackServer
{
public:
    bool start(QString* why)
    {
        const QString jackd = QStandardPaths::findExecutable(QStringLiteral("jackd"));
        if (jackd.isEmpty()) {
            *why = QStringLiteral("jackd is not installed");
            return false;
        }
        m_name = QStringLiteral("mwtest-%1").arg(QCoreApplication::applicationPid());
        // Every client of this process talks to the private server.
        qputenv("JACK_DEFAULT_SERVER", m_name.toLocal8Bit());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("JACK_NO_AUDIO_RESERVATION"), QStringLiteral("1"));
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        // Synchronous, with a long client time-out: on a loaded machine or in a sanitizer
        // build a late client must neither be thrown out nor have its cycle's data lost.
        m_process.start(jackd, {QStringLiteral("--no-realtime"), QStringLiteral("--sync"),
                                QStringLiteral("-t"), QStringLiteral("20000"),
                                QStringLiteral("-n"), m_name,
                                QStringLiteral("-d"), QStringLiteral("dummy"), QStringLiteral("-r"),
                                QStringLiteral("48000"), QStringLiteral("-p"), QStringLiteral("256"),
                                QStringLiteral("-w"), QStringLiteral("5333")});
        if (!m_process.waitForStarted(10000)) {
            *why = QStringLiteral("jackd did not start: ") + m_process.errorString();
            return false;
        }
        // Ready when a client can connect (bounded wait).
        const QDeadlineTimer deadline(15000);
        while (!deadline.hasExpired()) {
            if (m_process.state() != QProcess::Running)
                break;
            if (jack_client_t* probe = openJackClient("mwtest probe")) {
                closeJackClient(probe);
                return true;
            }
            m_process.waitForReadyRead(100);
        }
        *why = QStringLiteral("jackd -d dummy did not come up: ")
               + QString::fromLocal8Bit(m_process.readAll()).right(400);
        stop();
        return false;
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate(); // SIGTERM to our own PID
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    ~TPrivateJackServer() { stop(); }

private:
    QString m_name;
    QProcess m_process;
};

// A client of the test: whatever arrives at "thru:in" leaves at "thru:out".
class TThruClient
{
public:
    bool open()
    {
        jack_status_t status{};
        m_client = jack_client_open("thru", JackNoStartServer, &status);
        if (!m_client)
            return false;
        m_in = jack_port_register(m_client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        m_out = jack_port_register(m_client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(m_client, &TThruClient::process, this);
        return m_in && m_out && jack_activate(m_client) == 0;
    }
    ~TThruClient()
    {
        if (m_client) {
            jack_deactivate(m_client);
            jack_client_close(m_client);
        }
    }
    QString name() const { return QString::fromLocal8Bit(jack_get_client_name(m_client)); }

private:
    static int process(jack_nframes_t frames, void* self)
    {
        auto* thru = static_cast<TThruClient*>(self);
        void* in = jack_port_get_buffer(thru->m_in, frames);
        void* out = jack_port_get_buffer(thru->m_out, frames);
        jack_midi_clear_buffer(out);
        const jack_nframes_t count = jack_midi_get_event_count(in);
        for (jack_nframes_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, in, i) == 0)
                jack_midi_event_write(out, event.time, event.buffer, event.size);
        }
        return 0;
    }

    jack_client_t* m_client = nullptr;
    jack_port_t* m_in = nullptr;
    jack_port_t* m_out = nullptr;
};

class JackDriver : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_server = new TPrivateJackServer;
        if (!s_server->start(&s_whyNot)) {
            delete s_server;
            s_server = nullptr;
        }
    }
    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
    }
    void SetUp() override
    {
        if (!s_server)
            GTEST_SKIP() << "no private JACK server: " << qPrintable(s_whyNot);
        ASSERT_TRUE(m_thru.open());
    }

    // 1-based index of a port in the driver's list of a direction.
    static int indexOf(jack_client_t* client, int direction, const QString& name)
    {
        return static_cast<int>(jackMidiPorts(client, direction).indexOf(name)) + 1;
    }

    TThruClient m_thru;
    static inline TPrivateJackServer* s_server = nullptr;
    static inline QString s_whyNot;
};

TEST_F(JackDriver, NoteAndLongSysExTravelEndToEnd)
{
    TJackMIDI out;
    TJackMIDI in;
    ASSERT_TRUE(out.hasClient());
    ASSERT_TRUE(in.hasClient());

    jack_client_t* lister = openJackClient("mwtest lister");
    ASSERT_NE(lister, nullptr);
    const int destination = indexOf(lister, 1, m_thru.name() + QStringLiteral(":in"));
    const int source = indexOf(lister, 0, m_thru.name() + QStringLiteral(":out"));
    closeJackClient(lister);
    ASSERT_GT(destination, 0);
    ASSERT_GT(source, 0);

    TRecordingReceiver receiver;
    ASSERT_TRUE(out.openOutput(destination));
    ASSERT_TRUE(in.openInput(source, &receiver));

    unsigned char note[] = {0x3C, 0x40};
    ASSERT_TRUE(out.outputData(2, note, 0x92));
    Bytes message = sysExMessage(5000);
    ASSERT_TRUE(out.outputData(4999, message.data() + 1, 0xF0));

    const bool arrived = receiver.waitCount(2, std::chrono::seconds(20));
    const auto events = receiver.events();
    ASSERT_TRUE(arrived) << events.size() << " event(s) arrived, " << in.droppedInput() << " dropped";
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, MPEVENT_NOTEON);
    EXPECT_EQ(events[0].channel, 2u);
    EXPECT_EQ(events[0].data, (Bytes{0x3C, 0x40, 0, 0}));
    EXPECT_EQ(events[1].type, MPEVENT_SYSEX);
    EXPECT_EQ(events[1].length, 4999u);
    EXPECT_EQ(events[1].data, Bytes(message.begin() + 1, message.end()));
    EXPECT_EQ(in.droppedInput(), 0u);

    in.closeInput();
    out.closeOutput();
    EXPECT_EQ(in.pusherThread(), nullptr);
}

TEST_F(JackDriver, OwnPortsAreNotListedAndOthersAreNamedInFull)
{
    TJackMIDI driver;
    TRecordingReceiver receiver;
    TJackMIDIPortAccessor before;
    // Registering the driver's own ports must not shift anybody's index.
    ASSERT_FALSE(driver.openInput(99, &receiver));
    ASSERT_FALSE(driver.openOutput(99));
    ASSERT_FALSE(driver.inputPortName().isEmpty());
    TJackMIDIPortAccessor after;
    for (int direction : {0, 1}) {
        ASSERT_EQ(before.getNumPorts(direction), after.getNumPorts(direction));
        QStringList names;
        for (int i = 0; i < after.getNumPorts(direction); ++i)
            names << after.identifierForIndex(direction, i);
        EXPECT_TRUE(names.contains(m_thru.name() + (direction == 0 ? QStringLiteral(":out")
                                                                   : QStringLiteral(":in"))))
            << qPrintable(names.join(QLatin1Char(',')));
        EXPECT_FALSE(names.contains(driver.inputPortName()));
        EXPECT_FALSE(names.contains(driver.outputPortName()));
    }
}

} // namespace

#else
#include <gtest/gtest.h>
TEST(JackDriver, NotBuilt)
{
    GTEST_SKIP() << "built without JACK (libjack-jackd2-dev missing)";
}
#endif
