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

namespace {

const QString serviceName = QStringLiteral("org.freedesktop.FileManager1");

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
            sendErrorReply(QDBusError::Failed, QStringLiteral("no window could be opened"));
    }
};

} // namespace

class tst_FileManagerReveal : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void asksTheFileManagerToSelectTheFile_data();
    void asksTheFileManagerToSelectTheFile();
    void opensTheFolderWhenNoFileManagerAnswers_data();
    void opensTheFolderWhenNoFileManagerAnswers();
    void ignoresAddressesThatAreNotFiles();

private:
    std::unique_ptr<FileManagerReveal> makeReveal();

    QProcess m_bus;
    QString m_busAddress;
    int m_connectionNumber = 0;
    QString m_clientName;
    QString m_serviceName;
    FakeFileManager m_fileManager;
    QList<QUrl> m_openedFolders;
};

void tst_FileManagerReveal::initTestCase()
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        QSKIP("dbus-daemon is not installed");
    m_bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                         QStringLiteral("--print-address=1")});
    QVERIFY(m_bus.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_bus.canReadLine(), 10000);
    m_busAddress = QString::fromUtf8(m_bus.readLine()).trimmed();
    QVERIFY(!m_busAddress.isEmpty());
}

void tst_FileManagerReveal::cleanupTestCase()
{
    if (m_bus.state() == QProcess::NotRunning)
        return;
    m_bus.terminate();
    m_bus.waitForFinished();
}

void tst_FileManagerReveal::init()
{
    ++m_connectionNumber;
    m_clientName = QStringLiteral("client%1").arg(m_connectionNumber);
    m_serviceName = QStringLiteral("service%1").arg(m_connectionNumber);
    m_fileManager.shownItems.clear();
    m_fileManager.fails = false;
    m_openedFolders.clear();
    QVERIFY(QDBusConnection::connectToBus(m_busAddress, m_clientName).isConnected());
    QVERIFY(QDBusConnection::connectToBus(m_busAddress, m_serviceName).isConnected());
}

void tst_FileManagerReveal::cleanup()
{
    QDBusConnection::disconnectFromBus(m_clientName);
    QDBusConnection::disconnectFromBus(m_serviceName);
}

std::unique_ptr<FileManagerReveal> tst_FileManagerReveal::makeReveal()
{
    return std::make_unique<FileManagerReveal>(QDBusConnection(m_clientName),
                                               [this](const QUrl &folder) { m_openedFolders << folder; });
}

void tst_FileManagerReveal::asksTheFileManagerToSelectTheFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("plain") << QStringLiteral("/photos/out-1.jpg");
    QTest::newRow("blanks and Chinese") << QStringLiteral("/照片/海边 日落-1.jpg");
    QTest::newRow("percent and hash") << QStringLiteral("/photos/100% #1.png");
}

void tst_FileManagerReveal::asksTheFileManagerToSelectTheFile()
{
    QFETCH(QString, path);
    QDBusConnection service(m_serviceName);
    QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &m_fileManager,
                                   QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService(serviceName));

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
    service.unregisterService(serviceName);
}

void tst_FileManagerReveal::opensTheFolderWhenNoFileManagerAnswers_data()
{
    QTest::addColumn<QString>("situation");
    QTest::newRow("no file manager on the bus") << QStringLiteral("absent");
    QTest::newRow("file manager fails") << QStringLiteral("fails");
    QTest::newRow("no session bus") << QStringLiteral("no bus");
}

void tst_FileManagerReveal::opensTheFolderWhenNoFileManagerAnswers()
{
    QFETCH(QString, situation);
    QDBusConnection service(m_serviceName);
    if (situation == u"fails") {
        m_fileManager.fails = true;
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &m_fileManager,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(serviceName));
    }
    if (situation == u"no bus")
        QDBusConnection::disconnectFromBus(m_clientName);

    const auto reveal = makeReveal();
    QSignalSpy finished(reveal.get(), &FileManagerReveal::finished);
    reveal->reveal(QUrl::fromLocalFile(QStringLiteral("/photos/海边 日落.jpg")));

    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
    QCOMPARE(finished.at(0).at(1).toBool(), false);
    QCOMPARE(m_openedFolders, QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/photos"))});
    service.unregisterService(serviceName);
    service.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
}

void tst_FileManagerReveal::ignoresAddressesThatAreNotFiles()
{
    QDBusConnection service(m_serviceName);
    QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &m_fileManager,
                                   QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService(serviceName));

    const auto reveal = makeReveal();
    QSignalSpy finished(reveal.get(), &FileManagerReveal::finished);
    reveal->reveal(QUrl(QStringLiteral("https://example.com/photo.jpg")));
    QTest::qWait(200);
    QCOMPARE(finished.size(), 0);
    QVERIFY(m_fileManager.shownItems.isEmpty());
    QVERIFY(m_openedFolders.isEmpty());
    service.unregisterService(serviceName);
    service.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
}

QTEST_GUILESS_MAIN(tst_FileManagerReveal)

#include "tst_filemanagerreveal.moc"
