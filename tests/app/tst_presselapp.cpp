// The built pressel end to end, as a user starts it: files on the command line are compressed
// beside their sources, a second launch hands its files to the first and leaves. The window runs on the platform given by the environment
// (offscreen, or an X server). Every wait has a limit and the first instance is killed at the
// end, whatever happened.

#include "SingleInstance.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <QtEndian>

using namespace pressel;

using namespace Qt::StringLiterals;

using namespace TestFiles;

namespace {

// Only a broken build waits this long.
constexpr int watchdogMs = 60'000;

// A finished output: present and readable as an image (cjpeg and pngquant write in place).
bool isCompleteImage(const QString &path)
{
    if (!QFileInfo::exists(path))
        return false;
    QImageReader reader(path);
    return !reader.read().isNull();
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

    std::unique_ptr<QProcess> launch(const QStringList &arguments)
    {
        auto process = std::make_unique<QProcess>();
        process->setProgram(buildPath(u"bin/pressel"_s));
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
        if (QTest::qWaitFor([&] { return firstLog().contains(line + u'\n'); }, watchdogMs))
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

    // Waits for the output of that name; shows the first instance's log when it never comes.
    bool waitForOutput(const QString &name)
    {
        if (QTest::qWaitFor([&] { return isCompleteImage(path(name)); }, watchdogMs))
            return true;
        qInfo().noquote() << "log of the first instance:\n" << firstLog();
        return false;
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

    void filesFromEveryLaunchAreCompressed()
    {
        TestImages::write(TestImages::photo(480, 360, 11), path(u"a.jpg"_s), "jpeg", 95);
        TestImages::write(TestImages::transparentGraphic(320, 240), path(u"b.png"_s), "png");
        TestImages::write(TestImages::photo(320, 240, 13), path(u"c d.jpg"_s), "jpeg", 95);
        const QMap<QString, QByteArray> sources = TestImages::fingerprint(m_folder->path());

        m_first = launch({u"a.jpg"_s});
        QVERIFY(firstLogShows(u"com.korvane.Pressel.DockDrop: applicationDidFinishLaunching"_s));
        QVERIFY(waitForOutput(u"a-1.jpg"_s));

        handOver({u"b.png"_s});
        QVERIFY(waitForOutput(u"b-1.png"_s));

        // A file manager passes URIs.
        handOver({QUrl::fromLocalFile(path(u"c d.jpg"_s)).toString(QUrl::FullyEncoded)});
        QVERIFY(waitForOutput(u"c d-1.jpg"_s));
        QVERIFY(firstLogShows(u"com.korvane.Pressel.Compression: handleDroppedFiles received 1 file(s): "_s +
                              path(u"c d.jpg"_s)));

        for (auto it = sources.cbegin(); it != sources.cend(); ++it)
            QCOMPARE(TestImages::sha256(it.key()), it.value());
        QVERIFY(m_first->state() == QProcess::Running);
    }

    void malformedRequestIsDroppedAndAppCarriesOn()
    {
        TestImages::write(TestImages::photo(320, 240, 21), path(u"later.jpg"_s), "jpeg", 95);
        m_first = launch({});
        QVERIFY(firstLogShows(u"com.korvane.Pressel.DockDrop: applicationDidFinishLaunching"_s));
        const auto socketPath = SingleInstance::socketPath(m_instanceId);
        QVERIFY(socketPath);

        // A well-formed frame whose content is no open request.
        const QByteArray garbage("not an open request");
        QByteArray frame(4, Qt::Uninitialized);
        qToBigEndian<quint32>(quint32(garbage.size()), frame.data());
        QLocalSocket socket;
        socket.connectToServer(*socketPath);
        QVERIFY(socket.waitForConnected(watchdogMs));
        socket.write(frame + garbage);
        QVERIFY(socket.waitForBytesWritten(watchdogMs));
        QVERIFY(
            firstLogShows(u"[error] com.korvane.Pressel.DockDrop: Dropped a malformed open request of 19 byte(s)"_s));

        handOver({u"later.jpg"_s});
        QVERIFY(waitForOutput(u"later-1.jpg"_s));
    }
};

QTEST_GUILESS_MAIN(tst_PresselApp)
#include "tst_presselapp.moc"
