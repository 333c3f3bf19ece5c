// One instance per user and id, with real processes: the probe executable stands in for the
// application. Every id is random, so runs never meet, and every wait has a limit, so a broken
// build fails instead of hanging; probes left running are killed when a test ends.

#include "SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <QtEndian>

#include <sys/stat.h>
#include <unistd.h>

using namespace pressel;

using namespace Qt::StringLiterals;

namespace {

// Only a broken build waits this long.
constexpr int watchdogMs = 20'000;

QString probePath()
{
    return QStringLiteral(PRESSEL_SINGLEINSTANCE_PROBE);
}

QByteArray frame(quint32 declaredSize, const QByteArray &payload)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(declaredSize, bytes.data());
    return bytes + payload;
}

// One probe process and everything it has written so far.
class Probe
{
public:
    Probe(const QString &instanceId, const QStringList &arguments,
          const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        m_process.setProcessEnvironment(environment);
        m_process.setProgram(probePath());
        m_process.setArguments(QStringList{instanceId} + arguments);
        m_process.start();
    }

    ~Probe()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(watchdogMs);
        }
    }

    QProcess &process() { return m_process; }

    bool waitForOutput(const QString &text)
    {
        return QTest::qWaitFor([&] { return output().contains(text); }, watchdogMs);
    }

    bool waitForLog(const QString &text)
    {
        return QTest::qWaitFor([&] { return log().contains(text); }, watchdogMs);
    }

    QString output()
    {
        m_output += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_output;
    }

    QString log()
    {
        m_log += QString::fromUtf8(m_process.readAllStandardError());
        return m_log;
    }

    // Waits for a probe that is meant to end by itself; -1 when it did not end normally.
    int exitCode()
    {
        if (!m_process.waitForFinished(watchdogMs) || m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_process.exitCode();
    }

private:
    QProcess m_process;
    QString m_output;
    QString m_log;
};

} // namespace

class tst_SingleInstance : public QObject
{
    Q_OBJECT

private:
    QString m_id;

    bool startPrimary(Probe &primary) { return primary.waitForOutput(u"primary\n"_s); }

private slots:
    void init() { m_id = QUuid::createUuid().toString(QUuid::WithoutBraces); }

    void laterLaunchesHandOverInOrderAndExit()
    {
        Probe primary(m_id, {});
        QVERIFY(startPrimary(primary));

        for (const QStringList &parts :
             {QStringList{u"a.jpg"_s, u"b.png"_s}, QStringList{u"two.jpg"_s}, QStringList{u"three.jpg"_s}}) {
            Probe later(m_id, parts);
            QCOMPARE(later.exitCode(), 0);
            QVERIFY(!later.output().contains(u"primary"_s));
        }
        QVERIFY(primary.waitForOutput(u"three.jpg"_s));
        QCOMPARE(primary.output(), u"primary\nreceived 11 a.jpg%0Ab.png\nreceived 7 two.jpg\nreceived 9 three.jpg\n"_s);
    }

    void messagesUpToTheLimitGetThrough()
    {
        Probe primary(m_id, {});
        QVERIFY(startPrimary(primary));
        const qint64 limit = SingleInstance::maximumMessageSize;

        Probe oversized(m_id, {u"--size"_s, QString::number(limit + 1)});
        QCOMPARE(oversized.exitCode(), 1);
        QVERIFY(oversized.log().contains(
            u"Not sending a message of %1 byte(s): the limit is %2"_s.arg(limit + 1).arg(limit)));
        Probe largest(m_id, {u"--size"_s, QString::number(limit)});
        QCOMPARE(largest.exitCode(), 0);
        QVERIFY(primary.waitForOutput(u"received %1 xxx"_s.arg(limit)));
        QCOMPARE(primary.output().count(u"received"_s), 1);
    }

    void longestCommandLineGetsThrough()
    {
        Probe primary(m_id, {});
        QVERIFY(startPrimary(primary));
        // As long as the system lets a command line be, less what the environment takes.
        const qint64 room = ::sysconf(_SC_ARG_MAX) - 64 * 1024;
        const QString path = u"/pictures/"_s + QString(480, u'p') + u".jpg"_s;
        QStringList paths;
        for (qint64 used = 0; used + path.size() + 1 < room; used += path.size() + 1)
            paths.append(path);
        QVERIFY(paths.size() > 1000);

        Probe sender(m_id, paths);
        QCOMPARE(sender.exitCode(), 0);

        const qint64 size = paths.join(u'\n').toUtf8().size();
        QVERIFY(primary.waitForOutput(u"received %1 "_s.arg(size)));
    }

    void malformedMessageIsDroppedAndServerSurvives_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("closeAfterWriting");
        QTest::addColumn<QString>("logLine");

        QTest::newRow("declared size over the limit")
            << frame(SingleInstance::maximumMessageSize + 1, "abc") << false
            << u"Dropped a message of %1 byte(s): the limit is %2"_s.arg(SingleInstance::maximumMessageSize + 1)
                   .arg(SingleInstance::maximumMessageSize);
        QTest::newRow("declared size at the top of the range")
            << frame(0xffffffffu, {}) << false
            << u"Dropped a message of 4294967295 byte(s): the limit is %1"_s.arg(SingleInstance::maximumMessageSize);
        QTest::newRow("bytes beyond the declared size")
            << frame(3, "abcdef") << false << u"Dropped a message with 3 byte(s) beyond its declared size"_s;
        QTest::newRow("cut short") << frame(10, "abc") << true << u"Dropped an incomplete message of 7 byte(s)"_s;
        QTest::newRow("half a header") << QByteArray("\0\0", 2) << true
                                       << u"Dropped an incomplete message of 2 byte(s)"_s;
    }

    void malformedMessageIsDroppedAndServerSurvives()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, closeAfterWriting);
        QFETCH(QString, logLine);
        Probe primary(m_id, {});
        QVERIFY(startPrimary(primary));
        const auto socketPath = SingleInstance::socketPath(m_id);
        QVERIFY(socketPath);

        QLocalSocket socket;
        socket.connectToServer(*socketPath);
        QVERIFY(socket.waitForConnected(watchdogMs));
        socket.write(bytes);
        QVERIFY(socket.waitForBytesWritten(watchdogMs));
        if (closeAfterWriting) {
            socket.disconnectFromServer();
        } else {
            // The primary cuts the connection without an answer.
            QVERIFY(socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(watchdogMs));
            QCOMPARE(socket.readAll(), QByteArray());
        }

        QVERIFY2(primary.waitForLog(logLine), qPrintable(primary.log()));
        QVERIFY(primary.log().contains(u"[error] com.korvane.Pressel.DockDrop: "_s + logLine));
        Probe next(m_id, {u"after.jpg"_s});
        QCOMPARE(next.exitCode(), 0);
        QVERIFY(primary.waitForOutput(u"received 9 after.jpg\n"_s));
        QCOMPARE(primary.output().count(u"received"_s), 1);
    }

    void crashedPrimaryDoesNotBlockNextLaunch()
    {
        {
            Probe crashed(m_id, {});
            QVERIFY(startPrimary(crashed));
            crashed.process().kill();
            QVERIFY(crashed.process().waitForFinished(watchdogMs));
        }
        // The killed primary left its socket behind.
        const auto socketPath = SingleInstance::socketPath(m_id);
        QVERIFY(socketPath);
        QVERIFY(QFileInfo::exists(*socketPath));

        Probe primary(m_id, {});
        QVERIFY(startPrimary(primary));
        Probe second(m_id, {u"c.jpg"_s});
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(primary.waitForOutput(u"received 5 c.jpg\n"_s));
    }

    void socketIsPrivateToTheUser()
    {
        Probe primary(m_id, {});
        QVERIFY(startPrimary(primary));
        const auto socketPath = SingleInstance::socketPath(m_id);
        QVERIFY(socketPath);

        struct stat folder = {};
        QCOMPARE(::lstat(QFile::encodeName(QFileInfo(*socketPath).absolutePath()).constData(), &folder), 0);
        QVERIFY(S_ISDIR(folder.st_mode));
        QCOMPARE(folder.st_uid, ::getuid());
        QCOMPARE(folder.st_mode & 077, 0u);

        struct stat socketFile = {};
        QCOMPARE(::lstat(QFile::encodeName(*socketPath).constData(), &socketFile), 0);
        QVERIFY(S_ISSOCK(socketFile.st_mode));
        QCOMPARE(socketFile.st_mode & 077, 0u);
    }

    // Without a runtime folder the socket goes into a folder of its own below TMPDIR, made private;
    // one that others can enter is never trusted.
    void socketFolderWithoutRuntimeFolder()
    {
        QTemporaryDir temporary;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(u"XDG_RUNTIME_DIR"_s);
        environment.insert(u"TMPDIR"_s, temporary.path());
        const QString folder = QDir(temporary.path()).filePath(u"pressel-%1"_s.arg(::getuid()));
        {
            Probe primary(m_id, {}, environment);
            QVERIFY(startPrimary(primary));
            Probe second(m_id, {u"a.jpg"_s}, environment);
            QCOMPARE(second.exitCode(), 0);
            QVERIFY(primary.waitForOutput(u"received 5 a.jpg\n"_s));
            struct stat info = {};
            QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &info), 0);
            QCOMPARE(info.st_mode & 0777, 0700u);
            QVERIFY(QFileInfo::exists(QDir(folder).filePath(u"pressel-%1.socket"_s.arg(m_id))));
        }
        QVERIFY(QDir(folder).removeRecursively() && QDir().mkdir(folder));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                  QFile::ReadOther | QFile::ExeOther));
        Probe first(m_id, {}, environment);
        QVERIFY(startPrimary(first));
        Probe second(m_id, {}, environment);
        QVERIFY(startPrimary(second)); // each runs on its own rather than serve or trust a socket there
        QVERIFY(second.log().contains(u"No private folder for the instance socket; running on its own"_s));
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System), QStringList());
    }

    void otherUserCannotDeliver()
    {
        const QString setpriv = QStandardPaths::findExecutable(u"setpriv"_s);
        if (::getuid() != 0 || setpriv.isEmpty())
            QSKIP("needs root and setpriv to act as another user");
        Probe primary(m_id, {});
        QVERIFY(startPrimary(primary));
        const auto socketPath = SingleInstance::socketPath(m_id);
        QVERIFY(socketPath);
        // The same attempt as this user is answered, so a refusal below is the other user's.
        QProcess owner;
        owner.start(probePath(), {u"--deliver-to"_s, *socketPath, u"mine.jpg"_s});
        QVERIFY(owner.waitForFinished(watchdogMs));
        QCOMPARE(owner.exitCode(), 0);

        QProcess stranger;
        stranger.start(setpriv, {u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s, probePath(),
                                 u"--deliver-to"_s, *socketPath, u"theirs.jpg"_s});
        QVERIFY(stranger.waitForFinished(watchdogMs));

        QCOMPARE(stranger.exitStatus(), QProcess::NormalExit);
        QCOMPARE(stranger.exitCode(), 2);
        QVERIFY(primary.waitForOutput(u"received 8 mine.jpg\n"_s));
        QVERIFY(!primary.output().contains(u"theirs.jpg"_s));
    }

    void idIsNeverAPath()
    {
        const auto plain = SingleInstance::socketPath(u"default"_s);
        const auto hostile = SingleInstance::socketPath(u"../../etc/evil"_s);
        QVERIFY(plain);
        QVERIFY(hostile);
        QCOMPARE(QFileInfo(*hostile).absolutePath(), QFileInfo(*plain).absolutePath());
        QVERIFY(!QFileInfo(*hostile).fileName().contains(u".."_s));
    }
};

QTEST_GUILESS_MAIN(tst_SingleInstance)
#include "tst_singleinstance.moc"
