#pragma once
// Collects the Qt warnings issued while it lives.

#include <QStringList>
#include <QtGlobal>

class TWarningCatcher
{
public:
    TWarningCatcher()
    {
        s_warnings.clear();
        m_previous = qInstallMessageHandler(&TWarningCatcher::handler);
    }
    ~TWarningCatcher() { qInstallMessageHandler(m_previous); }

    QStringList warnings() const { return s_warnings; }

private:
    static void handler(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        if (type == QtWarningMsg)
            s_warnings << text;
    }

    QtMessageHandler m_previous = nullptr;
    static inline QStringList s_warnings;
};
