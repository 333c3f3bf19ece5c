// SPDX-License-Identifier: GPL-3.0-or-later
// Nothing lost, nothing left: an output folder that refuses writing, a full disk under the
// output, and outputs that are not smaller, on both roads. A failed
// or skipped row leaves no file; the source keeps its bytes; the temporary folder ends empty.

#include "HardeningSupport.h"

#include <QDir>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTest>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace pressel;

using namespace Qt::StringLiterals;
using namespace TestFiles;

namespace {

const QString notSmaller = u"notSmaller"_s;

QString extensionOf(const QByteArray &format)
{
    return format == "jpeg" ? u"jpg"_s : u"png"_s;
}

// A small tmpfs mounted for the life of the value: a disk that can be filled in a moment.
class SmallDisk
{
public:
    SmallDisk(const QString &folder, const char *size)
        : m_folder(QFile::encodeName(folder))
    {
        const QByteArray options = QByteArray("size=") + size + ",mode=0755";
        if (::mount("tmpfs", m_folder.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) == 0)
            m_mounted = true;
        else
            m_error = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(m_folder.constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool isMounted() const { return m_mounted; }
    QString error() const { return m_error; }

    // Takes every free byte with one file; true when the disk ended full.
    bool fillUp() const
    {
        const QByteArray path = m_folder + "/filler";
        const int descriptor = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (descriptor < 0)
            return false;
        const QByteArray block(4096, 'f');
        while (::write(descriptor, block.constData(), size_t(block.size())) > 0) {
        }
        const bool full = errno == ENOSPC;
        // Whatever part of a block still fits.
        while (::write(descriptor, block.constData(), 1) > 0) {
        }
        ::close(descriptor);
        return full;
    }

private:
    QByteArray m_folder;
    bool m_mounted = false;
    QString m_error;
};

// The first folder on the way to `path` that other users cannot pass; empty when there is none.
QString closedFolderAbove(const QString &path)
{
    for (QString folder = QFileInfo(path).absoluteFilePath();; folder = QFileInfo(folder).path()) {
        if (!QFileInfo(folder).permissions().testFlag(QFileDevice::ExeOther))
            return folder;
        if (QFileInfo(folder).isRoot())
            return {};
    }
}

void addRoadAndFormatRows()
{
    QTest::addColumn<Road>("road");
    QTest::addColumn<QByteArray>("format");
    for (const Road road : {Road::tools, Road::fallback}) {
        for (const char *format : {"jpeg", "png"})
            QTest::addRow("%s %s", roadName(road), format) << road << QByteArray(format);
    }
}

} // namespace

class OutputFailuresTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void unwritableFolderFailsAndLeavesNothing_data() { addRoadAndFormatRows(); }
    void unwritableFolderFailsAndLeavesNothing();
    void fullDiskOrNotSmallerLeavesNothing_data();
    void fullDiskOrNotSmallerLeavesNothing();

private:
    Sandbox m_sandbox;
};

void OutputFailuresTest::initTestCase()
{
    QVERIFY(m_sandbox.isValid());
    QVERIFY2(missingTools().isEmpty(), qPrintable(u"the build tree's bundle lacks: "_s + missingTools()));
    // Another user must reach the folders below the sandbox.
    QVERIFY(QFile::setPermissions(m_sandbox.root(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                        QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                        QFileDevice::ExeOther));
}

void OutputFailuresTest::unwritableFolderFailsAndLeavesNothing()
{
    QFETCH(Road, road);
    QFETCH(QByteArray, format);

    // The check runs as an unprivileged user: root writes into any folder.
    QStringList prefix;
    if (::geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable(u"setpriv"_s);
        if (setpriv.isEmpty())
            QSKIP("running as root without setpriv: cannot make a folder unwritable");
        prefix = {setpriv, u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s};
        if (const QString closed = closedFolderAbove(m_sandbox.root()); !closed.isEmpty())
            QSKIP(qPrintable(u"other users cannot reach the temporary folder past "_s + closed));
    }
    QString cli = presselCLI();
    if (road == Road::fallback) {
        // A copy of the program in a bundle of its own, which holds no tools.
        const QString bin = m_sandbox.newFolder(u"bare-bundle"_s) + u"/bin"_s;
        QVERIFY(QDir().mkpath(bin));
        QVERIFY(QFile::copy(cli, bin + u"/pressel-cli"_s));
        cli = bin + u"/pressel-cli"_s;
    }
    const QString childTemporary = m_sandbox.newFolder(u"child-tmp"_s);
    const auto readable = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther | QFileDevice::ExeOther;
    QVERIFY(QFile::setPermissions(childTemporary, readable | QFileDevice::WriteOwner | QFileDevice::WriteOther));
    const QString folder = m_sandbox.newFolder(u"read-only"_s);
    const QString source = QDir(folder).filePath(u"photo."_s + extensionOf(format));
    QVERIFY(writeFile(source, shrinkableSource(format)));
    QVERIFY(QFile::setPermissions(folder, readable));
    const FolderRecord record(folder);

    const QStringList command = prefix + QStringList{cli, u"--json"_s, u"--"_s, source};
    const ProcessRun result = run(command.first(), command.mid(1),
                                  {.workingFolder = folder, .environment = {{u"TMPDIR"_s, childTemporary}}});
    if (!prefix.isEmpty() && result.standardError.startsWith("setpriv"))
        QSKIP("cannot drop privileges here (setpriv refused)");
    const QJsonArray rows = result.rows();
    QVERIFY2(result.finished && rows.size() == 1, qPrintable(result.describe()));
    QCOMPARE(rows.first()[u"status"_s].toString(), u"failed"_s);
    QCOMPARE(rows.first()[u"reason"_s].toString(), u"folderNotWritable"_s);
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(record.changesBeyond().isEmpty(), qPrintable(record.changesBeyond()));
    QVERIFY2(entryNames(childTemporary).isEmpty(), qPrintable(entryNames(childTemporary).join(u", ")));
}

void OutputFailuresTest::fullDiskOrNotSmallerLeavesNothing_data()
{
    QTest::addColumn<Road>("road");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("fullDisk");   // the source alone on a small disk, filled up
    QTest::addColumn<QString>("message"); // the reason of a failed row when the disk is full, else of a skipped one

    // Already smaller than any re-encoding: a grainy photo at quality 20 with arithmetic coding,
    // which every encoder at quality 75 spends more bytes on, and a one-pixel PNG of 67 bytes that
    // no encoder can shorten.
    const QByteArray jpeg = TestImages::jpeg(TestImages::photo(128, 96), {.arithmetic = true, .quality = 20});
    const QByteArray png = QByteArray("\x89PNG\r\n\x1A\n", 8) +
                           TestImages::pngChunk("IHDR", QByteArray::fromHex("00000001000000010100000000")) +
                           TestImages::pngChunk("IDAT", qCompress(QByteArray(2, '\0'), 9).mid(4)) +
                           TestImages::pngChunk("IEND", {});
    for (const Road road : {Road::tools, Road::fallback}) {
        const auto row = [&](const char *tag) -> QTestData & {
            return QTest::addRow("%s %s", roadName(road), tag) << road;
        };
        row("full disk, jpeg") << u"photo.jpg"_s << shrinkableSource("jpeg") << true << u"writeFailed"_s;
        row("full disk, png") << u"photo.png"_s << shrinkableSource("png") << true << u"writeFailed"_s;
        row("not smaller, jpeg") << u"tight.jpg"_s << jpeg << false << notSmaller;
        row("not smaller, png") << u"tight.png"_s << png << false << notSmaller;
    }
}

void OutputFailuresTest::fullDiskOrNotSmallerLeavesNothing()
{
    QFETCH(Road, road);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, fullDisk);
    QFETCH(QString, message);

    const QString folder = m_sandbox.newFolder(u"case"_s);
    std::optional<SmallDisk> disk;
    if (fullDisk && !disk.emplace(folder, "256k").isMounted())
        QSKIP(qPrintable(u"cannot mount a tmpfs here: "_s + disk->error()));
    const QString source = QDir(folder).filePath(fileName);
    QVERIFY(writeFile(source, bytes));
    QVERIFY(!fullDisk || disk->fillUp());
    const FolderRecord record(folder);

    const QList<CompressionResult> results = compress(road, {QUrl::fromLocalFile(source)});
    QCOMPARE(results.size(), 1);
    const auto status = fullDisk ? CompressionResultStatus::failed : CompressionResultStatus::skipped;
    QVERIFY2(results.first().status == status, qPrintable(describe(results.first())));
    QCOMPARE(results.first().failure ? results.first().failure->reasonName() : QString(), message);
    QVERIFY2(record.changesBeyond().isEmpty(), qPrintable(record.changesBeyond()));
    QVERIFY2(m_sandbox.leftovers().isEmpty(), qPrintable(m_sandbox.leftovers()));
}

QTEST_GUILESS_MAIN(OutputFailuresTest)
#include "tst_outputfailures.moc"
