// PNGQuantCommandLocator: the four places inside the bundle, their order, and what counts as
// an executable there.

#include "PNGQuantCommandLocator.h"
#include "PNGTestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace PNGTestSupport;

class tst_PNGQuantCommandLocator : public QObject
{
    Q_OBJECT

private slots:
    void candidateURLs_data();
    void candidateURLs();
    void locate_data();
    void locate();
    void seesChangesWithoutCache();
};

// Items are paths below the temporary root; a trailing "/" makes a folder, "*" an executable.
void tst_PNGQuantCommandLocator::candidateURLs_data()
{
    QTest::addColumn<bool>("withExecutables");
    QTest::addColumn<bool>("withResources");
    QTest::addColumn<bool>("auxiliaryPresent");
    QTest::addColumn<QStringList>("expected");

    const QString exe = QStringLiteral("libexec/pressel/pngquant");
    const QString res = QStringLiteral("share/pressel/pngquant");
    const QString tools = QStringLiteral("share/pressel/Tools/pngquant");
    const QString nested = QStringLiteral("share/pressel/pngquant/pngquant");
    QTest::newRow("all four, auxiliary first") << true << true << true << QStringList{exe, res, tools, nested};
    QTest::newRow("no auxiliary executable") << true << true << false << QStringList{res, tools, nested};
    QTest::newRow("no resources folder") << true << false << true << QStringList{exe};
    QTest::newRow("empty bundle") << false << false << false << QStringList{};
}

void tst_PNGQuantCommandLocator::candidateURLs()
{
    QFETCH(bool, withExecutables);
    QFETCH(bool, withResources);
    QFETCH(bool, auxiliaryPresent);
    QFETCH(QStringList, expected);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    QDir().mkpath(executablesFolder(root.path()));
    if (auxiliaryPresent)
        writeScript(executablesFolder(root.path()) + QStringLiteral("/pngquant"), "exit 0");
    const ApplicationBundle bundle(withExecutables ? std::optional(executablesFolder(root.path())) : std::nullopt,
                                   withResources ? std::optional(resourcesFolder(root.path())) : std::nullopt);

    QStringList actual;
    for (const QUrl &url : PNGQuantCommandLocator(bundle).candidateURLs())
        actual.append(QDir(root.path()).relativeFilePath(url.toLocalFile()));
    QCOMPARE(actual, expected);
}

void tst_PNGQuantCommandLocator::locate_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("expected"); // empty: none

    QTest::newRow("auxiliary executable wins over Tools")
        << QStringList{QStringLiteral("libexec/pressel/pngquant*"), QStringLiteral("share/pressel/Tools/pngquant*")}
        << QStringLiteral("libexec/pressel/pngquant");
    QTest::newRow("non-executable resources file skipped for Tools")
        << QStringList{QStringLiteral("share/pressel/pngquant"), QStringLiteral("share/pressel/Tools/pngquant*")}
        << QStringLiteral("share/pressel/Tools/pngquant");
    QTest::newRow("non-executable auxiliary skipped for resources")
        << QStringList{QStringLiteral("libexec/pressel/pngquant"), QStringLiteral("share/pressel/pngquant*")}
        << QStringLiteral("share/pressel/pngquant");
    QTest::newRow("resources file before Tools")
        << QStringList{QStringLiteral("share/pressel/pngquant*"), QStringLiteral("share/pressel/Tools/pngquant*")}
        << QStringLiteral("share/pressel/pngquant");
    QTest::newRow("folder named pngquant holds the tool")
        << QStringList{QStringLiteral("share/pressel/pngquant/pngquant*")}
        << QStringLiteral("share/pressel/pngquant/pngquant");
    QTest::newRow("folder named pngquant, Tools still ahead of it")
        << QStringList{QStringLiteral("share/pressel/pngquant/pngquant*"),
                       QStringLiteral("share/pressel/Tools/pngquant*")}
        << QStringLiteral("share/pressel/Tools/pngquant");
    QTest::newRow("empty folder named pngquant") << QStringList{QStringLiteral("share/pressel/pngquant/")} << QString();
    QTest::newRow("folder named pngquant among the executables")
        << QStringList{QStringLiteral("libexec/pressel/pngquant/"), QStringLiteral("share/pressel/Tools/pngquant*")}
        << QStringLiteral("share/pressel/Tools/pngquant");
    QTest::newRow("nothing executable anywhere")
        << QStringList{QStringLiteral("libexec/pressel/pngquant"), QStringLiteral("share/pressel/Tools/pngquant"),
                       QStringLiteral("share/pressel/pngquant/pngquant")}
        << QString();
    QTest::newRow("empty bundle folders") << QStringList{} << QString();
    QTest::newRow("tool of another name only")
        << QStringList{QStringLiteral("libexec/pressel/cjpeg*"), QStringLiteral("share/pressel/Tools/pngquant2*")}
        << QString();
}

void tst_PNGQuantCommandLocator::locate()
{
    QFETCH(QStringList, items);
    QFETCH(QString, expected);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    const ApplicationBundle bundle = bundleAt(root.path());
    for (QString item : items) {
        const QString path = root.filePath(item.remove(u'*'));
        if (path.endsWith(u'/'))
            QVERIFY(QDir().mkpath(path));
        else
            writeFile(path, "#!/bin/sh\nexit 0\n", items.contains(item + u'*'));
    }

    const auto located = PNGQuantCommandLocator(bundle).locate();
    if (expected.isEmpty()) {
        QVERIFY2(!located, qPrintable(located ? located->toLocalFile() : QString()));
        return;
    }
    QVERIFY(located);
    QCOMPARE(located->toLocalFile(), root.filePath(expected));
}

void tst_PNGQuantCommandLocator::seesChangesWithoutCache()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const PNGQuantCommandLocator locator(bundleAt(root.path()));
    const QString tools = resourcesFolder(root.path()) + QStringLiteral("/Tools/pngquant");
    const QString auxiliary = executablesFolder(root.path()) + QStringLiteral("/pngquant");

    QVERIFY(!locator.locate());
    writeScript(tools, "exit 0");
    QCOMPARE(locator.locate(), QUrl::fromLocalFile(tools));
    writeScript(auxiliary, "exit 0");
    QCOMPARE(locator.locate(), QUrl::fromLocalFile(auxiliary));
    QVERIFY(QFile::remove(auxiliary));
    QVERIFY(QFile::remove(tools));
    QVERIFY(!locator.locate());
}

QTEST_GUILESS_MAIN(tst_PNGQuantCommandLocator)
#include "tst_pngquantcommandlocator.moc"
