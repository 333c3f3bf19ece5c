// Showing a file in the file manager: over a private D-Bus session bus with a stand-in
// FileManager1 service, the folder fallback when nothing answers there, and the failure when
// the folder cannot be opened either.

#include "FileManagerReveal.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace pressel;

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

    void reveal_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QUrl>("target");
        QTest::addColumn<QStringList>("shown");   // what the file manager is asked to select
        QTest::addColumn<QList<QUrl>>("folders"); // what is opened instead
        QTest::addColumn<int>("outcome");         // 1 selected, 0 folder opened, 2 failed, -1 nothing at all

        const QUrl file = QUrl::fromLocalFile(u"/照片/海边 日落 100% #1.png"_s);
        const QList<QUrl> folder{QUrl::fromLocalFile(u"/照片"_s)};
        QTest::newRow("the file manager selects it")
            << u"answers"_s << file << QStringList{QString::fromUtf8(file.toEncoded())} << QList<QUrl>() << 1;
        QTest::newRow("no file manager on the bus") << u"absent"_s << file << QStringList() << folder << 0;
        QTest::newRow("the file manager fails")
            << u"fails"_s << file << QStringList{QString::fromUtf8(file.toEncoded())} << folder << 0;
        QTest::newRow("no session bus") << u"no bus"_s << file << QStringList() << folder << 0;
        QTest::newRow("no session bus, no folder handler")
            << u"no bus, no handler"_s << file << QStringList() << folder << 2;
        QTest::newRow("not a file") << u"answers"_s << QUrl(u"https://example.com/photo.jpg"_s) << QStringList()
                                    << QList<QUrl>() << -1;
    }

    void reveal()
    {
        QFETCH(QString, situation);
        QFETCH(QUrl, target);
        QFETCH(QStringList, shown);
        QFETCH(QList<QUrl>, folders);
        QFETCH(int, outcome);
        if (situation == u"answers" || situation == u"fails")
            publishFileManager(situation == u"fails");
        if (situation.startsWith(u"no bus"))
            QDBusConnection::disconnectFromBus(m_clientName);

        FileManagerReveal reveal(QDBusConnection(m_clientName), [&](const QUrl &folder) {
            m_openedFolders << folder;
            return outcome != 2;
        });
        QSignalSpy finished(&reveal, &FileManagerReveal::finished);
        QSignalSpy failed(&reveal, &FileManagerReveal::failed);
        reveal.reveal(target);
        if (outcome < 0)
            QTest::qWait(200);
        else
            QTRY_COMPARE_WITH_TIMEOUT(finished.size() + failed.size(), 1, 10000);
        QCOMPARE(finished.size(), outcome == 0 || outcome == 1 ? 1 : 0);
        QCOMPARE(failed.size(), outcome == 2 ? 1 : 0);
        if (outcome == 0 || outcome == 1)
            QCOMPARE(finished.at(0).at(1).toBool(), outcome == 1);
        QCOMPARE(m_fileManager.shownItems.value(0), shown);
        QCOMPARE(m_openedFolders, folders);
    }

private:
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

QTEST_GUILESS_MAIN(tst_FileManagerReveal)

#include "tst_filemanagerreveal.moc"
