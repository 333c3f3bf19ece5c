// Files opened from outside the window: the delegate turns a launch's arguments into an open
// request, the shared relay keeps the latest delivery for the window, and the request a second
// launch sends survives its encoding. The relay is one instance for the whole process, so every
// test empties it first and measures the token by its growth.

#include "AppDelegate.h"
#include "DockFileDropRelay.h"
#include "LogCapture.h"
#include "OpenRequest.h"
#include "TestFiles.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace pressel;

using namespace Qt::StringLiterals;
using namespace TestFiles;

namespace {

QUrl file(const QString &path)
{
    return QUrl::fromLocalFile(path);
}

} // namespace

class tst_OpenRequests : public QObject
{
    Q_OBJECT

private:
    DockFileDropRelay &relay() { return DockFileDropRelay::shared(); }

    int m_activations = 0;

private slots:
    void init()
    {
        relay().consumePendingURLs();
        m_activations = 0;
        relay().setActivationHook([this] { ++m_activations; });
    }

    void cleanup() { relay().setActivationHook({}); }

    void relayIgnoresDeliveriesWithoutFiles_data()
    {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::newRow("empty list") << QList<QUrl>();
        QTest::newRow("web address") << QList<QUrl>{QUrl(u"https://example.com/a.jpg"_s)};
        QTest::newRow("mail and ftp") << QList<QUrl>{QUrl(u"mailto:a@example.com"_s), QUrl(u"ftp://example.com/b"_s)};
    }

    void relayIgnoresDeliveriesWithoutFiles()
    {
        QFETCH(QList<QUrl>, urls);
        relay().enqueue({file(u"/pictures/pending.jpg"_s)});
        m_activations = 0;
        const qint64 token = relay().deliveryToken();
        QSignalSpy didEnqueue(&relay(), &DockFileDropRelay::didEnqueue);
        QSignalSpy tokenChanged(&relay(), &DockFileDropRelay::deliveryTokenChanged);
        QSignalSpy pendingChanged(&relay(), &DockFileDropRelay::pendingURLsChanged);
        const LogCapture log;

        relay().enqueue(urls);

        QCOMPARE(relay().deliveryToken(), token);
        QCOMPARE(didEnqueue.size() + tokenChanged.size() + pendingChanged.size() + m_activations, 0);
        QCOMPARE(log.lines().size(), 0);
        QCOMPARE(relay().pendingURLs(), QList<QUrl>{file(u"/pictures/pending.jpg"_s)});
    }

    void laterDeliveryReplacesTheEarlierOne()
    {
        const qint64 token = relay().deliveryToken();
        QSignalSpy didEnqueue(&relay(), &DockFileDropRelay::didEnqueue);
        QSignalSpy pendingChanged(&relay(), &DockFileDropRelay::pendingURLsChanged);

        relay().enqueue({file(u"/pictures/b.png"_s), QUrl(u"https://example.com/x.jpg"_s), file(u"/pictures/a b.jpg"_s),
                         file(u"/pictures/b.png"_s)});
        relay().enqueue({file(u"/pictures/c.png"_s)});
        relay().enqueue({file(u"/pictures/c.png"_s)});

        QCOMPARE(relay().deliveryToken(), token + 3);
        QCOMPARE(didEnqueue.size(), 3);
        QCOMPARE(didEnqueue.first().first().value<DockFileDropRelay *>(), &relay());
        QCOMPARE(pendingChanged.size(), 2); // the same files again are no change
        QCOMPARE(m_activations, 3);
        QCOMPARE(relay().consumePendingURLs(), QList<QUrl>{file(u"/pictures/c.png"_s)});
        QCOMPARE(relay().deliveryToken(), token + 3);
    }

    void windowTakesTheFilesWhenNotified()
    {
        relay().setActivationHook({}); // no window to bring forward yet
        QList<QUrl> seen;
        const auto connection = connect(&relay(), &DockFileDropRelay::didEnqueue, this,
                                        [&seen](DockFileDropRelay *sender) { seen = sender->consumePendingURLs(); });
        relay().enqueue({file(u"/pictures/a.jpg"_s)});
        disconnect(connection);
        QCOMPARE(seen, QList<QUrl>{file(u"/pictures/a.jpg"_s)});

        QSignalSpy pendingChanged(&relay(), &DockFileDropRelay::pendingURLsChanged);
        const LogCapture log;
        QCOMPARE(relay().consumePendingURLs(), QList<QUrl>());
        QCOMPARE(pendingChanged.size(), 0);
        QCOMPARE(log.lines().size(), 0);
    }

    void launchArgumentsTakeTheirRoad_data()
    {
        QTest::addColumn<QStringList>("arguments"); // "@" stands for the launch folder
        QTest::addColumn<QStringList>("delivered"); // relative to the launch folder

        using L = QStringList;
        QTest::newRow("paths, relative and not") << L{u"a.jpg"_s, u"/elsewhere/b.png"_s, u"../up/c.jpg"_s}
                                                 << L{u"a.jpg"_s, u"/elsewhere/b.png"_s, u"../up/c.jpg"_s};
        QTest::newRow("file URIs as a file manager passes them")
            << L{u"file://@/a%20b.jpg"_s, u"file://@/c.png"_s} << L{u"a b.jpg"_s, u"c.png"_s};
        QTest::newRow("a path and a URI stay together") << L{u"a.jpg"_s, u"file://@/c.png"_s} << L{u"a.jpg"_s, u"c.png"_s};
        QTest::newRow("web address only") << L{u"https://example.com/a.jpg"_s} << L{};
        QTest::newRow("a file whose name looks like a URI") << L{u"notes:1.png"_s} << L{u"notes:1.png"_s};
    }

    void launchArgumentsTakeTheirRoad()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, delivered);
        QTemporaryDir launchFolder;
        QVERIFY(writeFile(launchFolder.filePath(u"notes:1.png"_s), {}));
        arguments.replaceInStrings(u"@"_s, launchFolder.path());
        AppDelegate delegate;
        const qint64 token = relay().deliveryToken();

        delegate.open(OpenRequest{arguments, launchFolder.path()});

        QList<QUrl> expected;
        for (const QString &name : delivered)
            expected.append(file(QDir::cleanPath(QDir(launchFolder.path()).filePath(name))));
        QCOMPARE(relay().consumePendingURLs(), expected);
        QCOMPARE(relay().deliveryToken(), token + (delivered.isEmpty() ? 0 : 1));
        QCOMPARE(m_activations, delivered.isEmpty() ? 0 : 1);
    }

    void emptyRequestOnlyBringsTheWindowForward()
    {
        AppDelegate delegate;
        const qint64 token = relay().deliveryToken();
        const LogCapture log;

        delegate.open(OpenRequest{{}, QDir::tempPath()});

        QCOMPARE(m_activations, 1);
        QCOMPARE(relay().deliveryToken(), token);
        QCOMPARE(log.lines().size(), 0);
    }

    void requestSurvivesEncoding()
    {
        const OpenRequest request{{u"a b.jpg"_s, u"file:///tmp/%E5%9B%BE.png"_s, u"照片.jpg"_s, u""_s},
                                  u"/home/someone/图片"_s};
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

QTEST_GUILESS_MAIN(tst_OpenRequests)
#include "tst_openrequests.moc"
