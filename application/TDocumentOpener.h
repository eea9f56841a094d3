#pragma once
// The desktop's open-document request: a path on the command line, or a later launch of
// the program that hands its path to the running instance over a local socket. Both end
// up as openDocumentWithPathname with an absolute path.

#include <QObject>
#include <QStringList>

class QLocalServer;

class TDocumentOpener : public QObject
{
    Q_OBJECT
public:
    explicit TDocumentOpener(QObject* parent = nullptr);
    ~TDocumentOpener() override;

    // Socket name: $MW2_INSTANCE_SOCKET, else one per user.
    static QString socketName();

    // Hands `paths` (may be empty: "come forward") to an instance that is already running.
    // Returns true when one took them; the caller should then quit.
    static bool forwardToRunningInstance(const QStringList& paths, int timeoutMs = 1000);

    // Starts listening for later launches; false when the socket cannot be created (the
    // program still runs, only without hand-over).
    bool listen();

    // The document paths among the program arguments (everything that is not an option).
    static QStringList documentArguments(const QStringList& arguments);

    // Emits the request for each path, made absolute.
    void deliver(const QStringList& paths);

signals:
    void openDocumentWithPathname(const QString& path);
    void activationRequested();

private:
    void handleConnection();

    QLocalServer* m_server = nullptr;
};
