// MozJPEGCommandLocator: the four places inside the bundle, their order, and what counts as an
// executable there.

#include "JPEGTestSupport.h"
#include "MozJPEGCommandLocator.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace JPEGTestSupport;

class tst_MozJPEGCommandLocator : public QObject
{
    Q_OBJECT

private slots:
    void candidateURLs_data();
    void candidateURLs();
    void locate_data();
    void locate();
    void seesChangesWithoutCache();
    void neverSearchesThePath();
};

namespace {

const QString auxiliary = QStringLiteral("libexec/pressel/cjpeg");
const QString resources = QStringLiteral("share/pressel/cjpeg");
const QString tools = QStringLiteral("share/pressel/Tools/cjpeg");
const QString nested = QStringLiteral("share/pressel/mozjpeg/cjpeg");

// Items are paths below the root; a trailing "/" makes a folder, a trailing "*" an executable
// script, anything else a plain file without execute permission.
void makeItems(const QString &root, const QStringList &items)
{
    for (const QString &item : items) {
        if (item.endsWith(u'/'))
            QDir().mkpath(root + u'/' + item);
        else if (item.endsWith(u'*'))
            writeScript(root + u'/' + item.chopped(1), "exit 0");
        else
            writeFile(root + u'/' + item, "#!/bin/sh\nexit 0\n");
    }
}

QString relative(const QString &root, const std::optional<QUrl> &url)
{
    return url ? QDir(root).relativeFilePath(url->toLocalFile()) : QString();
}

} // namespace

void tst_MozJPEGCommandLocator::candidateURLs_data()
{
    QTest::addColumn<bool>("withExecutables");
    QTest::addColumn<bool>("withResources");
    QTest::addColumn<bool>("auxiliaryPresent");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("all four, auxiliary first")
        << true << true << true << QStringList{auxiliary, resources, tools, nested};
    QTest::newRow("no auxiliary executable") << true << true << false << QStringList{resources, tools, nested};
    QTest::newRow("no executables folder") << false << true << false << QStringList{resources, tools, nested};
    QTest::newRow("no resources folder") << true << false << true << QStringList{auxiliary};
    QTest::newRow("empty bundle") << false << false << false << QStringList{};
}

void tst_MozJPEGCommandLocator::candidateURLs()
{
    QFETCH(bool, withExecutables);
    QFETCH(bool, withResources);
    QFETCH(bool, auxiliaryPresent);
    QFETCH(QStringList, expected);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    QDir().mkpath(executablesFolder(root.path()));
    if (auxiliaryPresent)
        writeScript(executablesFolder(root.path()) + QStringLiteral("/cjpeg"), "exit 0");
    const ApplicationBundle bundle(withExecutables ? std::optional(executablesFolder(root.path())) : std::nullopt,
                                   withResources ? std::optional(resourcesFolder(root.path())) : std::nullopt);

    QStringList actual;
    for (const QUrl &url : MozJPEGCommandLocator(bundle).candidateURLs())
        actual.append(QDir(root.path()).relativeFilePath(url.toLocalFile()));
    QCOMPARE(actual, expected);
}

void tst_MozJPEGCommandLocator::locate_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("expected"); // empty: none

    QTest::newRow("auxiliary executable wins over Tools") << QStringList{auxiliary + u'*', tools + u'*'} << auxiliary;
    QTest::newRow("resources file without execute permission, executable in mozjpeg/")
        << QStringList{resources, nested + u'*'} << nested;
    QTest::newRow("auxiliary without execute permission, executable in resources")
        << QStringList{auxiliary, resources + u'*'} << resources;
    QTest::newRow("resources file before Tools") << QStringList{resources + u'*', tools + u'*'} << resources;
    QTest::newRow("Tools before mozjpeg/") << QStringList{tools + u'*', nested + u'*'} << tools;
    QTest::newRow("a folder named cjpeg as auxiliary is no executable")
        << QStringList{auxiliary + u'/', nested + u'*'} << nested;
    QTest::newRow("a folder named cjpeg in resources is no executable")
        << QStringList{resources + u'/', tools + u'/', nested + u'*'} << nested;
    QTest::newRow("only folders") << QStringList{auxiliary + u'/', resources + u'/', tools + u'/', nested + u'/'}
                                  << QString();
    QTest::newRow("nothing executable anywhere") << QStringList{auxiliary, resources, tools, nested} << QString();
    QTest::newRow("empty bundle") << QStringList{} << QString();
}

void tst_MozJPEGCommandLocator::locate()
{
    QFETCH(QStringList, items);
    QFETCH(QString, expected);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    const ApplicationBundle bundle = bundleAt(root.path());
    makeItems(root.path(), items);

    QCOMPARE(relative(root.path(), MozJPEGCommandLocator(bundle).locate()), expected);
}

void tst_MozJPEGCommandLocator::seesChangesWithoutCache()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const MozJPEGCommandLocator locator(bundleAt(root.path()));
    QVERIFY(!locator.locate());

    makeItems(root.path(), {tools + u'*'});
    QCOMPARE(relative(root.path(), locator.locate()), tools);

    makeItems(root.path(), {auxiliary + u'*'});
    QCOMPARE(relative(root.path(), locator.locate()), auxiliary);

    QVERIFY(QFile::remove(root.filePath(auxiliary)));
    QVERIFY(QFile::remove(root.filePath(tools)));
    QVERIFY(!locator.locate());
}

void tst_MozJPEGCommandLocator::neverSearchesThePath()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    makeItems(root.path(), {QStringLiteral("elsewhere/cjpeg*")});
    const QByteArray previousPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(root.filePath(QStringLiteral("elsewhere"))));
    const auto found = MozJPEGCommandLocator(bundleAt(root.filePath(QStringLiteral("bundle")))).locate();
    qputenv("PATH", previousPath);
    QVERIFY(!found);
}

QTEST_GUILESS_MAIN(tst_MozJPEGCommandLocator)
#include "tst_mozjpegcommandlocator.moc"
