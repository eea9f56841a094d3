#include "TDocumentOpener.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <memory>

#include <unistd.h>

namespace {
// One path per line, UTF-8; an empty message asks the running instance to come forward.
constexpr qint64 kMaxMessage = 64 * 1024;
}

TDocumentOpener::TDocumentOpener(QObject* parent)
    : QObject(parent)
{
}

TDocumentOpener::~TDocumentOpener() = default;

QString TDocumentOpener::socketName()
{
    const QString configured = qEnvironmentVariable("MW2_INSTANCE_SOCKET");
    if (!configured.isEmpty())
        return configured;
    return QStringLiteral("mixwarden-%1").arg(::getuid());
}

bool TDocumentOpener::forwardToRunningInstance(const QStringList& paths, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketName());
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray message;
    for (const QString& path : paths)
        message += QFileInfo(path).absoluteFilePath().toUtf8() + '\n';
    socket.write(message);
    socket.flush();
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

bool TDocumentOpener::listen()
{
    if (m_server)
        return true;
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(socketName())) {
        // A socket left behind by an instance that died: nobody answered on it.
        QLocalServer::removeServer(socketName());
        if (!server->listen(socketName())) {
            delete server;
            return false;
        }
    }
    connect(server, &QLocalServer::newConnection, this, &TDocumentOpener::handleConnection);
    m_server = server;
    return true;
}

void TDocumentOpener::handleConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [socket, buffer] {
            buffer->append(socket->readAll());
            if (buffer->size() > kMaxMessage)
                socket->abort();
        });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            socket->deleteLater();
            if (buffer->size() > kMaxMessage)
                return;
            QStringList paths;
            for (const QByteArray& line : buffer->split('\n'))
                if (!line.isEmpty())
                    paths << QString::fromUtf8(line);
            if (paths.isEmpty())
                emit activationRequested();
            else
                deliver(paths);
        });
    }
}

QStringList TDocumentOpener::documentArguments(const QStringList& arguments)
{
    QStringList paths;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg.startsWith(QLatin1Char('-')))
            continue;
        paths << arg;
    }
    return paths;
}

void TDocumentOpener::deliver(const QStringList& paths)
{
    for (const QString& path : paths)
        emit openDocumentWithPathname(QFileInfo(path).absoluteFilePath());
}
