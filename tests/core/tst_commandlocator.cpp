// The bundle's tool locator, through the two tools it finds (cjpeg, whose fourth place is
// mozjpeg/, and pngquant, whose fourth place is pngquant/ and so a folder of the tool's own name):
// the four places in their order, what counts as an executable, no cache, no PATH.

#include "MozJPEGCommandLocator.h"
#include "PNGQuantCommandLocator.h"
#include "TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace TestFiles;

namespace {

QList<QUrl> candidates(const QString &tool, const ApplicationBundle &bundle)
{
    return tool == u"cjpeg" ? MozJPEGCommandLocator(bundle).candidateURLs()
                            : PNGQuantCommandLocator(bundle).candidateURLs();
}

std::optional<QUrl> located(const QString &tool, const ApplicationBundle &bundle)
{
    return tool == u"cjpeg" ? MozJPEGCommandLocator(bundle).locate() : PNGQuantCommandLocator(bundle).locate();
}

// The four places, with the tool's own names: A auxiliary, R resources, T Tools/, S subfolder.
QString place(const QString &tool, QChar code)
{
    const QString subfolder = tool == u"cjpeg" ? u"mozjpeg"_s : tool;
    switch (code.unicode()) {
    case 'A':
        return u"libexec/pressel/"_s + tool;
    case 'R':
        return u"share/pressel/"_s + tool;
    case 'T':
        return u"share/pressel/Tools/"_s + tool;
    default:
        return u"share/pressel/"_s + subfolder + u'/' + tool;
    }
}

} // namespace

class tst_CommandLocator : public QObject
{
    Q_OBJECT

private slots:
    void candidateURLs_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<bool>("withExecutables");
        QTest::addColumn<bool>("withResources");
        QTest::addColumn<bool>("auxiliaryPresent");
        QTest::addColumn<QString>("expected"); // place codes, in order

        for (const char *tool : {"cjpeg", "pngquant"}) {
            QTest::addRow("%s: all four, auxiliary first", tool) << tool << true << true << true << "ARTS";
            QTest::addRow("%s: no auxiliary executable", tool) << tool << true << true << false << "RTS";
            QTest::addRow("%s: no executables folder", tool) << tool << false << true << false << "RTS";
            QTest::addRow("%s: no resources folder", tool) << tool << true << false << true << "A";
            QTest::addRow("%s: empty bundle", tool) << tool << false << false << false << "";
        }
    }

    void candidateURLs()
    {
        QFETCH(QString, tool);
        QFETCH(bool, withExecutables);
        QFETCH(bool, withResources);
        QFETCH(bool, auxiliaryPresent);
        QFETCH(QString, expected);

        QTemporaryDir root;
        QDir().mkpath(executablesFolder(root.path()));
        if (auxiliaryPresent)
            QVERIFY(writeScript(root.filePath(place(tool, u'A')), "exit 0"));
        const ApplicationBundle bundle(withExecutables ? std::optional(executablesFolder(root.path())) : std::nullopt,
                                       withResources ? std::optional(resourcesFolder(root.path())) : std::nullopt);
        QStringList actual;
        for (const QUrl &url : candidates(tool, bundle))
            actual.append(QDir(root.path()).relativeFilePath(url.toLocalFile()));
        QStringList places;
        for (const QChar code : expected)
            places.append(place(tool, code));
        QCOMPARE(actual, places);
    }

    void locate_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("items");    // place codes, each followed by "*" executable, "/" folder or nothing
        QTest::addColumn<QString>("expected"); // place code; empty: none

        for (const char *tool : {"cjpeg", "pngquant"}) {
            QTest::addRow("%s: auxiliary wins over Tools", tool) << tool << "A* T*"
                                                                 << "A";
            QTest::addRow("%s: non-executable auxiliary skipped", tool) << tool << "A R*"
                                                                        << "R";
            QTest::addRow("%s: resources before Tools", tool) << tool << "R* T*"
                                                              << "R";
            QTest::addRow("%s: non-executable resources file skipped", tool) << tool << "R T*"
                                                                             << "T";
            QTest::addRow("%s: Tools before the subfolder", tool) << tool << "T* S*"
                                                                  << "T";
            QTest::addRow("%s: subfolder last", tool) << tool << "S*"
                                                      << "S";
            QTest::addRow("%s: a folder as auxiliary is no executable", tool) << tool << "A/ S*"
                                                                              << "S";
            QTest::addRow("%s: only folders", tool) << tool << "A/ R/ T/ S/"
                                                    << "";
            QTest::addRow("%s: nothing executable", tool) << tool << "A T S"
                                                          << "";
            QTest::addRow("%s: empty bundle", tool) << tool << ""
                                                    << "";
        }
        QTest::newRow("pngquant: an empty folder named pngquant in resources") << "pngquant"
                                                                               << "R/"
                                                                               << "";
        QTest::newRow("pngquant: another tool's name only") << "pngquant"
                                                            << "cjpeg*"
                                                            << "";
    }

    void locate()
    {
        QFETCH(QString, tool);
        QFETCH(QString, items);
        QFETCH(QString, expected);

        QTemporaryDir root;
        const ApplicationBundle bundle = bundleAt(root.path());
        for (const QString &item : items.split(u' ', Qt::SkipEmptyParts)) {
            const QString path = item.startsWith(u"cjpeg") ? root.filePath(place(u"cjpeg"_s, u'A'))
                                                           : root.filePath(place(tool, item.front()));
            if (item.endsWith(u'/'))
                QVERIFY(QDir().mkpath(path));
            else
                QVERIFY(writeFile(path, "#!/bin/sh\nexit 0\n", item.endsWith(u'*')));
        }
        const auto found = located(tool, bundle);
        QCOMPARE(found ? QDir(root.path()).relativeFilePath(found->toLocalFile()) : QString(),
                 expected.isEmpty() ? QString() : place(tool, expected.front()));
    }

    void seesChangesWithoutCacheAndNeverSearchesPath_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::newRow("cjpeg") << "cjpeg";
        QTest::newRow("pngquant") << "pngquant";
    }

    void seesChangesWithoutCacheAndNeverSearchesPath()
    {
        QFETCH(QString, tool);
        QTemporaryDir root;
        const ApplicationBundle bundle = bundleAt(root.path());
        const QByteArray path = qgetenv("PATH");
        QVERIFY(writeScript(root.filePath(u"elsewhere/"_s + tool), "exit 0"));
        qputenv("PATH", QFile::encodeName(root.filePath(u"elsewhere"_s)));
        const auto onPath = located(tool, bundle);
        qputenv("PATH", path);
        QVERIFY(!onPath);

        QVERIFY(writeScript(root.filePath(place(tool, u'T')), "exit 0"));
        QCOMPARE(located(tool, bundle), QUrl::fromLocalFile(root.filePath(place(tool, u'T'))));
        QVERIFY(writeScript(root.filePath(place(tool, u'A')), "exit 0"));
        QCOMPARE(located(tool, bundle), QUrl::fromLocalFile(root.filePath(place(tool, u'A'))));
        QVERIFY(QFile::remove(root.filePath(place(tool, u'A'))));
        QVERIFY(QFile::remove(root.filePath(place(tool, u'T'))));
        QVERIFY(!located(tool, bundle));
    }
};

QTEST_GUILESS_MAIN(tst_CommandLocator)
#include "tst_commandlocator.moc"
