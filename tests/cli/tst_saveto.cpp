// SPDX-License-Identifier: GPL-3.0-or-later
// Where outputs go, through the real pressel-cli: a chosen folder that repeats a given folder's
// subfolders, and originals replaced with the freedesktop Trash of a private XDG_DATA_HOME:
// what its entries hold, putting one back, a Trash that cannot take the original, and a run
// killed at each step of a replacement.

#include "TestFiles.h"
#include "TestImages.h"

#include <QDateTime>
#include <QDir>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;
using namespace TestFiles;

namespace {

QString presselCLI()
{
    return buildPath(u"bin/pressel-cli"_s);
}

// A folder with one photo to replace (a JPEG, or a PNG that bears a .jpg name and so becomes a
// .png) and a data home of its own on the same disk.
struct Scene {
    QTemporaryDir dir;
    QString source;
    QByteArray original;
    QString trash = dir.filePath(u"data/Trash"_s);

    Scene(const QString &name, bool png)
    {
        source = dir.filePath(u"photos/"_s + name);
        original = png ? TestImages::encode(TestImages::transparentGraphic(800, 500), "png")
                       : TestImages::encode(TestImages::photo(320, 240, 4), "jpeg", 95);
        QDir().mkpath(dir.filePath(u"data"_s));
        QVERIFY(writeFile(source, original));
    }
    RunOptions options() const { return {{}, {{u"XDG_DATA_HOME"_s, dir.filePath(u"data"_s)}}}; }
    QString photos() const { return QFileInfo(source).path(); }
    // The name the output takes: the source's, with a .png's extension for a PNG.
    QString replaced(bool png) const
    {
        return png ? photos() + u'/' + QFileInfo(source).completeBaseName() + u".png"_s : source;
    }
};

QString infoOf(const QString &path)
{
    return QString::fromUtf8(readFile(path));
}

} // namespace

class tst_SaveTo : public QObject
{
    Q_OBJECT

private slots:
    // A given folder is repeated below the chosen one with its subfolders; names are counted
    // there; a link planted at a subfolder's name is never followed.
    void outputFolder()
    {
        QTemporaryDir dir;
        const QByteArray jpeg = TestImages::encode(TestImages::photo(160, 120, 2), "jpeg", 95);
        for (const QString &name : {u"Trip/a.jpg"_s, u"Trip/day 1/a.jpg"_s, u"a.jpg"_s, u"Other/b.jpg"_s})
            QVERIFY(writeFile(dir.filePath(u"in/"_s + name), jpeg));
        QVERIFY(writeFile(dir.filePath(u"out/a.jpg"_s), "taken"));
        QVERIFY(QDir().mkpath(dir.filePath(u"elsewhere"_s)));
        QVERIFY(QFile::link(dir.filePath(u"elsewhere"_s), dir.filePath(u"out/Other"_s)));
        const ProcessRun run = TestFiles::run(
            presselCLI(),
            {u"--json"_s, u"-r"_s, u"--output-dir"_s, u"out"_s, u"in/Trip"_s, u"in/a.jpg"_s, u"in/Other"_s},
            {dir.path()});
        const QJsonArray rows = run.rows();
        QVERIFY2(rows.size() == 4, qPrintable(run.describe()));
        const QStringList outputs{u"out/Trip/a.jpg"_s, u"out/Trip/day 1/a.jpg"_s, u"out/a-1.jpg"_s};
        for (int index = 0; index < 3; ++index) {
            QCOMPARE(rows[index][u"output"_s].toString(), dir.filePath(outputs[index]));
            QCOMPARE(TestImages::checkOutput(dir.filePath(outputs[index]), "jpeg"), QString());
        }
        QCOMPARE(rows[3][u"reason"_s].toString(), u"folderCreateFailed"_s);
        QVERIFY(entryNames(dir.filePath(u"elsewhere"_s)).isEmpty());
        QCOMPARE(readFile(dir.filePath(u"in/a.jpg"_s)), jpeg);
    }

    void replaced_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("png");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("output"); // the output's name, and its format
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QString>("entry"); // the Trash entry's name
        QTest::addColumn<QString>("path");  // the info file's Path, below the photos' folder

        const QStringList none;
        QTest::newRow("JPEG") << u"photo.jpg"_s << false << none << u"photo.jpg"_s << QByteArray("jpeg")
                              << u"photo.jpg"_s << u"photo.jpg"_s;
        QTest::newRow("another format's extension")
            << u"shot.jpg"_s << true << none << u"shot.png"_s << QByteArray("png") << u"shot.jpg"_s << u"shot.jpg"_s;
        QTest::newRow("converted") << u"shot.png"_s << true << QStringList{u"--format"_s, u"jpeg"_s} << u"shot.jpg"_s
                                   << QByteArray("jpeg") << u"shot.png"_s << u"shot.png"_s;
        QTest::newRow("a name the Trash holds")
            << u"old.jpg"_s << false << none << u"old.jpg"_s << QByteArray("jpeg") << u"old.2.jpg"_s << u"old.jpg"_s;
        QTest::newRow("a name to encode") << u"50% off #1.jpg"_s << false << none << u"50% off #1.jpg"_s
                                          << QByteArray("jpeg") << u"50% off #1.jpg"_s << u"50%25%20off%20%231.jpg"_s;
    }

    // The output takes the original's name, the original is a Trash entry a file manager reads,
    // and putting it back as one does gives the original's bytes.
    void replaced()
    {
        QFETCH(QString, name);
        QFETCH(bool, png);
        QFETCH(QStringList, options);
        QFETCH(QString, output);
        QFETCH(QByteArray, format);
        QFETCH(QString, entry);
        QFETCH(QString, path);

        Scene scene(name, png);
        QVERIFY(writeFile(scene.trash + u"/files/old.jpg"_s, "trashed before"));
        const QString replacement = scene.photos() + u'/' + output;
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        const ProcessRun run =
            TestFiles::run(presselCLI(), QStringList{u"--json"_s, u"--replace"_s} + options + QStringList{scene.source},
                           scene.options());
        const QDateTime after = QDateTime::currentDateTime();
        QVERIFY2(run.finished && run.exitCode == 0, qPrintable(run.describe()));
        QCOMPARE(run.rows()[0][u"output"_s].toString(), replacement);
        QCOMPARE(TestImages::checkOutput(replacement, format), QString());
        QCOMPARE(entryNames(scene.photos()), QStringList{output});

        const QString trashed = scene.trash + u"/files/"_s + entry;
        QCOMPARE(run.rows()[0][u"trashedSource"_s].toString(), trashed);
        QCOMPARE(readFile(trashed), scene.original);
        const QStringList info = infoOf(scene.trash + u"/info/"_s + entry + u".trashinfo"_s).split(u'\n');
        QCOMPARE(info.size(), 4);
        QCOMPARE(info.mid(0, 2), (QStringList{u"[Trash Info]"_s, u"Path="_s + scene.photos() + u'/' + path}));
        const QDateTime deleted = QDateTime::fromString(info[2].mid(13), u"yyyy-MM-ddTHH:mm:ss"_s);
        QVERIFY2(info[2].startsWith(u"DeletionDate="_s) && deleted >= before && deleted <= after, qPrintable(info[2]));
        QCOMPARE(info[3], QString());

        // The output thrown away and the original put back, as a file manager restores it: the
        // file to its Path, the info file gone.
        QVERIFY(QFile::remove(replacement));
        QVERIFY(QFile::rename(trashed, QUrl::fromPercentEncoding(info[1].mid(5).toUtf8())));
        QVERIFY(QFile::remove(scene.trash + u"/info/"_s + entry + u".trashinfo"_s));
        QCOMPARE(readFile(scene.source), scene.original);
    }

    void trashRefuses_data()
    {
        QTest::addColumn<QString>("planted"); // a file where the Trash needs a folder
        QTest::addColumn<bool>("png");

        QTest::newRow("the Trash is a file") << u"data/Trash"_s << false;
        QTest::newRow("its info folder is a file") << u"data/Trash/info"_s << false;
        QTest::newRow("its info folder is a file, another extension") << u"data/Trash/info"_s << true;
    }

    // A Trash that cannot take the original fails the row and leaves everything as it was.
    void trashRefuses()
    {
        QFETCH(QString, planted);
        QFETCH(bool, png);

        Scene scene(u"photo.jpg"_s, png);
        QVERIFY(writeFile(scene.dir.filePath(planted), "a file"));
        const ProcessRun run =
            TestFiles::run(presselCLI(), {u"--json"_s, u"--replace"_s, scene.source}, scene.options());
        QVERIFY2(run.finished && run.exitCode == 1, qPrintable(run.describe()));
        QCOMPARE(run.rows()[0][u"reason"_s].toString(), u"trashFailed"_s);
        QCOMPARE(entryNames(scene.photos()), QStringList{u"photo.jpg"_s});
        QCOMPARE(readFile(scene.source), scene.original);
        QCOMPARE(readFile(scene.dir.filePath(planted)), QByteArray("a file"));
    }

    // A file given twice is replaced once: at its second turn it is an output, left alone.
    void givenTwice()
    {
        Scene scene(u"photo.jpg"_s, false);
        const ProcessRun run =
            TestFiles::run(presselCLI(), {u"--json"_s, u"-j"_s, u"1"_s, u"--replace"_s, scene.source,
                                          scene.photos() + u"/./photo.jpg"_s},
                           scene.options());
        QVERIFY2(run.finished && run.exitCode == 0, qPrintable(run.describe()));
        QCOMPARE(run.rows().size(), 2);
        QCOMPARE(run.rows()[1][u"reason"_s].toString(), u"earlierOutput"_s);
        QCOMPARE(entryNames(scene.trash + u"/files"_s), QStringList{u"photo.jpg"_s});
        QCOMPARE(readFile(scene.trash + u"/files/photo.jpg"_s), scene.original);
    }

    // A link is not the photo: neither it nor the file it points to is replaced.
    void linkNotReplaced()
    {
        Scene scene(u"photo.jpg"_s, false);
        const QString link = scene.photos() + u"/link.jpg"_s;
        QVERIFY(QFile::link(u"photo.jpg"_s, link));
        const ProcessRun run = TestFiles::run(presselCLI(), {u"--json"_s, u"--replace"_s, link}, scene.options());
        QVERIFY2(run.finished && run.exitCode == 1, qPrintable(run.describe()));
        QCOMPARE(run.rows()[0][u"reason"_s].toString(), u"sourceIsLink"_s);
        QCOMPARE(entryNames(scene.photos()), (QStringList{u"link.jpg"_s, u"photo.jpg"_s}));
        QCOMPARE(QFileInfo(link).symLinkTarget(), scene.source);
        QCOMPARE(readFile(scene.source), scene.original);
    }

    void killed_data()
    {
        QTest::addColumn<bool>("png");
        QTest::addColumn<int>("step");

        for (const bool png : {false, true}) {
            for (int step = 1; step <= 4; ++step)
                QTest::addRow("%s, before step %d", png ? "another extension" : "JPEG", step) << png << step;
        }
    }

    // Killed at any step, a replacement leaves one of two states: the original in place (the
    // output, if any, beside it or in the Trash), or the original in the Trash and the output
    // at its name. Only a kill after the last step gives the second.
    void killed()
    {
        QFETCH(bool, png);
        QFETCH(int, step);

        Scene scene(u"photo.jpg"_s, png);
        QProcess cli;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_DATA_HOME"_s, scene.dir.filePath(u"data"_s));
        environment.insert(u"PRESSEL_TEST_REPLACE_STOP"_s, QString::number(step));
        cli.setProcessEnvironment(environment);
        cli.start(presselCLI(), {u"--replace"_s, scene.source});
        const QString status = u"/proc/%1/stat"_s.arg(cli.processId());
        // Stopped by itself before the step: state "T" after the command's name.
        QVERIFY(QTest::qWaitFor([&] { return infoOf(status).section(u") "_s, -1).startsWith(u'T'); }, 60'000));
        ::kill(pid_t(cli.processId()), SIGKILL);
        QVERIFY(cli.waitForFinished(60'000));

        const QStringList trashed = entryNames(scene.trash + u"/files"_s);
        if (step < 4) {
            QCOMPARE(readFile(scene.source), scene.original);
            // An output already made is whole, beside the original or in the Trash.
            QStringList outputs;
            for (const QString &name : entryNames(scene.photos()))
                outputs << scene.photos() + u'/' + name;
            outputs.removeOne(scene.source);
            for (const QString &name : trashed)
                outputs << scene.trash + u"/files/"_s + name;
            for (const QString &output : outputs)
                QCOMPARE(TestImages::checkOutput(output, png ? "png" : "jpeg"), QString());
        } else {
            QCOMPARE(trashed, QStringList{u"photo.jpg"_s});
            QCOMPARE(readFile(scene.trash + u"/files/photo.jpg"_s), scene.original);
            QVERIFY(infoOf(scene.trash + u"/info/photo.jpg.trashinfo"_s).contains(u"Path="_s + scene.source));
            QCOMPARE(TestImages::checkOutput(scene.replaced(png), png ? "png" : "jpeg"), QString());
        }
    }
};

QTEST_GUILESS_MAIN(tst_SaveTo)
#include "tst_saveto.moc"
