// SPDX-License-Identifier: GPL-3.0-or-later
// A folder others can write to: links planted at every name an output could take while a real
// tool is held, two runs on one source, the source's permissions, a kill while a tool works, a
// source swapped for a FIFO, a link out of a walked folder, and private folders that a killed
// run left behind. Each through pressel-cli as a real process, or PrivateFile itself.

#include "HardeningSupport.h"
#include "PrivateFile.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pressel;
using namespace Qt::StringLiterals;
using namespace TestFiles;

namespace {

constexpr int watchdogMs = 120'000;

mode_t modeOf(const QString &path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode : 0;
}

// pressel-cli in a bundle of its own whose tools wait while the hold file exists.
struct HeldCLI {
    QString root;
    QString program() const { return root + u"/bin/pressel-cli"_s; }
    QString started() const { return root + u"/started"_s; }
    QString hold() const { return root + u"/hold"_s; }

    bool make()
    {
        heldToolsBundle(root, started(), hold());
        return QDir().mkpath(root + u"/bin"_s) && QFile::copy(presselCLI(), program()) && writeFile(hold(), "");
    }
    bool waitForRuns(qsizetype count) const
    {
        return QTest::qWaitFor([&] { return readLines(started()).size() >= count; }, watchdogMs);
    }
    void release() const { QFile::remove(hold()); }
};

QJsonObject onlyRow(QProcess &cli)
{
    const QJsonArray rows = QJsonDocument::fromJson(cli.readAllStandardOutput()).array();
    return rows.size() == 1 ? rows[0].toObject() : QJsonObject();
}

} // namespace

class SharedFolderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_sandbox.isValid()); }
    void cleanup() { QCOMPARE(m_sandbox.leftovers(), QString()); }

    void plantedLinks_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("cjpeg") << "photo.jpg" << QStringList();
        QTest::newRow("cjpeg, metadata rewritten") << "photo.jpg" << QStringList{u"--metadata"_s, u"camera"_s};
        QTest::newRow("pngquant") << "shot.png" << QStringList();
    }

    // Links to a victim appear at every name the output could take, and at pngquant's old
    // scratch name, while the tool works: the victim stays as it was, and the output takes
    // the first name nothing holds.
    void plantedLinks()
    {
        QFETCH(QString, source);
        QFETCH(QStringList, options);
        const QString folder = m_sandbox.newFolder(u"links"_s);
        const QString path = folder + u'/' + source;
        const bool jpeg = source.endsWith(u".jpg");
        TestImages::write(jpeg ? TestImages::photo(320, 240, 3) : TestImages::transparentGraphic(320, 240), path,
                          jpeg ? "jpeg" : "png", 95);
        const QString victim = m_sandbox.newFolder(u"victim"_s) + u"/notes.txt"_s;
        QVERIFY(writeFile(victim, "the user's own notes"));
        HeldCLI cli{m_sandbox.newFolder(u"cli"_s)};
        QVERIFY(cli.make());

        QProcess process;
        process.start(cli.program(), QStringList{u"--json"_s} + options + QStringList{path});
        QVERIFY(cli.waitForRuns(1));
        const QString base = folder + u'/' + QFileInfo(source).completeBaseName();
        const QString extension = jpeg ? u".jpg"_s : u".png"_s;
        for (const QString &name : QStringList{base + u"-1"_s + extension, base + u"-1"_s + extension + u".tmp"_s,
                                    base + u"-2"_s + extension, base + u"-3"_s + extension})
            QVERIFY(QFile::link(victim, name));
        cli.release();
        QVERIFY(process.waitForFinished(watchdogMs));

        QCOMPARE(readFile(victim), QByteArray("the user's own notes"));
        const QJsonObject row = onlyRow(process);
        QCOMPARE(row[u"status"_s].toString(), u"success"_s);
        QCOMPARE(row[u"output"_s].toString(), base + u"-4"_s + extension);
        QVERIFY(S_ISREG(modeOf(base + u"-4"_s + extension)));
        QCOMPARE(QFileInfo(base + u"-4"_s + extension).size(), row[u"compressedBytes"_s].toInteger());
    }

    // Two runs on one source, both told the same free name: the second to finish takes the next
    // one, and its output that is not smaller never removes the first one's.
    void twoRunsOnOneSource()
    {
        const QString folder = m_sandbox.newFolder(u"two"_s);
        const QString path = folder + u"/photo.jpg"_s;
        TestImages::write(TestImages::photo(320, 240, 4), path, "jpeg", 90);
        HeldCLI cli{m_sandbox.newFolder(u"cli"_s)};
        QVERIFY(cli.make());
        QProcess small, large;
        small.start(cli.program(), {u"--json"_s, u"--quality"_s, u"40"_s, path});
        large.start(cli.program(), {u"--json"_s, u"--quality"_s, u"100"_s, path});
        QVERIFY(cli.waitForRuns(2));
        cli.release();
        QVERIFY(small.waitForFinished(watchdogMs) && large.waitForFinished(watchdogMs));

        const QJsonObject kept = onlyRow(small);
        QCOMPARE(kept[u"status"_s].toString(), u"success"_s);
        QCOMPARE(onlyRow(large)[u"status"_s].toString(), u"skipped"_s);
        const QString output = kept[u"output"_s].toString();
        QCOMPARE(QFileInfo(output).size(), kept[u"compressedBytes"_s].toInteger());
        QCOMPARE(entryNames(folder), (QStringList{QFileInfo(output).fileName(), u"photo.jpg"_s}));
    }

    void permissions_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("mode");
        for (const int mode : {0600, 0640}) {
            const QByteArray m = QByteArray::number(mode, 8);
            QTest::addRow("cjpeg, 0%s", m.constData()) << "photo.jpg" << QStringList() << mode;
            QTest::addRow("pngquant, 0%s", m.constData()) << "shot.png" << QStringList() << mode;
            QTest::addRow("PNG optimiser, 0%s", m.constData()) << "shot.png" << QStringList{u"--png-lossless"_s} << mode;
            QTest::addRow("jpegtran, 0%s", m.constData()) << "photo.jpg" << QStringList{u"--jpeg-lossless"_s} << mode;
        }
    }

    void permissions()
    {
        QFETCH(QString, source);
        QFETCH(QStringList, options);
        QFETCH(int, mode);
        const QString path = m_sandbox.newFolder(u"modes"_s) + u'/' + source;
        TestImages::write(source.endsWith(u".jpg") ? TestImages::photo(320, 240, 5) : TestImages::transparentGraphic(320, 240),
                          path, source.endsWith(u".jpg") ? "jpeg" : "png", 95);
        QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions())); // from nothing, then chmod
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);

        const ProcessRun run = TestFiles::run(presselCLI(), QStringList{u"--json"_s} + options + QStringList{path});
        const QString output = run.rows()[0][u"output"_s].toString();
        QVERIFY2(!output.isEmpty(), qPrintable(run.describe()));
        QCOMPARE(modeOf(output) & 07777, mode_t(mode));
    }

    void killedWhileAToolWorks_data()
    {
        QTest::addColumn<QString>("source");
        QTest::newRow("cjpeg, its PPM in hand") << "photo.jpg";
        QTest::newRow("pngquant") << "shot.png";
    }

    // Killed outright: nothing in TMPDIR, nothing beside the source.
    void killedWhileAToolWorks()
    {
        QFETCH(QString, source);
        const QString folder = m_sandbox.newFolder(u"killed"_s);
        TestImages::write(TestImages::photo(320, 240, 6), folder + u'/' + source, source.endsWith(u".jpg") ? "jpeg" : "png");
        HeldCLI cli{m_sandbox.newFolder(u"cli"_s)};
        QVERIFY(cli.make());
        QProcess process;
        process.start(cli.program(), {folder + u'/' + source});
        QVERIFY(cli.waitForRuns(1));
        ::kill(pid_t(process.processId()), SIGKILL);
        QVERIFY(process.waitForFinished(watchdogMs));
        cli.release();
        QCOMPARE(entryNames(folder), QStringList{source});
    }

    // Swapped for a FIFO while its tool works: the run neither hangs nor takes metadata or
    // pixels from anything but the file it read, and says the source changed.
    void sourceSwappedForAFIFO()
    {
        const QString folder = m_sandbox.newFolder(u"fifo"_s);
        const QString path = folder + u"/photo.jpg"_s;
        TestImages::write(TestImages::photo(320, 240, 7), path, "jpeg", 95);
        HeldCLI cli{m_sandbox.newFolder(u"cli"_s)};
        QVERIFY(cli.make());
        QProcess process;
        process.start(cli.program(), {u"--json"_s, u"--metadata"_s, u"all"_s, path});
        QVERIFY(cli.waitForRuns(1));
        QVERIFY(QFile::rename(path, folder + u"/moved.jpg"_s));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        cli.release();
        QVERIFY(process.waitForFinished(watchdogMs));
        const QJsonObject row = onlyRow(process);
        QCOMPARE(row[u"status"_s].toString(), u"failed"_s);
        QCOMPARE(row[u"message"_s].toString(), u"原图在压缩期间被改动，未保存输出"_s);
        QCOMPARE(entryNames(folder), (QStringList{u"moved.jpg"_s, u"photo.jpg"_s}));
    }

    // A walked folder's links are passed by, to files as to folders.
    void walkPassesLinksBy()
    {
        const QString root = m_sandbox.newFolder(u"walk"_s);
        QVERIFY(QDir().mkpath(root + u"/private"_s) && QDir().mkpath(root + u"/in"_s));
        TestImages::write(TestImages::photo(320, 240, 8), root + u"/private/secret.jpg"_s, "jpeg", 95);
        TestImages::write(TestImages::photo(320, 240, 9), root + u"/in/real.jpg"_s, "jpeg", 95);
        QVERIFY(QFile::link(u"../private/secret.jpg"_s, root + u"/in/link.jpg"_s));
        QVERIFY(QFile::link(u"../private"_s, root + u"/in/folder"_s));

        const ProcessRun run = TestFiles::run(presselCLI(), {u"--json"_s, u"-r"_s, root + u"/in"_s});
        QCOMPARE(run.rows().size(), 1);
        QCOMPARE(run.rows()[0][u"source"_s].toString(), root + u"/in/real.jpg"_s);
        QCOMPARE(entryNames(root + u"/in"_s), (QStringList{u"folder"_s, u"link.jpg"_s, u"real-1.jpg"_s, u"real.jpg"_s}));
    }

    // Where the file system has no unnamed files: a private folder, swept when a killed run
    // left it, kept while its run lives, and a publication that never replaces a link.
    void privateFolders()
    {
        const QString folder = m_sandbox.newFolder(u"private"_s);
        QVERIFY(QDir(folder).mkdir(u".pressel-killed"_s) && writeFile(folder + u"/.pressel-killed/output"_s, "half"));
        QCOMPARE(::chmod(QFile::encodeName(folder + u"/.pressel-killed"_s).constData(), 0700), 0);
        QVERIFY(QDir(folder).mkdir(u".pressel-wide"_s)); // 0755: not one of ours
        QVERIFY(QFile::link(u"/etc/hostname"_s, folder + u"/out.jpg"_s));

        auto living = PrivateFile::create(folder, PrivateFile::Kind::inPrivateFolder);
        QVERIFY(living);
        QCOMPARE(modeOf(folder + u'/' + living->privateFolderName()) & 07777, mode_t(0700));
        auto second = PrivateFile::create(folder, PrivateFile::Kind::inPrivateFolder);
        QVERIFY(second);
        QVERIFY(second->rewrite("picture"));
        QCOMPARE(second->publish(u"out.jpg"_s), PrivateFile::Publication::nameTaken);
        QCOMPARE(second->publish(u"out-1.jpg"_s), PrivateFile::Publication::published);
        QStringList expected{u".pressel-wide"_s, living->privateFolderName(), u"out-1.jpg"_s, u"out.jpg"_s};
        expected.sort();
        QCOMPARE(entryNames(folder), expected);
        QCOMPARE(readFile(folder + u"/out-1.jpg"_s), QByteArray("picture"));
        living.reset();
        QCOMPARE(entryNames(folder), (QStringList{u".pressel-wide"_s, u"out-1.jpg"_s, u"out.jpg"_s}));
    }

private:
    Sandbox m_sandbox;
};

QTEST_GUILESS_MAIN(SharedFolderTest)
#include "tst_sharedfolder.moc"
