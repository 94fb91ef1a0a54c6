#include "app/singleinstance.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QUrl>

namespace {
// The receiver's answer once it has the arguments.
const char kAck = '1';
} // namespace

SingleInstance::SingleInstance(const QString& dataDir, QObject* parent) : QObject(parent)
{
    const QByteArray hash =
        QCryptographicHash::hash(QDir::cleanPath(dataDir).toUtf8(), QCryptographicHash::Sha1);
    name_ = QStringLiteral("orvane-upload-client-") + QString::fromLatin1(hash.toHex().left(16));
}

SingleInstance::~SingleInstance()
{
    Close();
}

QStringList SingleInstance::FileArguments(const QStringList& arguments)
{
    QStringList out;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (arg.isEmpty() || arg.startsWith(QLatin1Char('-')))
            continue;
        // "Open with" may pass file:// URLs.
        const QString path = arg.startsWith(QLatin1String("file://")) ? QUrl(arg).toLocalFile() : arg;
        out << QFileInfo(path).absoluteFilePath();
    }
    return out;
}

bool SingleInstance::HandToRunning(const QStringList& arguments, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        out << arguments;
    }
    QDataStream stream(&socket);
    stream << payload;
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // A client that hangs (or is ending) never answers; then this process runs itself.
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    return socket.read(1) == QByteArray(1, kAck);
}

bool SingleInstance::Listen()
{
    if (server_)
        return true;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
    if (!server_->listen(name_)) {
        // Nobody answered HandToRunning, so the socket is a crashed run's leftover.
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_)) {
            qWarning().noquote() << "single instance listen failed:" << server_->errorString();
            delete server_;
            server_ = nullptr;
            return false;
        }
    }
    // A restarting client (another account) must find the name free at once.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &SingleInstance::Close, Qt::UniqueConnection);
    return true;
}

void SingleInstance::Close()
{
    if (!server_)
        return;
    server_->close();
    delete server_;
    server_ = nullptr;
}

void SingleInstance::OnNewConnection()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QDataStream in(socket);
            in.startTransaction();
            QByteArray payload;
            in >> payload;
            if (!in.commitTransaction())
                return; // not all there yet
            QStringList arguments;
            QDataStream args(payload);
            args >> arguments;
            socket->write(QByteArray(1, kAck));
            socket->flush();
            socket->disconnectFromServer();
            qInfo() << "arguments from a second start:" << arguments;
            emit SignalArguments(arguments);
        });
    }
}
