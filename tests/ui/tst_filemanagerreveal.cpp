// Showing a file in the file manager: over a private D-Bus session bus with a stand-in
// FileManager1 service, and the folder fallback when nothing answers there.

#include "FileManagerReveal.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString serviceName = u"org.freedesktop.FileManager1"_s;

// The freedesktop file manager interface, recording what it is asked to show.
class FakeFileManager : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QList<QStringList> shownItems;
    bool fails = false;

public slots:
    void ShowItems(const QStringList &uris, const QString &startupId)
    {
        Q_UNUSED(startupId);
        shownItems << uris;
        if (fails)
            sendErrorReply(QDBusError::Failed, u"no window could be opened"_s);
    }
};

} // namespace

class tst_FileManagerReveal : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_s);
        if (daemon.isEmpty())
            QSKIP("dbus-daemon is not installed");
        m_bus.start(daemon, {u"--session"_s, u"--nofork"_s, u"--nopidfile"_s, u"--print-address=1"_s});
        QVERIFY(m_bus.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(m_bus.canReadLine(), 10000);
        m_busAddress = QString::fromUtf8(m_bus.readLine()).trimmed();
        QVERIFY(!m_busAddress.isEmpty());
    }

    void cleanupTestCase()
    {
        if (m_bus.state() == QProcess::NotRunning)
            return;
        m_bus.terminate();
        m_bus.waitForFinished();
    }

    void init()
    {
        ++m_connectionNumber;
        m_clientName = u"client%1"_s.arg(m_connectionNumber);
        m_serviceName = u"service%1"_s.arg(m_connectionNumber);
        m_fileManager.shownItems.clear();
        m_openedFolders.clear();
        QVERIFY(QDBusConnection::connectToBus(m_busAddress, m_clientName).isConnected());
        QVERIFY(QDBusConnection::connectToBus(m_busAddress, m_serviceName).isConnected());
    }

    void cleanup()
    {
        QDBusConnection(m_serviceName).unregisterService(serviceName);
        QDBusConnection(m_serviceName).unregisterObject(u"/org/freedesktop/FileManager1"_s);
        QDBusConnection::disconnectFromBus(m_clientName);
        QDBusConnection::disconnectFromBus(m_serviceName);
    }

    void asksTheFileManagerToSelectTheFile_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("plain") << u"/photos/out-1.jpg"_s;
        QTest::newRow("blanks, Chinese, percent and hash") << u"/照片/海边 日落 100% #1.png"_s;
    }

    void asksTheFileManagerToSelectTheFile()
    {
        QFETCH(QString, path);
        publishFileManager(false);

        const auto reveal = makeReveal();
        QSignalSpy finished(reveal.get(), &FileManagerReveal::finished);
        const QUrl file = QUrl::fromLocalFile(path);
        reveal->reveal(file);

        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
        QCOMPARE(finished.at(0).at(1).toBool(), true);
        QCOMPARE(m_fileManager.shownItems.size(), 1);
        QCOMPARE(m_fileManager.shownItems.at(0), QStringList{QString::fromUtf8(file.toEncoded())});
        QCOMPARE(QUrl(m_fileManager.shownItems.at(0).at(0)).toLocalFile(), path);
        QVERIFY(m_openedFolders.isEmpty());
    }

    void opensTheFolderWhenNoFileManagerAnswers_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::newRow("no file manager on the bus") << u"absent"_s;
        QTest::newRow("file manager fails") << u"fails"_s;
        QTest::newRow("no session bus") << u"no bus"_s;
    }

    void opensTheFolderWhenNoFileManagerAnswers()
    {
        QFETCH(QString, situation);
        if (situation == u"fails")
            publishFileManager(true);
        if (situation == u"no bus")
            QDBusConnection::disconnectFromBus(m_clientName);

        const auto reveal = makeReveal();
        QSignalSpy finished(reveal.get(), &FileManagerReveal::finished);
        reveal->reveal(QUrl::fromLocalFile(u"/photos/海边 日落.jpg"_s));

        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
        QCOMPARE(finished.at(0).at(1).toBool(), false);
        QCOMPARE(m_openedFolders, QList<QUrl>{QUrl::fromLocalFile(u"/photos"_s)});
    }

    void ignoresAddressesThatAreNotFiles()
    {
        publishFileManager(false);

        const auto reveal = makeReveal();
        QSignalSpy finished(reveal.get(), &FileManagerReveal::finished);
        reveal->reveal(QUrl(u"https://example.com/photo.jpg"_s));
        QTest::qWait(200);
        QCOMPARE(finished.size(), 0);
        QVERIFY(m_fileManager.shownItems.isEmpty());
        QVERIFY(m_openedFolders.isEmpty());
    }

private:
    std::unique_ptr<FileManagerReveal> makeReveal();
    // Puts the fake file manager on the bus, failing every request when told so.
    void publishFileManager(bool fails);

    QProcess m_bus;
    QString m_busAddress;
    int m_connectionNumber = 0;
    QString m_clientName;
    QString m_serviceName;
    FakeFileManager m_fileManager;
    QList<QUrl> m_openedFolders;
};

void tst_FileManagerReveal::publishFileManager(bool fails)
{
    m_fileManager.fails = fails;
    QDBusConnection service(m_serviceName);
    QVERIFY(
        service.registerObject(u"/org/freedesktop/FileManager1"_s, &m_fileManager, QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService(serviceName));
}

std::unique_ptr<FileManagerReveal> tst_FileManagerReveal::makeReveal()
{
    return std::make_unique<FileManagerReveal>(QDBusConnection(m_clientName),
                                               [this](const QUrl &folder) { m_openedFolders << folder; });
}

QTEST_GUILESS_MAIN(tst_FileManagerReveal)

#include "tst_filemanagerreveal.moc"
