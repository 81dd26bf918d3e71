#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

// Keeps one Caldrin per data folder. The first start owns a name keyed by the
// folder: a D-Bus name on the session bus (serviceName()) with an object that
// answers Activate, or, without a session bus, a local socket in the runtime
// directory guarded by a lock file. A later start for the same folder finds the
// name taken and asks the owner to bring its window forward instead of opening
// the store a second time.
class InstanceGuard : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.caldrin.Caldrin.Instance")
public:
    enum class Claim {
        Owner,            // this process is the first: it owns the name and may open the store
        ForwardedToOwner, // another process owns it and has been asked to raise its window
        OwnerSilent,      // another process owns it but did not answer
    };

    explicit InstanceGuard(const QString& dataFolder, QObject* parent = nullptr);
    ~InstanceGuard() override;

    // Claims the name, or hands the activation to its owner. errorText() tells
    // why an owner stayed silent.
    Claim claim();
    QString errorText() const { return m_error; }
    // Which road claimed it: true for the session bus, false for the local socket.
    bool usesSessionBus() const { return m_usesSessionBus; }

    // "d" and sixteen hex digits of a hash of the canonical folder path: safe in
    // a D-Bus name element (which must not start with a digit) and a file name.
    static QString keyFor(const QString& dataFolder);
    static QString serviceName(const QString& dataFolder);
    static QString socketPath(const QString& dataFolder);
    static QString objectPath();

public slots:
    // Called by a later start, over D-Bus or the socket. The token lets a Wayland
    // compositor accept the activation as the user's own doing.
    Q_SCRIPTABLE void Activate(const QString& activationToken);

signals:
    void activationRequested();

private:
    Claim claimOnSessionBus();
    Claim claimOnSocket();
    void acceptSocketConnections();

    QString m_dataFolder;
    QString m_error;
    bool m_usesSessionBus = false;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};
