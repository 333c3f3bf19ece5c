// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

class QLocalServer;
class QLocalSocket;

namespace pressel {

// Keeps one running instance per user and instance id. The first process to start becomes
// the primary and serves a local socket in a folder only its user can enter; every later
// process hands its message to the primary and leaves. Messages are length-prefixed and
// bounded; the primary answers each one it has handled, so the sender knows it arrived.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // Larger messages are dropped unread. A launch's whole request fits: Linux gives a program
    // at most 6 MiB of arguments and environment together (3/4 of the 8 MiB stack limit's
    // ceiling), and an open request is never larger than its arguments and folder, so no
    // selection of files that could be opened is refused.
    static constexpr qint64 maximumMessageSize = 8 * 1024 * 1024;
    // The environment variable that gives tests an instance of their own.
    static constexpr char instanceIdVariable[] = "PRESSEL_INSTANCE_ID";
    static constexpr char defaultInstanceId[] = "default";

    explicit SingleInstance(const QString &instanceId, QObject *parent = nullptr);
    ~SingleInstance() override;

    // The instance id of this process: PRESSEL_INSTANCE_ID when set, the default otherwise.
    static QString instanceIdFromEnvironment();
    // The socket of that instance id, in a folder private to the user; absent when no such
    // folder can be had, and then every process runs on its own.
    static std::optional<QString> socketPath(const QString &instanceId);

    bool isPrimaryInstance() const { return m_isPrimary; }

    // From a secondary instance: delivers the message and waits, at most timeoutMs, for the
    // primary to answer that it has handled it.
    bool sendMessage(const QByteArray &message, int timeoutMs = 5000);

signals:
    // In the primary: one complete message from another instance.
    void messageReceived(const QByteArray &message);

private:
    void becomePrimary(const QString &socketPath);
    void acceptConnections();
    void serve(QLocalSocket *connection);

    std::optional<QString> m_socketPath;
    // An exclusive flock held for the life of the primary; -1 when none was opened.
    int m_lockDescriptor = -1;
    QLocalServer *m_server = nullptr;
    bool m_isPrimary = false;
};

} // namespace pressel
