// Mixwarden program entry.
#include "ApplicationWindow.h"
#include "CAppServer.h"
#include "NS_Utilities.h"
#include "TDocumentOpener.h"

#include <QApplication>
#include <QSplashScreen>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication::setDesktopSettingsAware(false);
    auto* app = new QApplication(argc, argv);

    // A second launch hands its documents to the instance already running.
    const QStringList documents = TDocumentOpener::documentArguments(QCoreApplication::arguments());
    if (TDocumentOpener::forwardToRunningInstance(documents)) {
        delete app;
        return 0;
    }
    TDocumentOpener opener;
    opener.listen();

    CAppServer* server = CAppServer::Instance();

    QSplashScreen* splash = ApplicationWindow::splashScreen();
    if (splash) {
        splash->showMessage(QStringLiteral("V2.1.8"), Qt::AlignLeft | Qt::AlignBottom, Qt::white);
        // Let the splash reach the screen before the pause, which processes no events.
        QCoreApplication::processEvents();
        NS_Utilities::milisecondDelay(1000);
    }

    auto* window = new ApplicationWindow();
    if (window) {
        window->setWindowTitle(QString::fromLatin1(ApplicationWindow::kAppName));
        QObject::connect(&opener, &TDocumentOpener::openDocumentWithPathname, window,
                         &ApplicationWindow::createFromFile);
        QObject::connect(&opener, &TDocumentOpener::activationRequested, window,
                         &ApplicationWindow::setAppWindowActive);
        window->resize(600, 400);
        window->show();
        QObject::connect(app, &QGuiApplication::lastWindowClosed, app, &QCoreApplication::quit);
    }

    if (splash) {
        splash->finish(window);
        delete splash;
    }

    if (window) {
        opener.deliver(documents);
        QTimer::singleShot(100, window, &ApplicationWindow::yNewSession);
    }

    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar, true);

    const int result = app->exec();
    delete window;
    server->release();
    delete app;
    return result;
}
