#pragma once
// The Qt application the server creates inside a foreign host. The host owns the event loop:
// a 1 ms GLib timeout on the default main context sends Qt's posted events and fires its due
// timers (hosts without GLib call MW21_PumpEvents() instead).

#include "mwserver_export.h"

#include <QApplication>

#include <functional>

class MWSERVER_EXPORT CApplication : public QApplication
{
    Q_OBJECT
public:
    CApplication(int& argc, char** argv);
    ~CApplication() override;

    // --- Which host events bypass Qt, by their four-character event class. ---
    enum EventClassHandling {
        NotFiltered,        // Qt processes the event
        PassToNext,         // the host's next handler gets it
        ClosePopupsThenPass // open Qt pop-ups close first, then the next handler gets it
    };
    static constexpr qint32 eventNotHandledErr = -9874;

    static constexpr quint32 fourCharCode(const char (&code)[5])
    {
        return (quint32(quint8(code[0])) << 24) | (quint32(quint8(code[1])) << 16)
            | (quint32(quint8(code[2])) << 8) | quint32(quint8(code[3]));
    }

    static EventClassHandling eventClassHandling(quint32 eventClass);

    using NextHandler = std::function<qint32()>;
    using PopupCloser = std::function<void()>;
    // Returns true when the host consumed the event, false when Qt should process it (not
    // filtered, or the next handler answered eventNotHandledErr). An empty closer closes
    // the real Qt pop-ups; an empty next handler counts as "not handled".
    static bool macEventFilter(quint32 eventClass, const NextHandler& callNextHandler,
                               const PopupCloser& closePopups = {});
    static void closeQtPopups();

private:
    unsigned int m_timerSource = 0; // GLib source id, 0 when none
};
