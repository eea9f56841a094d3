#pragma once
// Shared pieces of the driver tests: a recorder of the drivers' precondition reports and
// helpers for messages.

#include "TMidiTestSupport.h"

#include <QByteArray>
#include <QStringList>
#include <QtGlobal>

#include <mutex>

// Collects the conditions of "ASSERT: \"...\" in <unit> (n)" warnings while it lives.
class TAssertRecorder
{
public:
    TAssertRecorder()
    {
        {
            std::lock_guard<std::mutex> lock(s_mutex);
            s_seen.clear();
        }
        m_previous = qInstallMessageHandler(&TAssertRecorder::handler);
    }
    ~TAssertRecorder() { qInstallMessageHandler(m_previous); }

    // "<condition> in <unit>" for every report.
    QStringList seen() const
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        return s_seen;
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        static const QString prefix = QStringLiteral("ASSERT: \"");
        if (type != QtWarningMsg || !text.startsWith(prefix))
            return;
        const qsizetype close = text.indexOf(QStringLiteral("\" in "));
        const qsizetype paren = text.lastIndexOf(QStringLiteral(" ("));
        if (close < 0 || paren < close)
            return;
        std::lock_guard<std::mutex> lock(s_mutex);
        s_seen << text.mid(prefix.size(), close - prefix.size()) + QStringLiteral(" in ")
                      + text.mid(close + 5, paren - close - 5);
    }

    QtMessageHandler m_previous = nullptr;
    static inline std::mutex s_mutex;
    static inline QStringList s_seen;
};

inline Bytes toBytes(const QByteArray& array)
{
    return Bytes(array.begin(), array.end());
}

// A system-exclusive message of `total` bytes: 0xF0, data bytes counting up, 0xF7.
inline Bytes sysExMessage(int total)
{
    Bytes message(static_cast<size_t>(total));
    message.front() = 0xF0;
    for (int i = 1; i + 1 < total; ++i)
        message[static_cast<size_t>(i)] = static_cast<std::uint8_t>(i & 0x7F);
    message.back() = 0xF7;
    return message;
}
