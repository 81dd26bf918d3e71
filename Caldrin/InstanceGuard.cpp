#include "InstanceGuard.h"

#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace {

const QString kNamePrefix = QStringLiteral("org.caldrin.Caldrin.");
const QString kInterface = QStringLiteral("org.caldrin.Caldrin.Instance");
// The owner answers from its event loop, which turns once its store is open and
// its window made: as long as D-Bus waits for a reply by default.
constexpr int kAnswerTimeoutMs = 25000;
// A start that finds the owner gone between two steps tries again this often.
constexpr int kAttempts = 3;
const QByteArray kActivateCommand = "activate ";

QString canonicalFolder(const QString& folder) {
    // The folder may not exist yet on a first start; it is made here, as the
    // store would make it, so that every spelling of one path gives one key.
    QDir().mkpath(folder);
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(folder).absoluteFilePath()) : canonical;
}

QString activationToken() {
    return qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
}

} // namespace

InstanceGuard::InstanceGuard(const QString& dataFolder, QObject* parent)
    : QObject(parent)
    , m_dataFolder(dataFolder) {}

InstanceGuard::~InstanceGuard() = default;

QString InstanceGuard::keyFor(const QString& dataFolder) {
    const QByteArray hash =
        QCryptographicHash::hash(canonicalFolder(dataFolder).toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("d") + QString::fromLatin1(hash.toHex().left(16));
}

QString InstanceGuard::serviceName(const QString& dataFolder) {
    return kNamePrefix + keyFor(dataFolder);
}

QString InstanceGuard::socketPath(const QString& dataFolder) {
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QLatin1Char('/') +
           serviceName(dataFolder);
}

QString InstanceGuard::objectPath() {
    return QStringLiteral("/org/caldrin/Caldrin");
}

InstanceGuard::Claim InstanceGuard::claim() {
    if (QDBusConnection::sessionBus().isConnected()) {
        m_usesSessionBus = true;
        return claimOnSessionBus();
    }
    m_usesSessionBus = false;
    return claimOnSocket();
}

void InstanceGuard::Activate(const QString& token) {
    // Qt's Wayland integration takes the compositor's token from here when the
    // window asks to be activated.
    if (!token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    emit activationRequested();
}

InstanceGuard::Claim InstanceGuard::claimOnSessionBus() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString name = serviceName(m_dataFolder);
    // The object is there before the name, so that whoever sees the name can call it.
    if (!bus.registerObject(objectPath(), this, QDBusConnection::ExportScriptableSlots)) {
        m_error = QStringLiteral("cannot export the instance object on the session bus");
        return Claim::OwnerSilent;
    }
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (bus.registerService(name))
            return Claim::Owner;
        QDBusMessage call =
            QDBusMessage::createMethodCall(name, objectPath(), kInterface, QStringLiteral("Activate"));
        call << activationToken();
        const QDBusMessage reply = bus.call(call, QDBus::Block, kAnswerTimeoutMs);
        if (reply.type() == QDBusMessage::ReplyMessage) {
            bus.unregisterObject(objectPath());
            return Claim::ForwardedToOwner;
        }
        m_error = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
        // Only an owner that went away in between is worth another try.
        if (reply.errorName() != QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") &&
            reply.errorName() != QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
            break;
    }
    bus.unregisterObject(objectPath());
    return Claim::OwnerSilent;
}

InstanceGuard::Claim InstanceGuard::claimOnSocket() {
    const QString path = socketPath(m_dataFolder);
    QDir().mkpath(QFileInfo(path).absolutePath());
    // The lock file says who owns the socket; QLockFile sees through the lock of
    // a process that died, and the socket file such a process left is removed.
    m_lock = std::make_unique<QLockFile>(path + QStringLiteral(".lock"));
    m_lock->setStaleLockTime(0);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (m_lock->tryLock(0)) {
            QLocalServer::removeServer(path);
            m_server = new QLocalServer(this);
            m_server->setSocketOptions(QLocalServer::UserAccessOption);
            // The lock alone keeps a second Caldrin out; without the socket a
            // later start can only say that this one does not answer.
            if (m_server->listen(path))
                connect(m_server, &QLocalServer::newConnection, this,
                        &InstanceGuard::acceptSocketConnections);
            else
                qWarning("Cannot listen on %s: %s", qPrintable(path), qPrintable(m_server->errorString()));
            return Claim::Owner;
        }
        if (m_lock->error() != QLockFile::LockFailedError) {
            // No lock can be taken here at all (for example a read-only runtime
            // folder): run unguarded rather than refuse to run.
            qWarning("Cannot keep Caldrin to one instance: no lock file at %s", qPrintable(path));
            m_lock.reset();
            return Claim::Owner;
        }
        QLocalSocket socket;
        socket.connectToServer(path);
        if (socket.waitForConnected(kAnswerTimeoutMs)) {
            socket.write(kActivateCommand + activationToken().toUtf8() + '\n');
            // The owner answers "ok" once it has taken the request.
            if (socket.waitForBytesWritten(kAnswerTimeoutMs) && socket.waitForReadyRead(kAnswerTimeoutMs) &&
                socket.readLine().trimmed() == "ok")
                return Claim::ForwardedToOwner;
            m_error = QStringLiteral("no answer on ") + path;
            return Claim::OwnerSilent;
        }
        m_error = socket.errorString();
        // The owner may be between taking the lock and listening.
        QThread::msleep(100);
    }
    m_lock.reset();
    return Claim::OwnerSilent;
}

void InstanceGuard::acceptSocketConnections() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                // One short command line; anything longer is not ours.
                if (socket->bytesAvailable() > 4096)
                    socket->abort();
                return;
            }
            const QByteArray line = socket->readLine().trimmed();
            if (line != kActivateCommand.trimmed() && !line.startsWith(kActivateCommand)) {
                socket->abort();
                return;
            }
            socket->write("ok\n");
            socket->flush();
            socket->disconnectFromServer();
            Activate(QString::fromUtf8(line.mid(kActivateCommand.size())).trimmed());
        });
    }
}
