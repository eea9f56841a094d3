#pragma once
// The one application server of the process. Every user takes a reference with Instance()
// before posting anything and gives it back with release(). When the process has no Qt
// application yet (a foreign host), the server creates and owns one (CApplication).

#include "mwserver_export.h"

#include <memory>

class QApplication;
class QObject;
class QRecursiveMutex;
class QThread;

class MWSERVER_EXPORT CAppServer
{
public:
    // Creates the server on first use, otherwise takes one more reference. Thread-safe.
    static CAppServer* Instance();
    void use();
    // Gives a reference back; the last one destroys the server (and an application it owns).
    void release();
    int usageCount() const;

    QThread* guiThread() const;
    // The process's Qt application object, whoever created it.
    QApplication* app() const;
    // A new one-shot dispatcher on the GUI thread for one TMarshallEvent; any thread.
    QObject* ms() const;
    // ms() of the server, or null when there is none.
    static QObject* MS();

    // Pushes a wait cursor now and posts its removal to `receiver` (default: MS()), so it
    // goes away once control is back in the event loop. GUI thread.
    static void PrepareForBusyAction(QObject* receiver = nullptr);
    void waitForTermination();

    static CAppServer* s_singleton;

private:
    CAppServer();
    ~CAppServer();
    CAppServer(const CAppServer&) = delete;
    CAppServer& operator=(const CAppServer&) = delete;

    static void handle_busyCursorPop(QObject*);

    int m_usageCount = 1;
    QApplication* m_application = nullptr; // owned; null when the host made the application
    QThread* m_guiThread = nullptr;
    std::unique_ptr<QRecursiveMutex> m_mutex;
};
