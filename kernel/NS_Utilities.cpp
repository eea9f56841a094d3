#include "NS_Utilities.h"

#include <QApplication>
#include <QThread>
#include <QWidget>
#include <QtGlobal>

namespace NS_Utilities {

void reportAssert(const char* cond, const char* source, int line)
{
    qWarning("ASSERT: \"%s\" in %s (%d)", cond ? cond : "", source ? source : "", line);
}

bool cancelPopupWidgets()
{
    // Without a widget application there can be no popup.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return true;
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    return QApplication::activePopupWidget() == nullptr;
}

void milisecondDelay(long ms)
{
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

} // namespace NS_Utilities
