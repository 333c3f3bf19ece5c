// The relay between the open requests and the window. It is one instance for the whole
// process, so every test empties it first and measures the token by its growth.

#include "AppTestSupport.h"
#include "DockFileDropRelay.h"

#include <QSignalSpy>
#include <QTest>

using namespace AppTestSupport;

namespace {

QUrl file(const char *path)
{
    return QUrl::fromLocalFile(QString::fromUtf8(path));
}

QUrl web(const char *address)
{
    return QUrl(QString::fromUtf8(address));
}

} // namespace

class tst_DockFileDropRelay : public QObject
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

    void sharedIsOneInstance() { QCOMPARE(&DockFileDropRelay::shared(), &DockFileDropRelay::shared()); }

    void enqueueWithoutFileURLsDoesNothing_data()
    {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::newRow("empty list") << QList<QUrl>();
        QTest::newRow("web address") << QList<QUrl>{web("https://example.com/a.jpg")};
        QTest::newRow("mail and ftp") << QList<QUrl>{web("mailto:someone@example.com"), web("ftp://example.com/b.png")};
    }

    void enqueueWithoutFileURLsDoesNothing()
    {
        QFETCH(QList<QUrl>, urls);
        relay().enqueue({file("/pictures/earlier.jpg")});
        relay().consumePendingURLs();
        m_activations = 0;
        const qint64 token = relay().deliveryToken();
        QSignalSpy didEnqueue(&relay(), &DockFileDropRelay::didEnqueue);
        QSignalSpy tokenChanged(&relay(), &DockFileDropRelay::deliveryTokenChanged);
        QSignalSpy pendingChanged(&relay(), &DockFileDropRelay::pendingURLsChanged);
        LogCapture log;

        relay().enqueue(urls);

        QCOMPARE(relay().deliveryToken(), token);
        QCOMPARE(didEnqueue.size(), 0);
        QCOMPARE(tokenChanged.size(), 0);
        QCOMPARE(pendingChanged.size(), 0);
        QCOMPARE(m_activations, 0);
        QCOMPARE(log.lines().size(), 0);
        QCOMPARE(relay().pendingURLs(), QList<QUrl>());
    }

    void enqueueWithoutFileURLsKeepsPendingDelivery()
    {
        relay().enqueue({file("/pictures/a.jpg")});

        relay().enqueue({web("https://example.com/b.jpg")});

        QCOMPARE(relay().consumePendingURLs(), QList<QUrl>{file("/pictures/a.jpg")});
    }

    void enqueueKeepsOnlyFileURLsInOrderWithDuplicates()
    {
        LogCapture log;

        relay().enqueue({file("/pictures/b.png"), web("https://example.com/x.jpg"), file("/pictures/a.jpg"),
                         file("/pictures/b.png")});

        QCOMPARE(relay().pendingURLs(),
                 (QList<QUrl>{file("/pictures/b.png"), file("/pictures/a.jpg"), file("/pictures/b.png")}));
        QCOMPARE(log.messages(QStringLiteral("DockDrop")),
                 QStringList{QStringLiteral("enqueue 3 file(s): /pictures/b.png, /pictures/a.jpg, /pictures/b.png")});
    }

    void enqueueOfFileAndWebAddressCountsOneFile()
    {
        LogCapture log;

        relay().enqueue({file("/pictures/a b.jpg"), web("https://example.com/x.jpg")});

        QCOMPARE(relay().pendingURLs(), QList<QUrl>{file("/pictures/a b.jpg")});
        QCOMPARE(log.messages(QStringLiteral("DockDrop")),
                 QStringList{QStringLiteral("enqueue 1 file(s): /pictures/a b.jpg")});
        QCOMPARE(log.lines().first().type, QtInfoMsg);
    }

    void laterDeliveryReplacesEarlierOne()
    {
        const qint64 token = relay().deliveryToken();
        QSignalSpy didEnqueue(&relay(), &DockFileDropRelay::didEnqueue);

        relay().enqueue({file("/pictures/a.jpg"), file("/pictures/b.jpg")});
        relay().enqueue({file("/pictures/c.png")});

        QCOMPARE(relay().deliveryToken(), token + 2);
        QCOMPARE(didEnqueue.size(), 2);
        QCOMPARE(didEnqueue.first().first().value<DockFileDropRelay *>(), &relay());
        QCOMPARE(m_activations, 2);
        QCOMPARE(relay().consumePendingURLs(), QList<QUrl>{file("/pictures/c.png")});
    }

    void sameDeliveryTwiceNotifiesPendingOnce()
    {
        const QList<QUrl> urls{file("/pictures/a.jpg"), file("/pictures/b.png")};
        const qint64 token = relay().deliveryToken();
        QSignalSpy didEnqueue(&relay(), &DockFileDropRelay::didEnqueue);
        QSignalSpy tokenChanged(&relay(), &DockFileDropRelay::deliveryTokenChanged);
        QSignalSpy pendingChanged(&relay(), &DockFileDropRelay::pendingURLsChanged);

        relay().enqueue(urls);
        relay().enqueue(urls);

        QCOMPARE(relay().deliveryToken(), token + 2);
        QCOMPARE(tokenChanged.size(), 2);
        QCOMPARE(didEnqueue.size(), 2);
        QCOMPARE(pendingChanged.size(), 1);
    }

    void didEnqueueArrivesAfterThePendingFiles()
    {
        QList<QUrl> seen;
        const auto connection = connect(&relay(), &DockFileDropRelay::didEnqueue, this,
                                        [&seen](DockFileDropRelay *sender) { seen = sender->consumePendingURLs(); });

        relay().enqueue({file("/pictures/a.jpg")});
        disconnect(connection);

        QCOMPARE(seen, QList<QUrl>{file("/pictures/a.jpg")});
        QCOMPARE(relay().pendingURLs(), QList<QUrl>());
    }

    void consumeEmptiesAndLogs()
    {
        relay().enqueue({file("/pictures/a.jpg"), file("/pictures/b.png")});
        const qint64 token = relay().deliveryToken();
        QSignalSpy pendingChanged(&relay(), &DockFileDropRelay::pendingURLsChanged);
        LogCapture log;

        QCOMPARE(relay().consumePendingURLs(), (QList<QUrl>{file("/pictures/a.jpg"), file("/pictures/b.png")}));

        QCOMPARE(relay().pendingURLs(), QList<QUrl>());
        QCOMPARE(pendingChanged.size(), 1);
        QCOMPARE(relay().deliveryToken(), token);
        QCOMPARE(log.messages(QStringLiteral("DockDrop")),
                 QStringList{QStringLiteral("consumePendingURLs -> 2 file(s)")});
    }

    void consumeOfEmptyRelayIsSilent()
    {
        QSignalSpy pendingChanged(&relay(), &DockFileDropRelay::pendingURLsChanged);
        LogCapture log;

        QCOMPARE(relay().consumePendingURLs(), QList<QUrl>());

        QCOMPARE(pendingChanged.size(), 0);
        QCOMPARE(log.lines().size(), 0);
    }

    void enqueueWithoutHookStillDelivers()
    {
        relay().setActivationHook({});
        QSignalSpy didEnqueue(&relay(), &DockFileDropRelay::didEnqueue);

        relay().enqueue({file("/pictures/a.jpg")});

        QCOMPARE(didEnqueue.size(), 1);
        QCOMPARE(relay().pendingURLs(), QList<QUrl>{file("/pictures/a.jpg")});
    }
};

QTEST_GUILESS_MAIN(tst_DockFileDropRelay)
#include "tst_dockfiledroprelay.moc"
