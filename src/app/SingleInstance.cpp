// SPDX-License-Identifier: GPL-3.0-or-later
#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pressel {

namespace {

// The socket's troubles go to the open requests' log, which they keep from arriving.
Q_LOGGING_CATEGORY(lcSingleInstance, "com.korvane.Pressel.DockDrop", QtInfoMsg)

constexpr qsizetype headerSize = 4;
constexpr char handledReply = '\x01';
// A sender that stalls halfway through its message is not waited for longer than this.
constexpr int connectionTimeoutMs = 10'000;

// A real folder of ours that nobody else may enter: a socket inside can be neither replaced
// nor reached by another user.
bool isPrivateFolder(const QString &path)
{
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

std::optional<QString> privateRuntimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && isPrivateFolder(runtime))
        return runtime;
    const QString fallback = QDir(QDir::tempPath()).filePath(QStringLiteral("pressel-%1").arg(::getuid()));
    // Made with owner-only rights; a folder that already exists is checked, never trusted.
    ::mkdir(QFile::encodeName(fallback).constData(), 0700);
    if (isPrivateFolder(fallback))
        return fallback;
    return std::nullopt;
}

// Ids become part of a file name: anything beyond a plain word is hashed.
QString fileNameSafeId(const QString &instanceId)
{
    static const QRegularExpression plainWord(QStringLiteral("^[A-Za-z0-9_-]{1,64}$"));
    if (plainWord.match(instanceId).hasMatch())
        return instanceId;
    return QString::fromLatin1(
        QCryptographicHash::hash(instanceId.toUtf8(), QCryptographicHash::Sha256).toHex().left(32));
}

bool isFromThisUser(const QLocalSocket *connection)
{
#ifdef SO_PEERCRED
    struct ucred credentials = {};
    socklen_t length = sizeof credentials;
    if (::getsockopt(int(connection->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
        return false;
    return credentials.uid == ::getuid();
#else
    // The folder's rights are the guard where the peer cannot be asked.
    Q_UNUSED(connection);
    return true;
#endif
}

} // namespace

SingleInstance::SingleInstance(const QString &instanceId, QObject *parent)
    : QObject(parent)
    , m_socketPath(socketPath(instanceId))
{
    if (!m_socketPath) {
        qCCritical(lcSingleInstance).noquote() << QStringLiteral(
            "No private folder for the instance socket; running on its own");
        m_isPrimary = true;
        return;
    }
    // The kernel lets go of the lock when its holder ends, however it ends, so a crashed
    // primary never blocks the next launch.
    const QByteArray lockPath = QFile::encodeName(*m_socketPath + QStringLiteral(".lock"));
    m_lockDescriptor = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lockDescriptor < 0) {
        qCCritical(lcSingleInstance).noquote()
            << QStringLiteral("Cannot open the instance lock %1; running on its own").arg(QFile::decodeName(lockPath));
        m_isPrimary = true;
        return;
    }
    if (::flock(m_lockDescriptor, LOCK_EX | LOCK_NB) == 0)
        becomePrimary(*m_socketPath);
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
    if (m_lockDescriptor >= 0)
        ::close(m_lockDescriptor);
}

QString SingleInstance::instanceIdFromEnvironment()
{
    const QString id = qEnvironmentVariable(instanceIdVariable);
    return id.isEmpty() ? QString::fromLatin1(defaultInstanceId) : id;
}

std::optional<QString> SingleInstance::socketPath(const QString &instanceId)
{
    const auto folder = privateRuntimeFolder();
    if (!folder)
        return std::nullopt;
    return QDir(*folder).filePath(QStringLiteral("pressel-%1.socket").arg(fileNameSafeId(instanceId)));
}

void SingleInstance::becomePrimary(const QString &socketPath)
{
    m_isPrimary = true;
    // Whatever sits at the path was left by a primary that is gone: we hold the lock.
    QLocalServer::removeServer(socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    if (!m_server->listen(socketPath))
        qCCritical(lcSingleInstance).noquote()
            << QStringLiteral("Cannot serve the instance socket %1: %2").arg(socketPath, m_server->errorString());
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *connection = m_server->nextPendingConnection()) {
        connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
        if (!isFromThisUser(connection)) {
            qCCritical(lcSingleInstance).noquote() << QStringLiteral("Dropped a connection from another user");
            connection->abort();
            continue;
        }
        serve(connection);
    }
}

// One message per connection: a 32-bit big-endian length, then that many bytes, then the
// reply once it has been handled. Anything else is dropped and the connection cut.
void SingleInstance::serve(QLocalSocket *connection)
{
    auto buffer = std::make_shared<QByteArray>();
    auto complete = std::make_shared<bool>(false);

    auto *timeout = new QTimer(connection);
    timeout->setSingleShot(true);
    connect(timeout, &QTimer::timeout, connection, [connection, buffer] {
        qCCritical(lcSingleInstance).noquote()
            << QStringLiteral("Dropped an incomplete message of %1 byte(s): the sender stalled").arg(buffer->size());
        buffer->clear();
        connection->abort();
    });
    timeout->start(connectionTimeoutMs);

    connect(connection, &QLocalSocket::disconnected, connection, [buffer, complete] {
        if (!*complete && !buffer->isEmpty())
            qCCritical(lcSingleInstance).noquote()
                << QStringLiteral("Dropped an incomplete message of %1 byte(s)").arg(buffer->size());
    });

    connect(connection, &QLocalSocket::readyRead, this, [this, connection, buffer, complete, timeout] {
        if (*complete) {
            connection->readAll();
            return;
        }
        buffer->append(connection->readAll());
        if (buffer->size() < headerSize)
            return;
        const quint32 declaredSize = qFromBigEndian<quint32>(buffer->constData());
        if (declaredSize > maximumMessageSize) {
            qCCritical(lcSingleInstance).noquote()
                << QStringLiteral("Dropped a message of %1 byte(s): the limit is %2")
                       .arg(QString::number(declaredSize), QString::number(maximumMessageSize));
            buffer->clear();
            connection->abort();
            return;
        }
        const qsizetype frameSize = headerSize + qsizetype(declaredSize);
        if (buffer->size() < frameSize)
            return;
        if (buffer->size() > frameSize) {
            qCCritical(lcSingleInstance).noquote()
                << QStringLiteral("Dropped a message with %1 byte(s) beyond its declared size")
                       .arg(buffer->size() - frameSize);
            buffer->clear();
            connection->abort();
            return;
        }
        *complete = true;
        timeout->stop();
        const QByteArray message = buffer->mid(headerSize);
        buffer->clear();
        emit messageReceived(message);
        connection->write(&handledReply, 1);
        connection->flush();
        connection->disconnectFromServer();
    });
}

bool SingleInstance::sendMessage(const QByteArray &message, int timeoutMs)
{
    if (m_isPrimary || !m_socketPath)
        return false;
    if (message.size() > maximumMessageSize) {
        qCCritical(lcSingleInstance).noquote() << QStringLiteral("Not sending a message of %1 byte(s): the limit is %2")
                                                .arg(QString::number(message.size()),
                                                     QString::number(maximumMessageSize));
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    // The primary holds the lock from its first moment but may not be listening yet.
    for (;;) {
        socket.connectToServer(*m_socketPath);
        if (socket.waitForConnected(int(deadline.remainingTime())))
            break;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }

    QByteArray frame(headerSize, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(message.size()), frame.data());
    frame += message;
    socket.write(frame);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
            return false;
    }
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    char reply = 0;
    return socket.getChar(&reply) && reply == handledReply;
}

} // namespace pressel
