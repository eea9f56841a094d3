#include "TGuiThread.h"

#include <QThread>
#include <atomic>

namespace {
std::atomic<QThread*> s_guiThread{nullptr};
}

void setGuiThreadIfUnset(QThread* thread)
{
    QThread* expected = nullptr;
    s_guiThread.compare_exchange_strong(expected, thread);
}

QThread* guiThread()
{
    return s_guiThread.load();
}

bool mainThreadRunning()
{
    return QThread::currentThread() == s_guiThread.load();
}
