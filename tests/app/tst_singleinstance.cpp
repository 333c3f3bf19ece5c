// One instance per user and id, with real processes: the probe executable stands in for the
// application. Every id is random, so runs never meet, and every wait has a limit, so a broken
// build fails instead of hanging; probes left running are killed when a test ends.

#include "SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
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

    bool startPrimary(Probe &primary) { return primary.waitForOutput(QStringLiteral("primary\n")); }

private slots:
    void init() { m_id = QUuid::createUuid().toString(QUuid::WithoutBraces); }

    void secondLaunchHandsOverAndExits()
    {
        Probe primary(m_id, {});
        QVERIFY(startPrimary(primary));

        Probe second(m_id, {QStringLiteral("a.jpg"), QStringLiteral("b.png")});
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(second.exitCode(), 0);
        qInfo("second launch handed over and exited after %lld ms", clock.elapsed());

        QVERIFY(primary.waitForOutput(QStringLiteral("received 11 a.jpg%0Ab.png\n")));
        QVERIFY(!second.output().contains(QStringLiteral("primary")));
    }

    void laterLaunchesAreServedInOrder()
    {
        Probe primary(m_id, {});
        QVERIFY(startPrimary(primary));

        for (const QString &name :
             {QStringLiteral("one.jpg"), QStringLiteral("two.jpg"), QStringLiteral("three.jpg")}) {
            Probe later(m_id, {name});
            QCOMPARE(later.exitCode(), 0);
        }

        QVERIFY(primary.waitForOutput(QStringLiteral("three.jpg")));
        QCOMPARE(primary.output(),
                 QStringLiteral("primary\nreceived 7 one.jpg\nreceived 7 two.jpg\nreceived 9 three.jpg\n"));
    }

    void otherIdIsAnotherInstance()
    {
        Probe primary(m_id, {});
        QVERIFY(startPrimary(primary));

        Probe other(QUuid::createUuid().toString(QUuid::WithoutBraces), {});
        QVERIFY(startPrimary(other));
    }

    void largestMessageGetsThrough()
    {
        Probe primary(m_id, {});
        QVERIFY(startPrimary(primary));

        Probe sender(m_id, {QStringLiteral("--size"), QString::number(SingleInstance::maximumMessageSize)});
        QCOMPARE(sender.exitCode(), 0);

        QVERIFY(primary.waitForOutput(QStringLiteral("received %1 xxx").arg(SingleInstance::maximumMessageSize)));
    }

    void longestCommandLineGetsThrough()
    {
        Probe primary(m_id, {});
        QVERIFY(startPrimary(primary));
        // As long as the system lets a command line be, less what the environment takes.
        const qint64 room = ::sysconf(_SC_ARG_MAX) - 64 * 1024;
        const QString path = QStringLiteral("/pictures/") + QString(480, u'p') + QStringLiteral(".jpg");
        QStringList paths;
        for (qint64 used = 0; used + path.size() + 1 < room; used += path.size() + 1)
            paths.append(path);
        QVERIFY(paths.size() > 1000);

        Probe sender(m_id, paths);
        QCOMPARE(sender.exitCode(), 0);

        const qint64 size = paths.join(u'\n').toUtf8().size();
        QVERIFY(primary.waitForOutput(QStringLiteral("received %1 ").arg(size)));
    }

    void oversizedMessageIsNotSent()
    {
        Probe primary(m_id, {});
        QVERIFY(startPrimary(primary));

        Probe sender(m_id, {QStringLiteral("--size"), QString::number(SingleInstance::maximumMessageSize + 1)});
        QCOMPARE(sender.exitCode(), 1);

        QVERIFY(sender.log().contains(QStringLiteral("Not sending a message of %1 byte(s): the limit is %2")
                                          .arg(SingleInstance::maximumMessageSize + 1)
                                          .arg(SingleInstance::maximumMessageSize)));
        Probe next(m_id, {QStringLiteral("after.jpg")});
        QCOMPARE(next.exitCode(), 0);
        QVERIFY(primary.waitForOutput(QStringLiteral("after.jpg")));
        QVERIFY(!primary.output().contains(QStringLiteral("received %1").arg(SingleInstance::maximumMessageSize + 1)));
    }

    void malformedMessageIsDroppedAndServerSurvives_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("closeAfterWriting");
        QTest::addColumn<QString>("logLine");

        QTest::newRow("declared size over the limit")
            << frame(SingleInstance::maximumMessageSize + 1, "abc") << false
            << QStringLiteral("Dropped a message of %1 byte(s): the limit is %2")
                   .arg(SingleInstance::maximumMessageSize + 1)
                   .arg(SingleInstance::maximumMessageSize);
        QTest::newRow("declared size at the top of the range")
            << frame(0xffffffffu, {}) << false
            << QStringLiteral("Dropped a message of 4294967295 byte(s): the limit is %1")
                   .arg(SingleInstance::maximumMessageSize);
        QTest::newRow("bytes beyond the declared size")
            << frame(3, "abcdef") << false
            << QStringLiteral("Dropped a message with 3 byte(s) beyond its declared size");
        QTest::newRow("cut short") << frame(10, "abc") << true
                                   << QStringLiteral("Dropped an incomplete message of 7 byte(s)");
        QTest::newRow("half a header") << QByteArray("\0\0", 2) << true
                                       << QStringLiteral("Dropped an incomplete message of 2 byte(s)");
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
        QVERIFY(primary.log().contains(QStringLiteral("[error] com.korvane.Pressel.DockDrop: ") + logLine));
        Probe next(m_id, {QStringLiteral("after.jpg")});
        QCOMPARE(next.exitCode(), 0);
        QVERIFY(primary.waitForOutput(QStringLiteral("received 9 after.jpg\n")));
        QCOMPARE(primary.output().count(QStringLiteral("received")), 1);
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
        Probe second(m_id, {QStringLiteral("c.jpg")});
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(primary.waitForOutput(QStringLiteral("received 5 c.jpg\n")));
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

    void socketFolderIsMadePrivateWithoutRuntimeFolder()
    {
        QTemporaryDir temporary;
        QVERIFY(temporary.isValid());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        environment.insert(QStringLiteral("TMPDIR"), temporary.path());

        Probe primary(m_id, {}, environment);
        QVERIFY(startPrimary(primary));
        Probe second(m_id, {QStringLiteral("a.jpg")}, environment);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(primary.waitForOutput(QStringLiteral("received 5 a.jpg\n")));

        const QString folder = QDir(temporary.path()).filePath(QStringLiteral("pressel-%1").arg(::getuid()));
        struct stat info = {};
        QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0700u);
        QVERIFY(QFileInfo::exists(QDir(folder).filePath(QStringLiteral("pressel-%1.socket").arg(m_id))));
    }

    void folderOthersCanEnterIsNotUsed()
    {
        QTemporaryDir temporary;
        QVERIFY(temporary.isValid());
        const QString folder = QDir(temporary.path()).filePath(QStringLiteral("pressel-%1").arg(::getuid()));
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                  QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                  QFile::ExeOther));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        environment.insert(QStringLiteral("TMPDIR"), temporary.path());

        // Each process runs on its own rather than serve or trust a socket there.
        Probe first(m_id, {}, environment);
        QVERIFY(startPrimary(first));
        Probe second(m_id, {}, environment);
        QVERIFY(startPrimary(second));
        QVERIFY(second.log().contains(QStringLiteral("No private folder for the instance socket; running on its own")));
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System), QStringList());
    }

    void otherUserCannotDeliver()
    {
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (::getuid() != 0 || setpriv.isEmpty())
            QSKIP("needs root and setpriv to act as another user");
        Probe primary(m_id, {});
        QVERIFY(startPrimary(primary));
        const auto socketPath = SingleInstance::socketPath(m_id);
        QVERIFY(socketPath);
        // The same attempt as this user is answered, so a refusal below is the other user's.
        QProcess owner;
        owner.start(probePath(), {QStringLiteral("--deliver-to"), *socketPath, QStringLiteral("mine.jpg")});
        QVERIFY(owner.waitForFinished(watchdogMs));
        QCOMPARE(owner.exitCode(), 0);

        QProcess stranger;
        stranger.start(setpriv, {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                 QStringLiteral("--clear-groups"), probePath(), QStringLiteral("--deliver-to"),
                                 *socketPath, QStringLiteral("theirs.jpg")});
        QVERIFY(stranger.waitForFinished(watchdogMs));

        QCOMPARE(stranger.exitStatus(), QProcess::NormalExit);
        QCOMPARE(stranger.exitCode(), 2);
        QVERIFY(primary.waitForOutput(QStringLiteral("received 8 mine.jpg\n")));
        QVERIFY(!primary.output().contains(QStringLiteral("theirs.jpg")));
    }

    void idIsNeverAPath()
    {
        const auto plain = SingleInstance::socketPath(QStringLiteral("default"));
        const auto hostile = SingleInstance::socketPath(QStringLiteral("../../etc/evil"));
        QVERIFY(plain);
        QVERIFY(hostile);
        QCOMPARE(QFileInfo(*hostile).absolutePath(), QFileInfo(*plain).absolutePath());
        QVERIFY(!QFileInfo(*hostile).fileName().contains(QStringLiteral("..")));
    }

    void defaultIdUnlessTheTestsSetOne()
    {
        qunsetenv(SingleInstance::instanceIdVariable);
        QCOMPARE(SingleInstance::instanceIdFromEnvironment(), QStringLiteral("default"));
        qputenv(SingleInstance::instanceIdVariable, "tests-123");
        QCOMPARE(SingleInstance::instanceIdFromEnvironment(), QStringLiteral("tests-123"));
        qunsetenv(SingleInstance::instanceIdVariable);
    }
};

QTEST_GUILESS_MAIN(tst_SingleInstance)
#include "tst_singleinstance.moc"
