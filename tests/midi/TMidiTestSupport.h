#pragma once
// Helpers for the transport tests: a transport whose driver side only starts and stops
// the pusher, a receiver that records what it is handed, a warning recorder and a
// watchdog that turns a hang in a blocking call into a failed run.

#include "TMIDITransport.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// The parser and pusher with no platform behind them: tests feed read() directly.
class TTestTransport : public TMIDITransport
{
public:
    ~TTestTransport() override { closeInput(); }

    bool openInput(int, TMIDIReaderRefConInterface* receiver) override
    {
        setReceiver(receiver);
        return startPusherThread();
    }
    void closeInput() override { stopPusherThread(); }
    bool openOutput(int) override { return true; }
    void closeOutput() override {}
    bool outputData(int, unsigned char*, unsigned long) override { return false; }

    void feed(const Bytes& chunk) { read(static_cast<int>(chunk.size()), chunk.data()); }
};

// One delivered event as the receiver saw it.
struct TSeenEvent
{
    std::uint32_t type = 0;
    std::uint32_t channel = 0;
    std::uint32_t length = 0;
    Bytes data; // four inline bytes, or the system-exclusive bytes
    std::thread::id thread;
};

// Records every event; optionally blocks inside the first delivery until released, so that
// records pile up in the ring behind it.
class TRecordingReceiver : public TMIDIReaderRefConInterface
{
public:
    explicit TRecordingReceiver(bool holdFirst = false) : m_hold(holdFirst) {}

    void midiIn(tagMPEVENT* event) override
    {
        TSeenEvent seen;
        seen.type = event->type;
        seen.channel = event->channel;
        seen.length = event->length;
        seen.thread = std::this_thread::get_id();
        if (MPEventIsSystem(event->type))
            seen.data.assign(event->data.ptr, event->data.ptr + event->length);
        else
            seen.data.assign(event->data.bytes, event->data.bytes + 4);

        std::unique_lock<std::mutex> lock(m_mutex);
        m_events.push_back(std::move(seen));
        m_changed.notify_all();
        if (m_hold) {
            m_hold = false;
            m_holding = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_released; });
            m_holding = false;
        }
    }

    // True once the first delivery is blocked inside midiIn (bounded wait).
    bool waitHolding(std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [this] { return m_holding; });
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }
    // True once at least `count` events have arrived (bounded wait).
    bool waitCount(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_events.size() >= count; });
    }
    std::vector<TSeenEvent> events()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<TSeenEvent> m_events;
    bool m_hold = false;
    bool m_holding = false;
    bool m_released = false;
};

// Collects the conditions of "ASSERT: \"...\" in MIDITransport (n)" warnings while it lives.
class TMidiWarningRecorder
{
public:
    TMidiWarningRecorder()
    {
        {
            std::lock_guard<std::mutex> lock(s_mutex);
            s_conditions.clear();
            s_other.clear();
        }
        m_previous = qInstallMessageHandler(&TMidiWarningRecorder::handler);
    }
    ~TMidiWarningRecorder() { qInstallMessageHandler(m_previous); }

    QStringList conditions() const
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        return s_conditions;
    }
    QStringList otherWarnings() const
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        return s_other;
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        if (type != QtWarningMsg)
            return;
        static const QString prefix = QStringLiteral("ASSERT: \"");
        static const QString suffix = QStringLiteral("\" in MIDITransport (");
        std::lock_guard<std::mutex> lock(s_mutex);
        const qsizetype end = text.indexOf(suffix);
        if (text.startsWith(prefix) && end > 0 && text.endsWith(QLatin1Char(')')))
            s_conditions << text.mid(prefix.size(), end - prefix.size());
        else
            s_other << text;
    }

    QtMessageHandler m_previous = nullptr;
    static inline std::mutex s_mutex;
    static inline QStringList s_conditions;
    static inline QStringList s_other;
};

// Aborts the test program if it is still alive after `seconds`: for calls that block
// without a limit by design (closing an input waits for every delivery).
class TWatchdog
{
public:
    explicit TWatchdog(int seconds, const char* what)
        : m_thread([this, seconds, what] {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_done.wait_for(lock, std::chrono::seconds(seconds), [this] { return m_finished; })) {
                std::fprintf(stderr, "watchdog: '%s' did not finish within %d s\n", what, seconds);
                std::abort();
            }
        })
    {
    }
    ~TWatchdog()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};
