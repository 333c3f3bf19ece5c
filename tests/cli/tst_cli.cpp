// SPDX-License-Identifier: GPL-3.0-or-later
// pressel-cli end to end, with the tools of the build tree's bundle: the acceptance batch of
// every kind of file a user drops, the roads through mozjpeg and pngquant, a chatty tool, and
// the command line's own rules.

#include "AVIFEncoder.h"
#include "JPEGEncoder.h"
#include "PNGEncoder.h"
#include "PPMPreprocessing.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "WebPEncoder.h"

#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/xattr.h>

using namespace pressel;
using namespace Qt::StringLiterals;
using namespace TestFiles;
using namespace TestImages;

namespace {

QString presselCLI()
{
    return buildPath(u"bin/pressel-cli"_s);
}

QString bundled(const QString &tool)
{
    return QFileInfo(buildPath(u"libexec/pressel/"_s + tool)).canonicalFilePath();
}

// A copy of pressel-cli in a bundle below `folder` whose one tool is this script (none when it
// is empty); its path.
QString cliWithTool(const QString &folder, const QString &tool, const QByteArray &script)
{
    const QString program = folder + u"/bundle/bin/pressel-cli"_s;
    const bool made = QDir().mkpath(folder + u"/bundle/bin"_s) && QFile::copy(presselCLI(), program) &&
                      (script.isEmpty() || writeScript(folder + u"/bundle/libexec/pressel/"_s + tool, script));
    return made ? program : QString();
}

// The pixels as djpeg writes them.
QByteArray djpeg(const QString &path)
{
    return TestFiles::run(u"djpeg"_s, {path}).standardOutput;
}

// The tags an independent reader finds, as "<group>:<tag>" -> value (numbers as numbers).
QJsonObject readTags(const QString &path)
{
    const ProcessRun run = TestFiles::run(u"exiftool"_s, {u"-json"_s, u"-G1"_s, u"-a"_s, u"-n"_s, path});
    return QJsonDocument::fromJson(run.standardOutput).array().at(0).toObject();
}

// A photo as a phone writes it: turned by its orientation tag, with a place, a thumbnail and
// maker notes beside what a photographer keeps.
bool writePhonePhoto(const QString &path, const QString &scratch)
{
    const QString thumbnail = scratch + u"/thumbnail.jpg"_s;
    const QString makerNote = scratch + u"/makernote"_s;
    // Apple's maker note: its signature, version, byte order, then one entry (version 7).
    const QByteArray appleNote("Apple iOS\0\0\1MM\0\1\0\1\0\x09\0\0\0\1\0\0\0\x07\0\0\0\0", 32);
    if (!writeFile(path, encode(TestImages::photo(640, 480, 3), "jpeg", 95)) ||
        !writeFile(thumbnail, encode(TestImages::photo(160, 120, 3), "jpeg", 80)) || !writeFile(makerNote, appleNote))
        return false;
    const ProcessRun run = TestFiles::run(
        u"exiftool"_s,
        {u"-q"_s, u"-overwrite_original"_s, u"-Make=Apple"_s, u"-Model=iPhone 15"_s, u"-Orientation#=6"_s,
         u"-DateTimeOriginal=2024:05:01 10:20:30"_s, u"-OffsetTimeOriginal=+02:00"_s, u"-Copyright=© Ada"_s,
         u"-Artist=Ada"_s, u"-FNumber=1.8"_s, u"-ExposureTime=0.01"_s, u"-ISO=100"_s, u"-LensModel=Back camera"_s,
         u"-ExifImageWidth=640"_s, u"-ExifImageHeight=480"_s, u"-GPSLatitude=48.85"_s, u"-GPSLatitudeRef=N"_s,
         u"-GPSLongitude=2.35"_s, u"-GPSLongitudeRef=E"_s, u"-XMP-photoshop:City=Paris"_s, u"-IPTC:City=Paris"_s,
         u"-XMP-dc:Rights=© Ada"_s, u"-ThumbnailImage<="_s + thumbnail, u"-ExifIFD:MakerNoteApple<="_s + makerNote,
         path});
    return run.finished && run.exitCode == 0;
}

} // namespace

class tst_CLI : public QObject
{
    Q_OBJECT

    QMap<QString, QByteArray> m_writtenByOneWorker;

private slots:
    void initTestCase() { QVERIFY2(QFileInfo(presselCLI()).isExecutable(), qPrintable(presselCLI())); }

    // Every kind of file a user drops, with one worker and with two: the same rows in drop order
    // and the same files, byte for byte. Copies of one photo get the next names in file order
    // and overwrite nothing, nor do x.jpg and x.jpeg side by side, nor a name that differs from
    // the source's or another file's only by case, although larger files start first.
    void acceptanceBatch_data()
    {
        QTest::addColumn<int>("workers");
        QTest::newRow("one worker") << 1;
        QTest::newRow("two workers") << 2;
    }

    void acceptanceBatch()
    {
        QFETCH(int, workers);
        struct Row {
            QString source; // relative to the batch folder
            QString status;
            QString message; // empty for success
            QString output;  // relative to the batch folder; empty unless success
        };
        QTemporaryDir dir;
        const QDir folder(dir.path());
        const QString temporary = dir.filePath(u".tmp"_s);
        QVERIFY(folder.mkdir(u".tmp"_s));
        const auto put = [&](const QString &name, const QByteArray &bytes) {
            return writeFile(folder.filePath(name), bytes);
        };
        const QImage photo = TestImages::photo(800, 600, 5);
        QVERIFY(put(u"photo.jpg"_s, encode(photo, "jpeg", 95)));
        QVERIFY(put(u"x.jpg"_s, encode(photo, "jpeg", 95)));
        QVERIFY(put(u"x.jpeg"_s, encode(TestImages::photo(320, 240, 8), "jpeg", 97)));
        QVERIFY(put(u"shot.png"_s, encode(transparentGraphic(800, 500), "png")));
        QVERIFY(put(u"transparent.png"_s, encode(transparentGraphic(320, 240), "png")));
        QVERIFY(put(u"noise.png"_s, encode(noise(256, 256), "png", 0))); // already at zlib's best
        QVERIFY(put(u"scan.tiff"_s, encode(photo, "tiff")));
        QVERIFY(put(u"x.gif"_s, "this is text, not a picture\n"));
        QVERIFY(put(u"e.jpg"_s, {}));
        QVERIFY(put(u"p.jpg"_s, encode(transparentGraphic(200, 150), "png")));
        QVERIFY(put(u"P.PNG"_s, "taken, whatever the case of its name\n"));
        QVERIFY(put(u"DSC.JPG"_s, encode(photo, "jpeg", 95)));
        QVERIFY(put(u"Photo.JPG"_s, encode(TestImages::photo(1200, 900, 6), "jpeg", 95)));
        // Cut off, and with a chunk's byte flipped: libjpeg and pngquant would fill the rest in.
        // Stray bytes between two markers are only a warning.
        const QByteArray jpeg = encode(photo, "jpeg", 95);
        const QByteArray png = encode(transparentGraphic(800, 500), "png");
        QVERIFY(put(u"cut.jpg"_s, jpeg.first(jpeg.size() / 2)));
        QVERIFY(put(u"cut.png"_s, png.first(png.size() * 2 / 3)));
        QVERIFY(put(u"flipped.png"_s, QByteArray(png).replace(60, 1, QByteArray(1, char(png[60] ^ 0x20)))));
        QVERIFY(put(u"stray.jpg"_s, QByteArray(jpeg).insert(jpeg.indexOf("\xFF\xDB"), "\0\0", 2)));
        QVERIFY(folder.mkdir(u"d.jpg"_s));
        QVERIFY(put(u"假期 照片/海边 日落.jpg"_s, encode(TestImages::photo(320, 240, 9), "jpeg", 95)));
        const std::optional<QByteArray> heic = heif({TestImages::photo(320, 240)});
        if (heic) {
            QVERIFY(put(u"phone.heic"_s, *heic));
        }

        QList<Row> expected{
            {u"photo.jpg"_s, u"success"_s, {}, u"photo-1.jpg"_s},
            {u"photo.jpg"_s, u"success"_s, {}, u"photo-2.jpg"_s},
            {u"shot.png"_s, u"success"_s, {}, u"shot-1.png"_s},
            {u"photo.jpg"_s, u"success"_s, {}, u"photo-3.jpg"_s},
            {u"x.jpg"_s, u"success"_s, {}, u"x-1.jpg"_s},
            {u"x.jpeg"_s, u"success"_s, {}, u"x-1.jpeg"_s},
            {u"transparent.png"_s, u"success"_s, {}, u"transparent-1.png"_s},
            {u"noise.png"_s, u"skipped"_s, u"notSmaller"_s, {}},
            {u"phone.heic"_s, u"skipped"_s, u"heifUnsupported"_s, {}},
            {u"scan.tiff"_s, u"skipped"_s, u"tiffUnsupported"_s, {}},
            {u"x.gif"_s, u"failed"_s, u"readFailed"_s, {}},
            {u"e.jpg"_s, u"failed"_s, u"emptyFile"_s, {}},
            {u"gone.jpg"_s, u"failed"_s, u"fileMissing"_s, {}},
            {u"p.jpg"_s, u"success"_s, {}, u"p-1.png"_s},
            {u"DSC.JPG"_s, u"success"_s, {}, u"DSC-1.jpg"_s},
            {u"Photo.JPG"_s, u"success"_s, {}, u"Photo-4.jpg"_s},
            {u"cut.jpg"_s, u"failed"_s, u"imageDamaged"_s, {}},
            {u"cut.png"_s, u"failed"_s, u"imageDamaged"_s, {}},
            {u"flipped.png"_s, u"failed"_s, u"imageDamaged"_s, {}},
            {u"stray.jpg"_s, u"success"_s, {}, u"stray-1.jpg"_s},
            {u"d.jpg"_s, u"failed"_s, u"isFolder"_s, {}},
            {u"假期 照片/海边 日落.jpg"_s, u"success"_s, {}, u"假期 照片/海边 日落-1.jpg"_s},
        };
        if (!heic) {
            qWarning("heif-enc with an HEVC encoder is missing: the batch goes without its HEIC and HEIF files");
            expected.removeIf(
                [](const Row &row) { return row.source.endsWith(u".heic") || row.source.endsWith(u".heif"); });
        }

        const auto before = TestImages::fingerprint(dir.path());
        QStringList arguments{u"-j"_s, QString::number(workers), u"--json"_s};
        for (const Row &row : expected)
            arguments.append(row.source); // relative: the command line makes them absolute
        const ProcessRun run = TestFiles::run(presselCLI(), arguments, {dir.path(), {{u"TMPDIR"_s, temporary}}});
        QVERIFY2(run.finished, qPrintable(run.describe()));
        QCOMPARE(run.exitCode, 1); // some rows failed

        const QJsonArray rows = run.rows();
        QVERIFY2(rows.size() == expected.size(), qPrintable(run.describe()));
        QStringList expectedEntries = before.keys();
        for (qsizetype index = 0; index < rows.size(); ++index) {
            const QJsonObject row = rows[index].toObject();
            const Row &want = expected[index];
            const QString context = u"row %1 (%2)"_s.arg(index).arg(want.source);
            QStringList keys{u"compressedBytes"_s, u"lossless"_s, u"message"_s, u"originalBytes"_s, u"output"_s,
                             u"source"_s, u"status"_s};
            if (want.status != u"success")
                keys.insert(5, u"reason"_s);
            QVERIFY2(row.keys() == keys, qPrintable(context));
            const QString source = folder.filePath(want.source);
            QCOMPARE(row[u"source"_s].toString(), source);
            QVERIFY2(
                row[u"status"_s].toString() == want.status,
                qPrintable(context + u": "_s + row[u"status"_s].toString() + u" "_s + row[u"message"_s].toString()));
            QCOMPARE(row[u"originalBytes"_s].toInteger(), QFileInfo(source).isFile() ? QFileInfo(source).size() : 0);
            if (want.status == u"success") {
                const QString output = folder.filePath(want.output);
                QCOMPARE(row[u"output"_s].toString(), output);
                QVERIFY(row[u"message"_s].isNull());
                QCOMPARE(row[u"compressedBytes"_s].toInteger(), QFileInfo(output).size());
                QVERIFY(row[u"compressedBytes"_s].toInteger() < row[u"originalBytes"_s].toInteger());
                QVERIFY2(!QImage(output).isNull(), qPrintable(context));
                expectedEntries.append(output);
            } else {
                QCOMPARE(row[u"reason"_s].toString(), want.message);
                QVERIFY(!row[u"message"_s].toString().isEmpty());
                QVERIFY(row[u"output"_s].isNull());
                QVERIFY(row[u"compressedBytes"_s].isNull());
            }
        }
        // Sources untouched, no temporary picture left; the only new files are the outputs.
        const auto after = TestImages::fingerprint(dir.path());
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QVERIFY2(after.value(it.key()) == it.value(), qPrintable(u"source changed: "_s + it.key()));
        expectedEntries.sort();
        QCOMPARE(after.keys(), expectedEntries);
        QMap<QString, QByteArray> written;
        for (const QString &path : after.keys())
            written.insert(folder.relativeFilePath(path), readFile(path));
        if (workers == 1)
            m_writtenByOneWorker = written;
        else
            QVERIFY(written == m_writtenByOneWorker);
    }

    void toolKeepsToItself()
    {
        // A tool that reads its input to the end: the input is its picture rather than our
        // standard input (the pipe this test holds open would keep it waiting), and what it
        // writes on standard output is the output, never our JSON.
        QTemporaryDir dir;
        const QString program = cliWithTool(dir.path(), u"cjpeg"_s, "timeout 60 cat > /dev/null || exit 1\n"
                                                         "printf 'tiny\\377\\331'");
        QVERIFY(!program.isEmpty());
        const QString jpeg = dir.filePath(u"photo.jpg"_s);
        TestImages::write(TestImages::photo(320, 240, 5), jpeg, "jpeg", 95);

        const ProcessRun run = TestFiles::run(program, {u"-v"_s, u"--json"_s, jpeg});
        QVERIFY2(run.finished && run.exitCode == 0, qPrintable(run.describe().left(2000)));
        const QJsonArray rows = run.rows();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0][u"compressedBytes"_s].toInteger(), 6);
        QCOMPARE(readFile(dir.filePath(u"photo-1.jpg"_s)), QByteArray("tiny\xFF\xD9")); // the tool's, not the fallback's
        QVERIFY(QString::fromUtf8(run.standardError).contains(u"JPEG backend: mozjpeg, input: "_s + jpeg));
    }

    // Lossless JPEG has nothing behind jpegtran: without it, or when it fails, the row fails
    // and nothing is written, lossy or not.
    void losslessJPEGWithoutJPEGTran_data()
    {
        QTest::addColumn<QByteArray>("script"); // empty: no jpegtran in the bundle
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QByteArray() << u"jpegtranMissing"_s;
        QTest::newRow("failing after part of an output")
            << QByteArray("cat > /dev/null\nprintf 'partial\\377\\331'\necho 'jpegtran: broken' >&2\nexit 1")
            << u"toolRunFailed"_s;
    }

    void losslessJPEGWithoutJPEGTran()
    {
        QFETCH(QByteArray, script);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString program = cliWithTool(dir.path(), u"jpegtran"_s, script);
        QVERIFY(!program.isEmpty());
        const QString jpeg = dir.filePath(u"photo.jpg"_s);
        TestImages::write(TestImages::photo(320, 240, 5), jpeg, "jpeg", 95);

        const ProcessRun run = TestFiles::run(program, {u"--json"_s, u"--jpeg-lossless"_s, jpeg});
        QVERIFY2(run.finished && run.exitCode == 1, qPrintable(run.describe()));
        QCOMPARE(run.rows()[0][u"reason"_s].toString(), reason);
        QVERIFY(run.rows()[0][u"message"_s].toString().contains(u"jpegtran"_s));
        QCOMPARE(entryNames(dir.path()), (QStringList{u"bundle"_s, u"photo.jpg"_s}));
    }

    // Ctrl+C ends a batch at once: the tool that wrote part of an output and sleeps is ended
    // and its output removed, the file that finished keeps its row, the exit names the signal.
    void interrupted()
    {
        QTemporaryDir dir;
        const QString program =
            cliWithTool(dir.path(), u"cjpeg"_s, "case \"$(head -c 11 /proc/self/fd/0)\" in *330*) exec " +
                                         shellQuoted(bundled(u"cjpeg"_s)) + " \"$@\";; esac\nprintf partial\nexec sleep 600");
        QVERIFY(!program.isEmpty());
        // Told apart by their width, which the PPM on the tool's input starts with.
        QStringList sources;
        for (const auto &[name, width] : {std::pair{u"held.jpg"_s, 320}, std::pair{u"done.jpg"_s, 330}}) {
            sources << dir.filePath(name);
            TestImages::write(TestImages::photo(width, 240, 6), sources.last(), "jpeg", 95);
        }
        QProcess cli;
        cli.start(program, QStringList{u"-v"_s, u"-j"_s, u"2"_s, u"--json"_s} + sources);
        const QByteArray finished = "output: " + QFile::encodeName(dir.filePath(u"done-1.jpg"_s));
        QByteArray log;
        QVERIFY(QTest::qWaitFor([&] { return (log += cli.readAllStandardError()).contains(finished); }, 60'000));
        QVERIFY(!QFileInfo::exists(dir.filePath(u"held-1.jpg"_s))); // a partial output is never in sight
        ::kill(pid_t(cli.processId()), SIGINT);
        QVERIFY(cli.waitForFinished(60'000));
        QCOMPARE(cli.exitStatus(), QProcess::CrashExit);
        QVERIFY(cli.readAllStandardError().endsWith("已中断\n"));
        const QJsonArray rows = QJsonDocument::fromJson(cli.readAllStandardOutput()).array();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0][u"source"_s].toString(), sources.last());
        QCOMPARE(entryNames(dir.path()), (QStringList{u"bundle"_s, u"done-1.jpg"_s, u"done.jpg"_s, u"held.jpg"_s}));
    }

    // The in-process encoders stop too: a WebP search interrupted after its first trial leaves
    // no output and no row, however long the rest of it would have taken, and the totals line
    // is the word alone.
    void interruptedInProcess()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(u"photo.jpg"_s);
        TestImages::write(TestImages::photo(2400, 1800, 7), source, "jpeg", 95);
        QProcess cli;
        cli.start(presselCLI(), {u"-v"_s, u"--format"_s, u"webp"_s, u"--quality"_s, u"auto"_s, source});
        QByteArray log;
        QVERIFY(QTest::qWaitFor([&] { return (log += cli.readAllStandardError()).contains("WebP encoder: "); }, 60'000));
        ::kill(pid_t(cli.processId()), SIGINT);
        QVERIFY(cli.waitForFinished(60'000));
        QCOMPARE(cli.exitStatus(), QProcess::CrashExit);
        log += cli.readAllStandardError();
        QVERIFY2(log.endsWith("\n已中断\n"), log.right(200).constData());
        QCOMPARE(cli.readAllStandardOutput(), QByteArray());
        QCOMPARE(entryNames(dir.path()), QStringList{u"photo.jpg"_s});
    }

    void arguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("sources"); // file names of the rows, in order; empty: no rows

        using L = QStringList;
        QTest::newRow("no arguments") << L() << 2 << L();
        QTest::newRow("unknown option") << L{u"--fast"_s, u"a.jpg"_s} << 2 << L();
        QTest::newRow("help") << L{u"--help"_s} << 0 << L();
        QTest::newRow("a file named --json after --") << L{u"--json"_s, u"--"_s, u"--json"_s} << 0 << L{u"--json"_s};
        QTest::newRow("-- alone as a file after --")
            << L{u"--json"_s, u"--"_s, u"-dash.jpg"_s, u"--"_s} << 1 << L{u"-dash.jpg"_s, u"--"_s};
        QTest::newRow("option after a file") << L{u"a.jpg"_s, u"--json"_s} << 0 << L{u"a.jpg"_s};
        // A bad value names its option; nothing runs.
        for (const L &bad : {L{u"--quality"_s, u"101"_s}, L{u"--quality=-5"_s}, L{u"--png-quality"_s, u"80-60"_s},
                             L{u"--metadata"_s, u"gps"_s}, L{u"--format"_s, u"gif"_s}, L{u"--output-dir"_s, u"missing"_s},
                             L{u"--output-dir"_s, u"a.jpg"_s}, L{u"--output-dir=."_s, u"--replace"_s}})
            QTest::addRow("%s", qPrintable(bad.join(u' '))) << (bad + L{u"a.jpg"_s}) << 2 << L{bad.first()};
        QTest::newRow("no workers") << L{u"-j"_s, u"0"_s, u"a.jpg"_s} << 2 << L();
        QTest::newRow("auto quality and a target size")
            << L{u"--quality"_s, u"auto"_s, u"--target-size"_s, u"100"_s, u"a.jpg"_s} << 2 << L{u"--target-size"_s};
    }

    void arguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, sources);

        QTemporaryDir dir;
        const QByteArray jpeg = encode(TestImages::photo(64, 48), "jpeg", 95);
        for (const QString &name : {u"a.jpg"_s, u"--json"_s, u"-dash.jpg"_s})
            QVERIFY(writeFile(dir.filePath(name), jpeg));
        const QStringList entries = entryNames(dir.path());

        const ProcessRun run = TestFiles::run(presselCLI(), arguments, {dir.path()});
        QVERIFY2(run.finished && run.exitCode == exitCode, qPrintable(run.describe()));
        if (exitCode == 2) {
            // The error, then one line that points at --help; no wall of usage.
            const QList<QByteArray> lines = run.standardError.trimmed().split('\n');
            QVERIFY2(lines.size() == 2 && lines.last().contains("pressel-cli --help"), qPrintable(run.describe()));
            QVERIFY(!sources.value(0).startsWith(u"--quality") || lines.first().contains("0 到 100"));
            if (!sources.isEmpty()) // the option a bad value belongs to
                QVERIFY2(run.standardError.startsWith("pressel-cli: ") &&
                             run.standardError.split('\n').first().contains(sources.first().section(u'=', 0, 0).toUtf8()),
                         qPrintable(run.describe()));
            QVERIFY(run.standardOutput.isEmpty());
            QCOMPARE(entryNames(dir.path()), entries); // a usage error touches no file
        } else if (sources.isEmpty()) {
            QVERIFY(run.standardOutput.contains("pressel-cli [--json] ["));
        } else {
            const QJsonArray rows = run.rows();
            QCOMPARE(rows.size(), sources.size());
            for (qsizetype index = 0; index < rows.size(); ++index)
                QCOMPARE(rows[index][u"source"_s].toString(), QDir(dir.path()).filePath(sources[index]));
        }
    }

    // A phone's JPEG, and a PNG with text chunks, which pngquant copies unless told not to; both
    // lossy and lossless, whose pixels stay as stored unless strip turns them upright.
    void metadataPolicies_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("policy");
        QTest::addColumn<QJsonObject>("kept"); // tags with their values
        QTest::addColumn<QStringList>("gone"); // tags, or "<group>:" for a whole group
        QTest::addColumn<bool>("lossless");

        const QJsonObject camera{{u"IFD0:Make"_s, u"Apple"_s},
                                 {u"IFD0:Model"_s, u"iPhone 15"_s},
                                 {u"IFD0:Orientation"_s, 1},
                                 {u"IFD0:Copyright"_s, u"© Ada"_s},
                                 {u"IFD0:Artist"_s, u"Ada"_s},
                                 {u"ExifIFD:DateTimeOriginal"_s, u"2024:05:01 10:20:30"_s},
                                 {u"ExifIFD:OffsetTimeOriginal"_s, u"+02:00"_s},
                                 {u"ExifIFD:FNumber"_s, 1.8},
                                 {u"ExifIFD:ISO"_s, 100},
                                 {u"ExifIFD:LensModel"_s, u"Back camera"_s},
                                 {u"XMP-dc:Rights"_s, u"© Ada"_s}};
        QJsonObject all = camera;
        all.insert(u"GPS:GPSLatitude"_s, 48.85);
        all.insert(u"XMP-photoshop:City"_s, u"Paris"_s);
        all.insert(u"IPTC:City"_s, u"Paris"_s);
        all.insert(u"Apple:MakerNoteVersion"_s, 7);
        all.insert(u"ExifIFD:ExifImageWidth"_s, 480);
        all.insert(u"ExifIFD:ExifImageHeight"_s, 640);

        const QStringList stripped{u"IFD0:"_s, u"ExifIFD:"_s, u"GPS:"_s, u"IFD1:"_s, u"XMP"_s, u"IPTC:"_s, u"Apple:"_s};
        const QStringList noPlace{u"GPS:"_s, u"IFD1:"_s, u"Apple:"_s, u"XMP-photoshop:City"_s, u"IPTC:City"_s};
        const QJsonObject rights{{u"XMP-dc:Rights"_s, u"© Ada"_s}};
        const QStringList place{u"XMP-exif:GPSLatitude"_s, u"PNG:Comment"_s};
        const QJsonObject pngAll{{place[0], 48.85}, {place[1], u"at home"_s}, {u"XMP-dc:Rights"_s, u"© Ada"_s}};
        for (const bool lossless : {false, true}) {
            const auto row = [&](const char *name) -> QTestData & {
                return QTest::addRow("%s%s", name, lossless ? ", lossless" : "");
            };
            // Lossless pixels stay as stored under camera and all: the turn, sizes and thumbnail stay true.
            const auto asStored = [&](QJsonObject tags) {
                if (lossless)
                    tags[u"IFD0:Orientation"_s] = 6;
                if (lossless && tags.contains(u"ExifIFD:ExifImageWidth"_s))
                    tags[u"ExifIFD:ExifImageWidth"_s] = 640, tags[u"ExifIFD:ExifImageHeight"_s] = 480;
                return tags;
            };
            row("jpeg, strip") << u"phone.jpg"_s << u"strip"_s << QJsonObject() << stripped << lossless;
            row("jpeg, camera") << u"phone.jpg"_s << u"camera"_s << asStored(camera)
                                << noPlace + QStringList{u"ExifIFD:ExifImageWidth"_s} << lossless;
            row("jpeg, all") << u"phone.jpg"_s << u"all"_s << asStored(all)
                             << (lossless ? QStringList() : QStringList{u"IFD1:"_s}) << lossless;
            row("png, strip") << u"shot.png"_s << u"strip"_s << QJsonObject() << place + rights.keys() << lossless;
            row("png, camera") << u"shot.png"_s << u"camera"_s << rights << place << lossless;
            row("png, all") << u"shot.png"_s << u"all"_s << pngAll << QStringList() << lossless;
        }
    }

    void metadataPolicies()
    {
        QFETCH(QString, source);
        QFETCH(QString, policy);
        QFETCH(QJsonObject, kept);
        QFETCH(QStringList, gone);
        QFETCH(bool, lossless);

        QTemporaryDir dir;
        const bool png = source.endsWith(u".png");
        source = dir.filePath(source);
        QVERIFY(QDir(dir.path()).mkdir(u".scratch"_s));
        if (png) {
            QVERIFY(writeFile(source, encode(transparentGraphic(400, 300), "png")));
            QCOMPARE(TestFiles::run(u"exiftool"_s, {u"-q"_s, u"-overwrite_original"_s, u"-XMP-exif:GPSLatitude=48.85"_s,
                                                    u"-XMP-dc:Rights=© Ada"_s, u"-PNG:Comment=at home"_s, source})
                         .exitCode,
                     0);
        } else {
            QVERIFY2(writePhonePhoto(source, dir.filePath(u".scratch"_s)), "exiftool wrote no phone photo");
            QVERIFY(readTags(source).contains(u"Apple:MakerNoteVersion"_s));
        }

        const QStringList losslessOptions{u"--jpeg-lossless"_s, u"--png-lossless"_s};
        const ProcessRun run = TestFiles::run(presselCLI(), QStringList{u"-v"_s, u"--json"_s, u"--metadata"_s, policy} +
                                                                (lossless ? losslessOptions : QStringList()) + QStringList{source});
        QVERIFY2(run.finished && run.exitCode == 0, qPrintable(run.describe()));
        QVERIFY2(!png || run.standardError.contains(lossless ? "PNG backend: optimizePNG" : "PNG backend: pngquant"),
                 qPrintable(run.describe()));
        const QString output = run.rows()[0][u"output"_s].toString();
        QCOMPARE(run.rows()[0][u"compressedBytes"_s].toInteger(), QFileInfo(output).size()); // the final file
        QCOMPARE(run.rows()[0][u"lossless"_s].toBool(), lossless);
        const QJsonObject tags = readTags(output);
        // Upright pixels: the reader sees the turned size and nothing left to turn. Pixels as
        // stored are the source's, as djpeg decodes them.
        const bool turned = !png && (!lossless || policy == u"strip");
        const QSize size(tags[u"File:ImageWidth"_s].toInt(), tags[u"File:ImageHeight"_s].toInt());
        QVERIFY(png || size == (turned ? QSize(480, 640) : QSize(640, 480)));
        QVERIFY(png || turned || djpeg(output) == djpeg(source));
        for (auto it = kept.constBegin(); it != kept.constEnd(); ++it)
            QVERIFY2(tags[it.key()] == it.value(), qPrintable(it.key() + u": "_s + tags[it.key()].toVariant().toString()));
        for (const QString &key : tags.keys()) {
            for (const QString &prefix : gone)
                QVERIFY2(!key.startsWith(prefix), qPrintable(u"carried: "_s + key));
        }
    }

    void encoderSettings_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("jpegQuality"); // cjpeg's -quality for the reference
        QTest::addColumn<QString>("pngRange");    // pngquant's --quality for the reference; empty: lossless
        QTest::addColumn<bool>("keepsDate");

        QTest::newRow("quality 90, range 30-95")
            << QStringList{u"--quality"_s, u"90"_s, u"--png-quality=30-95"_s} << u"90"_s << u"30-95"_s << false;
        QTest::newRow("lossless PNG, dates kept")
            << QStringList{u"--png-lossless"_s, u"--keep-dates"_s} << u"75"_s << QString() << true;
    }

    // Without options the outputs are what the roads wrote before there were settings; with
    // them, exactly what the tools write with those values from the same pixels.
    void encoderSettings()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, jpegQuality);
        QFETCH(QString, pngRange);
        QFETCH(bool, keepsDate);

        QTemporaryDir dir;
        const QString jpeg = dir.filePath(u"photo.jpg"_s);
        const QString png = dir.filePath(u"shot.png"_s);
        TestImages::write(TestImages::photo(800, 600, 5), jpeg, "jpeg", 95);
        TestImages::write(transparentGraphic(640, 400), png, "png");
        const QDateTime taken = QDateTime::fromSecsSinceEpoch(1000000000);
        for (const QString &source : {jpeg, png}) {
            QFile file(source);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(taken, QFileDevice::FileModificationTime));
        }

        const ProcessRun run =
            TestFiles::run(presselCLI(), QStringList{u"-v"_s, u"--json"_s} + options + QStringList{jpeg, png});
        QVERIFY2(run.finished && run.exitCode == 0, qPrintable(run.describe()));

        const QString reference = dir.filePath(u"reference"_s);
        const auto decoded = ImageSource::create(QUrl::fromLocalFile(jpeg))->createImageAtIndex0();
        QVERIFY(decoded && writeFile(reference + u".ppm"_s, *makePPMData(*decoded)));
        QCOMPARE(TestFiles::run(bundled(u"cjpeg"_s), {u"-quality"_s, jpegQuality, u"-optimize"_s, u"-progressive"_s,
                                                      u"-outfile"_s, reference + u".jpg"_s, reference + u".ppm"_s})
                     .exitCode,
                 0);
        QVERIFY(readFile(dir.filePath(u"photo-1.jpg"_s)) == readFile(reference + u".jpg"_s));
        if (pngRange.isEmpty()) {
            // The source's pixels, alpha included, in fewer bytes than Qt's writer at zlib's best.
            QVERIFY2(run.standardError.contains("PNG backend: optimizePNG"), qPrintable(run.describe()));
            QCOMPARE(QImage(dir.filePath(u"shot-1.png"_s)).convertToFormat(QImage::Format_ARGB32),
                     QImage(png).convertToFormat(QImage::Format_ARGB32));
            QVERIFY(QFileInfo(dir.filePath(u"shot-1.png"_s)).size() < encode(QImage(png), "png", 0).size());
            QVERIFY(run.rows()[1][u"lossless"_s].toBool());
        } else {
            QCOMPARE(TestFiles::run(bundled(u"pngquant"_s), {u"--force"_s, u"--output"_s, reference + u".png"_s,
                                                             u"--quality"_s, pngRange, u"--speed"_s, u"1"_s, u"--strip"_s, u"--"_s,
                                                             png})
                         .exitCode,
                     0);
            QVERIFY(readFile(dir.filePath(u"shot-1.png"_s)) == readFile(reference + u".png"_s));
        }
        for (const QString &output : {u"photo-1.jpg"_s, u"shot-1.png"_s}) {
            const QDateTime modified = QFileInfo(dir.filePath(output)).fileTime(QFileDevice::FileModificationTime);
            QVERIFY2((modified == taken) == keepsDate, qPrintable(output + u' ' + modified.toString(Qt::ISODate)));
        }
    }

    // --quality is the chosen format's: the output is what its encoder writes at that quality
    // from the same pixels, and without it at the format's own default.
    void qualityOfTheChosenFormat_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("quality"); // -1: not given
        QTest::addColumn<int>("expected");
        QTest::newRow("WebP at 60") << u"webp"_s << 60 << 60;
        QTest::newRow("AVIF at its default") << u"avif"_s << -1 << AVIFSettings::defaultQuality;
    }

    void qualityOfTheChosenFormat()
    {
        QFETCH(QString, format);
        QFETCH(int, quality);
        QFETCH(int, expected);

        QTemporaryDir dir;
        const QString jpeg = dir.filePath(u"photo.jpg"_s);
        TestImages::write(TestImages::photo(320, 240, 5), jpeg, "jpeg", 95);
        QStringList arguments{u"--json"_s, u"--format"_s, format, jpeg};
        if (quality >= 0)
            arguments << u"--quality"_s << QString::number(quality);
        const ProcessRun run = TestFiles::run(presselCLI(), arguments);
        QVERIFY2(run.finished && run.exitCode == 0, qPrintable(run.describe()));
        QCOMPARE(run.rows()[0][u"convertedFrom"_s].toString(), u"image/jpeg"_s);
        QCOMPARE(run.rows()[0][u"convertedTo"_s].toString(), u"image/"_s + format);
        const auto decoded = ImageSource::create(QUrl::fromLocalFile(jpeg))->createImageAtIndex0();
        QVERIFY(decoded);
        const auto reference = format == u"webp" ? encodeWebP(*decoded, expected, false) : encodeAVIF(*decoded, expected);
        QVERIFY(reference);
        QVERIFY(readFile(dir.filePath(u"photo-1."_s + format)) == *reference);
    }

    // Folders, with and without -r, over one tree: a.jpg, sub/b.png, .hidden/c.jpg, notes.txt,
    // a link to the parent folder, an empty folder.
    void folders_data()
    {
        QTest::addColumn<QStringList>("arguments"); // relative to the tree
        QTest::addColumn<QStringList>("rows");      // "source|status|output or message", in order

        using L = QStringList;
        const QString noImages = u"文件夹中没有可压缩的图片"_s;
        QTest::newRow("-r walks the folder")
            << L{u"-r"_s, u"tree"_s} << L{u"tree/a.jpg|success|tree/a-1.jpg"_s, u"tree/sub/b.png|success|tree/sub/b-1.png"_s};
        QTest::newRow("without -r a folder is one row") << L{u"tree"_s} << L{u"tree|failed|这是一个文件夹：用 -r 压缩其中的图片，或在窗口中打开"_s};
        QTest::newRow("an empty folder") << L{u"--recursive"_s, u"tree/empty"_s} << L{u"tree/empty|failed|"_s + noImages};
        QTest::newRow("a file, then its folder: the file's output is not picked up")
            << L{u"-r"_s, u"tree/a.jpg"_s, u"tree"_s, u"tree/notes.txt"_s}
            << L{u"tree/a.jpg|success|tree/a-1.jpg"_s, u"tree/a.jpg|success|tree/a-2.jpg"_s,
                 u"tree/sub/b.png|success|tree/sub/b-1.png"_s, u"tree/notes.txt|failed|图片读取失败"_s};
    }

    void folders()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, rows);

        QTemporaryDir dir;
        const QDir tree(dir.filePath(u"tree"_s));
        const QByteArray jpeg = encode(TestImages::photo(320, 240), "jpeg", 95);
        QVERIFY(writeFile(tree.filePath(u"a.jpg"_s), jpeg));
        QVERIFY(writeFile(tree.filePath(u"sub/b.png"_s), encode(transparentGraphic(320, 200), "png")));
        QVERIFY(writeFile(tree.filePath(u".hidden/c.jpg"_s), jpeg));
        QVERIFY(writeFile(tree.filePath(u"notes.txt"_s), "not a picture\n"));
        QVERIFY(QFile::link(u".."_s, tree.filePath(u"sub/up"_s)));
        QVERIFY(tree.mkdir(u"empty"_s));

        const ProcessRun run = TestFiles::run(presselCLI(), QStringList{u"--json"_s} + arguments, {dir.path()});
        QVERIFY2(run.finished, qPrintable(run.describe()));
        const QJsonArray shown = run.rows();
        QStringList got;
        for (const QJsonValue &row : shown) {
            const QString output = row[u"output"_s].toString();
            got << QDir(dir.path()).relativeFilePath(row[u"source"_s].toString()) + u'|' + row[u"status"_s].toString() +
                       u'|' + (output.isEmpty() ? row[u"message"_s].toString() : QDir(dir.path()).relativeFilePath(output));
        }
        QCOMPARE(got, rows);
    }

    // Adding a folder again compresses only what is new in it. Pressel's outputs are known by
    // their attribute or, without one, by their name; a source done with the same settings is
    // only counted, one done with others is compressed again.
    void foldersAgain()
    {
        QTemporaryDir dir;
        const QDir tree(dir.filePath(u"tree"_s));
        QVERIFY(writeFile(tree.filePath(u"a.jpg"_s), encode(TestImages::photo(320, 240), "jpeg", 95)));
        QVERIFY(writeFile(tree.filePath(u"b.png"_s), encode(transparentGraphic(320, 200), "png")));
        const auto runOnTree = [&](const QStringList &options) {
            const ProcessRun run =
                TestFiles::run(presselCLI(), options + QStringList{u"-r"_s, u"tree"_s}, {dir.path()});
            if (!options.contains(u"--json"_s))
                return QStringList{QString::fromUtf8(run.standardOutput), QString::fromUtf8(run.standardError)};
            QStringList got;
            for (const QJsonValue &row : run.rows()) {
                const QString output = row[u"output"_s].toString();
                got << QDir(dir.path()).relativeFilePath(row[u"source"_s].toString()) + u'|' +
                           (output.isEmpty() ? row[u"reason"_s].toString() : QDir(dir.path()).relativeFilePath(output));
            }
            return got;
        };
        using L = QStringList;
        QCOMPARE(runOnTree({u"--json"_s}), (L{u"tree/a.jpg|tree/a-1.jpg"_s, u"tree/b.png|tree/b-1.png"_s}));
        QVERIFY(writeFile(tree.filePath(u"c.jpg"_s), encode(TestImages::photo(320, 240, 2), "jpeg", 95)));
        QCOMPARE(runOnTree({u"--json"_s}),
                 (L{u"tree/a-1.jpg|earlierOutput"_s, u"tree/a.jpg|alreadyCompressed"_s, u"tree/b-1.png|earlierOutput"_s,
                    u"tree/b.png|alreadyCompressed"_s, u"tree/c.jpg|tree/c-1.jpg"_s}));
        QCOMPARE(runOnTree({}), (L{{}, u"3 个已压缩过 · 已跳过 3 个 Pressel 输出\n"_s}));

        QCOMPARE(::removexattr(QFile::encodeName(tree.filePath(u"a-1.jpg"_s)).constData(), "user.pressel.source"), 0);
        QCOMPARE(runOnTree({u"--json"_s, u"--quality"_s, u"60"_s}),
                 (L{u"tree/a-1.jpg|earlierOutput"_s, u"tree/a.jpg|tree/a-2.jpg"_s, u"tree/b-1.png|earlierOutput"_s,
                    u"tree/b.png|tree/b-2.png"_s, u"tree/c-1.jpg|earlierOutput"_s, u"tree/c.jpg|tree/c-2.jpg"_s}));
    }

    // The first preferred language decides the messages and the usage; statuses, names and
    // sizes never change. Without --json a row is a line of tab-separated fields, the totals
    // close standard error, and a skipped row is no failure.
    void messagesFollowTheLanguage_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QByteArray>("usage");
        const QStringList chinese{{}, u"当前阶段暂不处理 TIFF"_s, u"图片读取失败"_s};
        const QStringList english{{}, u"TIFF isn't supported yet"_s, u"Couldn't read the image"_s};
        QTest::newRow("Chinese") << u"zh_CN.UTF-8"_s << chinese << "用法：pressel-cli"_ba;
        QTest::newRow("English") << u"en_US.UTF-8"_s << english << "usage: pressel-cli"_ba;
        QTest::newRow("German, untranslated") << u"de_DE.UTF-8"_s << english << "usage: pressel-cli"_ba;
    }

    void messagesFollowTheLanguage()
    {
        QFETCH(QString, lang);
        QFETCH(QStringList, messages);
        QFETCH(QByteArray, usage);
        QTemporaryDir dir;
        const QStringList files{u"a.jpg"_s, u"b.tiff"_s, u"c.jpg"_s};
        QVERIFY(writeFile(dir.filePath(files[0]), encode(TestImages::photo(64, 48), "jpeg", 95)));
        QVERIFY(writeFile(dir.filePath(files[1]), encode(TestImages::photo(64, 48), "tiff")));
        QVERIFY(writeFile(dir.filePath(files[2]), "not a picture"));
        const RunOptions options{dir.path(), {{u"LANG"_s, lang}}};

        const ProcessRun run = TestFiles::run(presselCLI(), QStringList{u"--json"_s} + files, options);
        const QJsonArray rows = run.rows();
        QVERIFY2(rows.size() == 3, qPrintable(run.describe()));
        const QStringList statuses{u"success"_s, u"skipped"_s, u"failed"_s};
        for (qsizetype index = 0; index < rows.size(); ++index) {
            QCOMPARE(rows[index][u"status"_s].toString(), statuses[index]);
            QCOMPARE(rows[index][u"message"_s].toString(), messages[index]);
            QCOMPARE(rows[index][u"originalBytes"_s].toInteger(), QFileInfo(dir.filePath(files[index])).size());
        }
        QVERIFY(TestFiles::run(presselCLI(), {u"--help"_s}, options).standardOutput.startsWith(usage));

        // Other settings than the first run's: a.jpg is not done that way yet.
        const ProcessRun text = TestFiles::run(presselCLI(), QStringList{u"--quality"_s, u"60"_s} + files.mid(0, 2), options);
        QVERIFY2(text.finished && text.exitCode == 0, qPrintable(text.describe()));
        const QStringList lines = QString::fromUtf8(text.standardOutput).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].startsWith(u"success\t"_s + dir.filePath(files[0]) + u'\t'));
        QVERIFY(lines[0].endsWith(u'\t' + dir.filePath(u"a-2.jpg"_s)));
        QCOMPARE(lines[1], u"skipped\t%1\t%2\t%3"_s.arg(dir.filePath(files[1])).arg(QFileInfo(dir.filePath(files[1])).size())
                               .arg(messages[1]));
        const QString log = QString::fromUtf8(text.standardError);
        QVERIFY2(log.section(u'\n', -2, -2).startsWith(lang == u"zh_CN.UTF-8" ? u"2 个文件 · 节省 "_s : u"2 files · "_s),
                 qPrintable(log));
        QVERIFY(!log.contains(u'\r'));
        QCOMPARE(log.count(u'\n'), 1); // the totals alone: the log is for -v

        const ProcessRun lossless = TestFiles::run(presselCLI(), {u"--jpeg-lossless"_s, files[0]}, options);
        QVERIFY2(lossless.finished && lossless.exitCode == 0, qPrintable(lossless.describe()));
        QVERIFY2(QString::fromUtf8(lossless.standardOutput)
                     .endsWith(lang == u"zh_CN.UTF-8" ? u"\t无损\n"_s : u"\tlossless\n"_s),
                 qPrintable(lossless.describe()));
    }

};

QTEST_MAIN(tst_CLI)
#include "tst_cli.moc"
