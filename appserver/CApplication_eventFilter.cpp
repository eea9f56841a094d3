#include "CApplication.h"

#include <QWidget>

CApplication::EventClassHandling CApplication::eventClassHandling(quint32 eventClass)
{
    switch (eventClass) {
    case fourCharCode("appr"):
    case 1:
    case fourCharCode("appl"):
    case fourCharCode("eppc"):
    case fourCharCode("cmds"):
        return PassToNext;
    case fourCharCode("menu"):
        return ClosePopupsThenPass;
    default:
        return NotFiltered;
    }
}

bool CApplication::macEventFilter(quint32 eventClass, const NextHandler& callNextHandler,
                                  const PopupCloser& closePopups)
{
    switch (eventClassHandling(eventClass)) {
    case NotFiltered:
        return false;
    case ClosePopupsThenPass:
        // The host's menu must not open over a Qt pop-up that still grabs input.
        if (closePopups)
            closePopups();
        else
            closeQtPopups();
        break;
    case PassToNext:
        break;
    }
    const qint32 result = callNextHandler ? callNextHandler() : eventNotHandledErr;
    return result != eventNotHandledErr;
}

void CApplication::closeQtPopups()
{
    while (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
        if (QApplication::activePopupWidget() == popup) {
            // A pop-up that refuses to close must not keep us here forever.
            popup->hide();
            if (QApplication::activePopupWidget() == popup)
                break;
        }
    }
}
