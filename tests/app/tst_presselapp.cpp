// SPDX-License-Identifier: GPL-3.0-or-later
// The built pressel end to end, as a user starts it: its options, help even without a display;
// files on the command line are compressed beside their sources, a second launch hands its files
// to the first (hundreds of them at once) and leaves; the socket
// between them is the user's alone, drops what is not an open request, and a killed first
// instance never blocks the next. The window runs on the platform given by the environment
// (offscreen, or an X server). Every wait has a limit and the first instance is killed at the
// end, whatever happened.

#include "SingleInstance.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLocalSocket>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <QtEndian>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

using namespace pressel;
using namespace Qt::StringLiterals;

using namespace TestFiles;

namespace {

// Only a broken build waits this long.
constexpr int watchdogMs = 60'000;

QByteArray frame(quint32 declaredSize, const QByteArray &payload)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(declaredSize, bytes.data());
    return bytes + payload;
}

} // namespace

class tst_PresselApp : public QObject
{
    Q_OBJECT

private:
    std::optional<QTemporaryDir> m_folder;
    std::unique_ptr<QProcess> m_first;
    QString m_firstLog;
    QString m_instanceId;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(SingleInstance::instanceIdVariable), m_instanceId);
        if (!environment.contains(u"QT_QPA_PLATFORM"_s))
            environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        return environment;
    }

    std::unique_ptr<QProcess> launch(const QStringList &arguments, const QString &program = buildPath(u"bin/pressel"_s))
    {
        auto process = std::make_unique<QProcess>();
        process->setProgram(program);
        process->setArguments(arguments);
        process->setWorkingDirectory(m_folder->path());
        process->setProcessEnvironment(environment());
        process->start();
        return process;
    }

    QString firstLog()
    {
        m_firstLog += QString::fromUtf8(m_first->readAllStandardError());
        return m_firstLog;
    }

    // Waits for a whole line of the first instance's log; shows the log when it never comes.
    bool firstLogShows(const QString &line)
    {
        return waitOrShowLog([&] { return firstLog().contains(line + u'\n'); });
    }

    bool waitOrShowLog(const std::function<bool()> &done)
    {
        if (QTest::qWaitFor(done, watchdogMs))
            return true;
        qInfo().noquote() << "log of the first instance:\n" << firstLog();
        return false;
    }

    // A later launch with these arguments: it must leave by itself with success.
    void handOver(const QStringList &arguments)
    {
        const auto later = launch(arguments);
        QVERIFY(later->waitForFinished(watchdogMs));
        QCOMPARE(later->exitStatus(), QProcess::NormalExit);
        QCOMPARE(later->exitCode(), 0);
    }

    QString path(const QString &name) const { return m_folder->filePath(name); }

    // Waits for the output of that name to read as a picture (cjpeg and pngquant write in place).
    bool waitForOutput(const QString &name)
    {
        return waitOrShowLog([&] { return !QImage(path(name)).isNull(); });
    }

private slots:
    void init()
    {
        QVERIFY(QFileInfo(buildPath(u"bin/pressel"_s)).isExecutable());
        m_folder.emplace();
        QVERIFY(m_folder->isValid());
        m_instanceId = QUuid::createUuid().toString(QUuid::WithoutBraces);
        m_firstLog.clear();
    }

    void cleanup()
    {
        if (m_first && m_first->state() != QProcess::NotRunning) {
            m_first->kill();
            m_first->waitForFinished(watchdogMs);
        }
        m_first.reset();
        m_folder.reset();
    }

    // Help and the version need no display (the X server named here does not exist); other
    // options are refused with the usage.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::newRow("help") << QStringList{u"--help"_s} << 0 << u"用法：pressel [选项…] [--] [文件…]"_s;
        QTest::newRow("short help") << QStringList{u"a.jpg"_s, u"-h"_s} << 0 << u"  --version "_s;
        QTest::newRow("version") << QStringList{u"--version"_s} << 0 << u"pressel 0."_s;
        // Qt's own words, in the window's language.
        QTest::newRow("unknown option") << QStringList{u"--fast"_s} << 2 << u"pressel: 未知选项“fast”。"_s;
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        const bool usageError = exitCode == 2;
        const ProcessRun launch = run(buildPath(u"bin/pressel"_s), arguments,
                                      {m_folder->path(),
                                       {{u"QT_QPA_PLATFORM"_s, usageError ? u"offscreen"_s : u"xcb"_s},
                                        {u"DISPLAY"_s, u":4242"_s},
                                        {QString::fromLatin1(SingleInstance::instanceIdVariable), m_instanceId}}});
        QVERIFY2(launch.finished && launch.exitCode == exitCode, qPrintable(launch.describe()));
        QVERIFY2(QString::fromUtf8(usageError ? launch.standardError : launch.standardOutput).contains(output),
                 qPrintable(launch.describe()));
    }

    void filesFromEveryLaunchAreCompressed()
    {
        TestImages::write(TestImages::photo(480, 360, 11), path(u"a.jpg"_s), "jpeg", 95);
        TestImages::write(TestImages::transparentGraphic(320, 240), path(u"-b.png"_s), "png");
        TestImages::write(TestImages::photo(320, 240, 13), path(u"c d.jpg"_s), "jpeg", 95);
        const QMap<QString, QByteArray> sources = TestImages::fingerprint(m_folder->path());

        m_first = launch({u"a.jpg"_s});
        QVERIFY(firstLogShows(u"com.korvane.Pressel.DockDrop: applicationDidFinishLaunching"_s));
        QVERIFY(waitForOutput(u"a-1.jpg"_s));

        // After "--" a name like an option is a file.
        handOver({u"--"_s, u"-b.png"_s});
        QVERIFY(waitForOutput(u"-b-1.png"_s));

        // A file manager passes URIs.
        handOver({QUrl::fromLocalFile(path(u"c d.jpg"_s)).toString(QUrl::FullyEncoded)});
        QVERIFY(waitForOutput(u"c d-1.jpg"_s));
        QVERIFY(firstLogShows(u"com.korvane.Pressel.Compression: handleDroppedFiles received 1 file(s): "_s +
                              path(u"c d.jpg"_s)));

        for (auto it = sources.cbegin(); it != sources.cend(); ++it)
            QCOMPARE(TestImages::sha256(it.key()), it.value());
        QVERIFY(m_first->state() == QProcess::Running);
    }

    // A file manager's selection of many files reaches the running window in one message and
    // becomes one batch of them all, in their order (these are no pictures: they fail at once).
    void manyFilesAreHandedOverAsOneBatch_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("nameLength");
        QTest::newRow("500 files") << 500 << 12;
        QTest::newRow("100 kB of names") << 400 << 250;
    }

    void manyFilesAreHandedOverAsOneBatch()
    {
        QFETCH(int, count);
        QFETCH(int, nameLength);
        m_first = launch({});
        QVERIFY(firstLogShows(u"com.korvane.Pressel.DockDrop: applicationDidFinishLaunching"_s));
        QStringList names;
        for (int i = 0; i < count; ++i) {
            names << u"%1.jpg"_s.arg(i, nameLength - 4, 10, QChar(u'0'));
            QVERIFY(writeFile(path(names.last()), "not a picture"));
        }
        handOver(names);
        const QString batch = u"com.korvane.Pressel.Compression: handleDroppedFiles received %1 file(s): %2, "_s.arg(count).arg(path(names.first()));
        QVERIFY(waitOrShowLog([&] { return firstLog().contains(u", "_s + path(names.last()) + u'\n'); }));
        QVERIFY(firstLog().contains(batch));
        QCOMPARE(firstLog().count(u"handleDroppedFiles received "_s), 1);
    }

    void socketIsPrivateAndDropsWhatIsNoRequest()
    {
        TestImages::write(TestImages::photo(320, 240, 21), path(u"later.jpg"_s), "jpeg", 95);
        m_first = launch({});
        QVERIFY(firstLogShows(u"com.korvane.Pressel.DockDrop: applicationDidFinishLaunching"_s));
        const auto socketPath = SingleInstance::socketPath(m_instanceId);
        QVERIFY(socketPath);
        struct stat folder = {}, socketFile = {};
        QCOMPARE(::lstat(QFile::encodeName(QFileInfo(*socketPath).absolutePath()).constData(), &folder), 0);
        QVERIFY(S_ISDIR(folder.st_mode) && folder.st_uid == ::getuid() && (folder.st_mode & 077) == 0);
        QCOMPARE(::lstat(QFile::encodeName(*socketPath).constData(), &socketFile), 0);
        QVERIFY(S_ISSOCK(socketFile.st_mode) && (socketFile.st_mode & 077) == 0);

        const qint64 limit = SingleInstance::maximumMessageSize;
        const QList<std::pair<QByteArray, QString>> malformed{
            {frame(19, "not an open request"), u"Dropped a malformed open request of 19 byte(s)"_s},
            {frame(quint32(limit + 1), "abc"), u"Dropped a message of %1 byte(s): the limit is %2"_s.arg(limit + 1).arg(limit)},
            {frame(3, "abcdef"), u"Dropped a message with 3 byte(s) beyond its declared size"_s}};
        for (const auto &[bytes, logLine] : malformed) {
            QLocalSocket socket;
            socket.connectToServer(*socketPath);
            QVERIFY(socket.waitForConnected(watchdogMs));
            socket.write(bytes);
            QVERIFY(socket.waitForBytesWritten(watchdogMs));
            QVERIFY(firstLogShows(u"[error] com.korvane.Pressel.DockDrop: "_s + logLine));
        }

        const QString setpriv = QStandardPaths::findExecutable(u"setpriv"_s);
        if (::getuid() == 0 && !setpriv.isEmpty()) {
            const QString self = QCoreApplication::applicationFilePath();
            QCOMPARE(run(self, {u"--connect"_s, *socketPath}).exitCode, 0);
            const ProcessRun stranger = run(setpriv, {u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s,
                                                      self, u"--connect"_s, *socketPath});
            QVERIFY2(stranger.finished && stranger.exitCode == 2, qPrintable(stranger.describe()));
        }
        handOver({u"later.jpg"_s});
        QVERIFY(waitForOutput(u"later-1.jpg"_s));
    }

    void killedFirstInstanceDoesNotBlockTheNext()
    {
        TestImages::write(TestImages::photo(320, 240, 22), path(u"next.jpg"_s), "jpeg", 95);
        m_first = launch({});
        QVERIFY(firstLogShows(u"com.korvane.Pressel.DockDrop: applicationDidFinishLaunching"_s));
        m_first->kill();
        QVERIFY(m_first->waitForFinished(watchdogMs));
        QVERIFY(QFileInfo::exists(*SingleInstance::socketPath(m_instanceId))); // left behind
        m_firstLog.clear();
        m_first = launch({u"next.jpg"_s});
        QVERIFY(waitForOutput(u"next-1.jpg"_s));
    }

    // The session ends the application while its tool has written part of an output and
    // sleeps: the application leaves at once, and the tool and its partial output go with it.
    void endedWhileAToolWorks()
    {
        TestImages::write(TestImages::photo(320, 240, 23), path(u"held.jpg"_s), "jpeg", 95);
        QTemporaryDir bundle;
        const QString started = bundle.filePath(u"started"_s);
        QVERIFY(QDir().mkpath(bundle.filePath(u"bin"_s)));
        QVERIFY(QFile::copy(buildPath(u"bin/pressel"_s), bundle.filePath(u"bin/pressel"_s)));
        QVERIFY(writeScript(executablesFolder(bundle.path()) + u"/cjpeg"_s,
                            "printf partial\necho \"$$\" > " + shellQuoted(started) + "\nexec sleep 600"));
        // Qt Quick keeps its pixmap cache past the end of main, which LeakSanitizer would report
        // at this exit; memory errors while leaving are still caught.
        const QByteArray sanitizer = qgetenv("ASAN_OPTIONS");
        const auto restore = qScopeGuard([&] { qputenv("ASAN_OPTIONS", sanitizer); });
        qputenv("ASAN_OPTIONS", sanitizer + ":detect_leaks=0");
        m_first = launch({u"held.jpg"_s}, bundle.filePath(u"bin/pressel"_s));
        QVERIFY(QTest::qWaitFor([&] { return !readLines(started).isEmpty(); }, watchdogMs));
        m_first->terminate();
        QVERIFY(m_first->waitForFinished(watchdogMs) && m_first->exitStatus() == QProcess::NormalExit);
        QCOMPARE(entryNames(m_folder->path()), QStringList{u"held.jpg"_s});
        QVERIFY(!QFileInfo::exists(u"/proc/"_s + readLines(started).value(0)));
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Run as `--connect SOCKET`: 0 when the socket takes the connection, 2 when not.
    if (argc == 3 && qstrcmp(argv[1], "--connect") == 0) {
        QLocalSocket socket;
        socket.connectToServer(QString::fromLocal8Bit(argv[2]));
        return socket.waitForConnected(5000) ? 0 : 2;
    }
    tst_PresselApp test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_presselapp.moc"
