// The delegate's open requests, as they reach the shared relay, and the request that a second
// launch sends to the running instance.

#include "AppDelegate.h"
#include "AppTestSupport.h"
#include "OpenRequest.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace AppTestSupport;

class tst_AppDelegate : public QObject
{
    Q_OBJECT

private:
    DockFileDropRelay &relay() { return DockFileDropRelay::shared(); }

    int m_activations = 0;
    std::optional<QTemporaryDir> m_folder;

private slots:
    void init()
    {
        m_folder.emplace();
        QVERIFY(m_folder->isValid());
        relay().consumePendingURLs();
        m_activations = 0;
        relay().setActivationHook([this] { ++m_activations; });
    }

    void cleanup()
    {
        relay().setActivationHook({});
        m_folder.reset();
    }

    void didFinishLaunchingLogs()
    {
        AppDelegate delegate;
        LogCapture log;

        delegate.applicationDidFinishLaunching();

        QCOMPARE(log.messages(QStringLiteral("DockDrop")),
                 QStringList{QStringLiteral("applicationDidFinishLaunching")});
    }

    void openFilesHandsThreePathsToRelay()
    {
        AppDelegate delegate;
        const QString launchFolder = m_folder->path();
        const qint64 token = relay().deliveryToken();
        LogCapture log;

        // Neither needs to exist: the request is passed on all the same.
        delegate.openFiles({QStringLiteral("a.jpg"), QStringLiteral("/elsewhere/b.png"), QStringLiteral("../up/c.jpg")},
                           launchFolder);

        QCOMPARE(relay().deliveryToken(), token + 1);
        QCOMPARE(m_activations, 1);
        QCOMPARE(relay().consumePendingURLs(),
                 (QList<QUrl>{QUrl::fromLocalFile(launchFolder + QStringLiteral("/a.jpg")),
                              QUrl::fromLocalFile(QStringLiteral("/elsewhere/b.png")),
                              QUrl::fromLocalFile(QDir::cleanPath(launchFolder + QStringLiteral("/../up/c.jpg")))}));
        const QStringList lines = log.messages(QStringLiteral("DockDrop"));
        QCOMPARE(lines.first(),
                 QStringLiteral("application(openFiles:) received 3 file(s): a.jpg, /elsewhere/b.png, ../up/c.jpg"));
    }

    void openURLsLogsAndLetsRelayFilter()
    {
        AppDelegate delegate;
        const qint64 token = relay().deliveryToken();
        LogCapture log;

        delegate.openURLs({QUrl(QStringLiteral("https://example.com/a.jpg"))});

        QCOMPARE(relay().deliveryToken(), token);
        QCOMPARE(m_activations, 0);
        QCOMPARE(log.messages(QStringLiteral("DockDrop")),
                 QStringList{QStringLiteral("application(open:) received 1 url(s): https://example.com/a.jpg")});
    }

    void openRequestTakesTheRightRoad_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("logLine");
        QTest::addColumn<QStringList>("delivered"); // paths relative to the launch folder

        QTest::newRow("paths") << QStringList{QStringLiteral("a.jpg"), QStringLiteral("b.png")}
                               << QStringLiteral("application(openFiles:) received 2 file(s): a.jpg, b.png")
                               << QStringList{QStringLiteral("a.jpg"), QStringLiteral("b.png")};
        QTest::newRow("file URIs as a file manager passes them")
            << QStringList{QStringLiteral("file://@/a%20b.jpg"), QStringLiteral("file://@/c.png")}
            << QStringLiteral("application(open:) received 2 url(s): @/a b.jpg, @/c.png")
            << QStringList{QStringLiteral("a b.jpg"), QStringLiteral("c.png")};
        QTest::newRow("a path and a URI stay together")
            << QStringList{QStringLiteral("a.jpg"), QStringLiteral("file://@/c.png")}
            << QStringLiteral("application(open:) received 2 url(s): @/a.jpg, @/c.png")
            << QStringList{QStringLiteral("a.jpg"), QStringLiteral("c.png")};
        QTest::newRow("web address only")
            << QStringList{QStringLiteral("https://example.com/a.jpg")}
            << QStringLiteral("application(open:) received 1 url(s): https://example.com/a.jpg") << QStringList();
        QTest::newRow("file whose name looks like a URI")
            << QStringList{QStringLiteral("notes:1.png")}
            << QStringLiteral("application(openFiles:) received 1 file(s): notes:1.png")
            << QStringList{QStringLiteral("notes:1.png")};
    }

    void openRequestTakesTheRightRoad()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, logLine);
        QFETCH(QStringList, delivered);
        const QString launchFolder = m_folder->path();
        QFile(m_folder->filePath(QStringLiteral("notes:1.png"))).open(QIODevice::WriteOnly);
        for (QString &argument : arguments)
            argument.replace(u'@', launchFolder);
        logLine.replace(u'@', launchFolder);
        AppDelegate delegate;
        LogCapture log;

        delegate.open(OpenRequest{arguments, launchFolder});

        const QStringList lines = log.messages(QStringLiteral("DockDrop"));
        QVERIFY2(!lines.isEmpty(), "nothing logged");
        QCOMPARE(lines.first(), logLine);
        QList<QUrl> expected;
        for (const QString &name : delivered)
            expected.append(QUrl::fromLocalFile(QDir(launchFolder).filePath(name)));
        QCOMPARE(relay().consumePendingURLs(), expected);
    }

    void emptyRequestOnlyBringsWindowToFront()
    {
        AppDelegate delegate;
        const qint64 token = relay().deliveryToken();
        LogCapture log;

        delegate.open(OpenRequest{{}, m_folder->path()});

        QCOMPARE(m_activations, 1);
        QCOMPARE(relay().deliveryToken(), token);
        QCOMPARE(log.lines().size(), 0);
    }

    void requestSurvivesEncoding()
    {
        const OpenRequest request{{QStringLiteral("a b.jpg"), QStringLiteral("file:///tmp/%E5%9B%BE.png"),
                                   QStringLiteral("照片.jpg"), QStringLiteral("")},
                                  QStringLiteral("/home/someone/图片")};

        const auto decoded = OpenRequest::decode(request.encode());

        QVERIFY(decoded);
        QCOMPARE(decoded->arguments, request.arguments);
        QCOMPARE(decoded->workingDirectory, request.workingDirectory);
    }

    void malformedRequestIsRefused_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not JSON") << QByteArray("a.jpg\nb.png");
        QTest::newRow("truncated") << QByteArray("{\"arguments\":[\"a.jpg\"],\"workingDirectory\":\"/tm");
        QTest::newRow("array") << QByteArray(R"(["a.jpg"])");
        QTest::newRow("no arguments") << QByteArray(R"({"workingDirectory":"/tmp"})");
        QTest::newRow("no folder") << QByteArray(R"({"arguments":["a.jpg"]})");
        QTest::newRow("argument not text") << QByteArray(R"({"arguments":["a.jpg",7],"workingDirectory":"/tmp"})");
        QTest::newRow("arguments not a list") << QByteArray(R"({"arguments":"a.jpg","workingDirectory":"/tmp"})");
        QTest::newRow("relative folder") << QByteArray(R"({"arguments":["a.jpg"],"workingDirectory":"tmp"})");
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe{", 4);
    }

    void malformedRequestIsRefused()
    {
        QFETCH(QByteArray, message);
        QVERIFY(!OpenRequest::decode(message));
    }
};

QTEST_GUILESS_MAIN(tst_AppDelegate)
#include "tst_appdelegate.moc"
