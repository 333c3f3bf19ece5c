#include "HardeningSupport.h"

#include "StandardCompressionService.h"
#include "TestFiles.h"
#include "TestImages.h"

#include <QBuffer>
#include <QColorSpace>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QThread>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using namespace Qt::StringLiterals;

namespace Hardening {

Sandbox::Sandbox()
    : m_root(QDir(QDir::tempPath()).filePath(QStringLiteral("pressel-hardening-XXXXXX")))
{
    if (qEnvironmentVariableIsSet("TMPDIR"))
        m_previousTMPDIR = qgetenv("TMPDIR");
    if (!m_root.isValid() || !QDir(m_root.path()).mkdir(QStringLiteral("tmp")))
        return;
    qputenv("TMPDIR", QFile::encodeName(temporaryFolder()));
}

namespace {

int openUp(const char *path, const struct stat *status, int, FTW *)
{
    if (S_ISDIR(status->st_mode))
        ::chmod(path, 0700);
    return 0;
}

int removeEntry(const char *path, const struct stat *, int, FTW *)
{
    ::remove(path);
    return 0;
}

} // namespace

Sandbox::~Sandbox()
{
    // Removed by the bytes of its names, which Qt cannot do for names that are not UTF-8, and
    // with folders that a test closed opened again first.
    const QByteArray root = QFile::encodeName(m_root.path());
    ::nftw(root.constData(), openUp, 16, FTW_PHYS);
    ::nftw(root.constData(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
    if (m_previousTMPDIR)
        qputenv("TMPDIR", *m_previousTMPDIR);
    else
        qunsetenv("TMPDIR");
}

QString Sandbox::temporaryFolder() const
{
    return QDir(m_root.path()).filePath(QStringLiteral("tmp"));
}

QString Sandbox::newFolder(const QString &label)
{
    const QString name = QStringLiteral("%1-%2").arg(label).arg(++m_counter);
    QDir(m_root.path()).mkdir(name);
    return QDir(m_root.path()).filePath(name);
}

ApplicationBundle bundleFor(Road road)
{
    if (road == Road::fallback)
        return ApplicationBundle(std::nullopt, std::nullopt);
    return ApplicationBundle::forBinFolder(TestFiles::buildPath(QStringLiteral("bin")));
}

QString missingTools()
{
    QStringList missing;
    const ApplicationBundle bundle = bundleFor(Road::tools);
    for (const QString &tool : {QStringLiteral("cjpeg"), QStringLiteral("pngquant")}) {
        if (!bundle.urlForAuxiliaryExecutable(tool))
            missing.append(tool);
    }
    return missing.join(u", ");
}

QList<CompressionResult> compress(Road road, const QList<QUrl> &urls)
{
    const auto service = makeStandardCompressionService(bundleFor(road));
    auto batch = service->compressFiles(urls);
    batch.waitForFinished();
    return batch.result();
}

QString statusName(CompressionResultStatus status)
{
    switch (status) {
    case CompressionResultStatus::success:
        return QStringLiteral("success");
    case CompressionResultStatus::skipped:
        return QStringLiteral("skipped");
    case CompressionResultStatus::failed:
        return QStringLiteral("failed");
    }
    return {};
}

QString describe(const CompressionResult &result)
{
    QString text = statusName(result.status) + u' ' + result.sourceURL.toLocalFile();
    if (result.outputURL)
        text += u" -> " + result.outputURL->toLocalFile();
    if (result.message)
        text += u": " + *result.message;
    return text;
}

QList<QByteArray> rawEntries(const QByteArray &folder)
{
    QList<QByteArray> names;
    DIR *directory = ::opendir(folder.constData());
    if (!directory)
        return names;
    while (const dirent *entry = ::readdir(directory)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(directory);
    std::sort(names.begin(), names.end());
    return names;
}

QList<QByteArray> rawEntries(const QString &folder)
{
    return rawEntries(QFile::encodeName(folder));
}

QByteArray rawPath(const QString &folder, const QByteArray &name)
{
    return QFile::encodeName(folder) + '/' + name;
}

QByteArray hashFile(const QByteArray &path)
{
    const int descriptor = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0)
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::vector<char> buffer(64 * 1024);
    ssize_t count = 0;
    while ((count = ::read(descriptor, buffer.data(), buffer.size())) > 0)
        hash.addData(QByteArrayView(buffer.data(), qsizetype(count)));
    ::close(descriptor);
    return count < 0 ? QByteArray() : hash.result().toHex();
}

bool writeRawFile(const QByteArray &path, const QByteArray &bytes)
{
    const int descriptor = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (descriptor < 0)
        return false;
    const bool written = ::write(descriptor, bytes.constData(), size_t(bytes.size())) == ssize_t(bytes.size());
    return ::close(descriptor) == 0 && written;
}

namespace {

// What an entry is, without following a link: "file <hash>", "link <target>", "folder", "other".
QByteArray describeEntry(const QByteArray &path)
{
    struct stat status {
    };
    if (::lstat(path.constData(), &status) != 0)
        return "missing";
    if (S_ISLNK(status.st_mode)) {
        QByteArray target(4096, '\0');
        const ssize_t length = ::readlink(path.constData(), target.data(), size_t(target.size()));
        return "link " + target.left(std::max<qsizetype>(0, length));
    }
    if (S_ISDIR(status.st_mode))
        return "folder";
    if (S_ISREG(status.st_mode))
        return "file " + hashFile(path);
    return "other";
}

void recordBelow(const QByteArray &root, const QByteArray &relative, QMap<QByteArray, QByteArray> &entries)
{
    const QByteArray folder = relative.isEmpty() ? root : root + '/' + relative;
    for (const QByteArray &name : rawEntries(folder)) {
        const QByteArray path = relative.isEmpty() ? name : relative + '/' + name;
        const QByteArray entry = describeEntry(root + '/' + path);
        entries.insert(path, entry);
        if (entry == "folder")
            recordBelow(root, path, entries);
    }
}

QString printable(const QByteArray &path)
{
    return QString::fromUtf8(path.toPercentEncoding("/ -_.()'\"&$*?[]!#%@"));
}

} // namespace

FolderRecord::FolderRecord(const QString &folder)
    : m_folder(QFile::encodeName(folder))
{
    recordBelow(m_folder, {}, m_entries);
}

QString FolderRecord::changesBeyond(const QList<QByteArray> &added) const
{
    QMap<QByteArray, QByteArray> now;
    recordBelow(m_folder, {}, now);
    QStringList changes;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        if (!now.contains(it.key()))
            changes.append(u"gone: "_s + printable(it.key()));
        else if (now.value(it.key()) != it.value())
            changes.append(u"changed: "_s + printable(it.key()));
    }
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (m_entries.contains(it.key()))
            continue;
        if (!added.contains(it.key()))
            changes.append(u"left behind: "_s + printable(it.key()));
        else if (!it.value().startsWith("file "))
            changes.append(u"not a plain file: "_s + printable(it.key()));
    }
    for (const QByteArray &path : added) {
        if (!now.contains(path))
            changes.append(u"missing output: "_s + printable(path));
    }
    return changes.join(u"; ");
}

QString leftoversIn(const QString &folder)
{
    QStringList names;
    for (const QByteArray &name : rawEntries(folder))
        names.append(QString::fromUtf8(name));
    return names.join(u", ");
}

QList<QByteArray> outputNames(const QList<CompressionResult> &results)
{
    QList<QByteArray> names;
    for (const CompressionResult &result : results) {
        if (result.outputURL)
            names.append(QFile::encodeName(QFileInfo(result.outputURL->toLocalFile()).fileName()));
    }
    return names;
}

QString checkOutputFile(const QString &path, const QByteArray &expectedFormat, QImage *decoded)
{
    const QByteArray bytes = TestFiles::readFile(path);
    if (bytes.isEmpty())
        return QStringLiteral("%1 is empty or unreadable").arg(path);
    if (expectedFormat == "jpeg") {
        if (!bytes.startsWith("\xFF\xD8\xFF"))
            return QStringLiteral("%1 is not a JPEG").arg(path);
        if (!bytes.endsWith("\xFF\xD9"))
            return QStringLiteral("%1 ends before its end-of-image marker").arg(path);
    } else {
        if (!bytes.startsWith("\x89PNG\r\n\x1A\n"))
            return QStringLiteral("%1 is not a PNG").arg(path);
        if (!bytes.endsWith(QByteArray("\0\0\0\0IEND\xAE\x42\x60\x82", 12)))
            return QStringLiteral("%1 ends before its IEND chunk").arg(path);
    }
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, expectedFormat);
    reader.setAutoTransform(true); // as a viewer shows it
    QImage image = reader.read();
    if (image.isNull())
        return QStringLiteral("%1 does not decode: %2").arg(path, reader.errorString());
    if (image.colorSpace().isValid() && image.colorSpace() != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace::SRgb);
    if (decoded)
        *decoded = image;
    return {};
}

namespace {

// The picture over mid-grey, as mean colours of cells of cellSize x cellSize pixels.
std::vector<std::array<double, 3>> cellMeans(const QImage &picture, int cellSize)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const int columns = (image.width() + cellSize - 1) / cellSize;
    const int rows = (image.height() + cellSize - 1) / cellSize;
    std::vector<std::array<double, 3>> sums(size_t(columns) * size_t(rows), {0, 0, 0});
    std::vector<int> counts(sums.size(), 0);
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = line[x];
            const double alpha = qAlpha(pixel) / 255.0;
            const size_t cell = size_t(y / cellSize) * size_t(columns) + size_t(x / cellSize);
            sums[cell][0] += qRed(pixel) * alpha + 128 * (1 - alpha);
            sums[cell][1] += qGreen(pixel) * alpha + 128 * (1 - alpha);
            sums[cell][2] += qBlue(pixel) * alpha + 128 * (1 - alpha);
            ++counts[cell];
        }
    }
    for (size_t cell = 0; cell < sums.size(); ++cell) {
        for (double &channel : sums[cell])
            channel /= counts[cell];
    }
    return sums;
}

} // namespace

double viewedDifference(const QImage &a, const QImage &b, int cellSize)
{
    if (a.size() != b.size() || a.isNull())
        return 255.0;
    const auto first = cellMeans(a, cellSize);
    const auto second = cellMeans(b, cellSize);
    double total = 0;
    for (size_t cell = 0; cell < first.size(); ++cell) {
        for (size_t channel = 0; channel < 3; ++channel)
            total += std::abs(first[cell][channel] - second[cell][channel]);
    }
    return total / (3.0 * double(first.size()));
}

ProgramRun runProgram(const QList<QByteArray> &argv, const QString &workingFolder, const QList<QByteArray> &environment,
                      const QString &captureFolder)
{
    static int runs = 0;
    ++runs;
    const QByteArray outPath = QFile::encodeName(QDir(captureFolder).filePath(QStringLiteral("run-%1.out").arg(runs)));
    const QByteArray errPath = QFile::encodeName(QDir(captureFolder).filePath(QStringLiteral("run-%1.err").arg(runs)));

    std::vector<char *> arguments;
    for (const QByteArray &argument : argv)
        arguments.push_back(const_cast<char *>(argument.constData()));
    arguments.push_back(nullptr);

    QList<QByteArray> variables;
    for (char **variable = environ; *variable; ++variable) {
        const QByteArray entry(*variable);
        const QByteArray name = entry.left(entry.indexOf('=') + 1);
        const bool overridden = std::any_of(environment.begin(), environment.end(),
                                            [&](const QByteArray &override) { return override.startsWith(name); });
        if (!overridden)
            variables.append(entry);
    }
    variables += environment;
    std::vector<char *> envp;
    for (const QByteArray &variable : variables)
        envp.push_back(const_cast<char *>(variable.constData()));
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const QByteArray folder = QFile::encodeName(workingFolder);
    if (!workingFolder.isEmpty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.constData());

    ProgramRun run;
    pid_t child = 0;
    const int spawned = posix_spawn(&child, arguments[0], &actions, nullptr, arguments.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return run;

    // A watchdog against a hang, not a time limit on the work.
    QDeadlineTimer watchdog(std::chrono::minutes(5));
    int status = 0;
    pid_t waited = 0;
    while ((waited = ::waitpid(child, &status, WNOHANG)) == 0 && !watchdog.hasExpired())
        QThread::msleep(5);
    if (waited == 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
    } else {
        run.finished = WIFEXITED(status);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    run.standardOutput = TestFiles::readFile(QFile::decodeName(outPath));
    run.standardError = TestFiles::readFile(QFile::decodeName(errPath));
    QFile::remove(QFile::decodeName(outPath));
    QFile::remove(QFile::decodeName(errPath));
    return run;
}

QString presselCLI()
{
    return TestFiles::buildPath(QStringLiteral("bin/pressel-cli"));
}

} // namespace Hardening
