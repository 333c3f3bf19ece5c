// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestFiles.h"

#include "TestImages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pressel;
using namespace Qt::StringLiterals;

namespace TestFiles {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes, bool executable)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    if (executable)
        permissions |= QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    return file.setPermissions(permissions);
}

bool writeRawFile(const QByteArray &path, const QByteArray &bytes)
{
    const int descriptor = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (descriptor < 0)
        return false;
    const bool written = ::write(descriptor, bytes.constData(), size_t(bytes.size())) == ssize_t(bytes.size());
    return ::close(descriptor) == 0 && written;
}

QByteArray rawPath(const QString &folder, const QByteArray &name)
{
    return QFile::encodeName(folder) + '/' + name;
}

bool writeScript(const QString &path, const QByteArray &body)
{
    return writeFile(path, "#!/bin/sh\n" + body + '\n', true);
}

QByteArray shellQuoted(const QString &path)
{
    return '\'' + QFile::encodeName(path).replace("'", "'\\''") + '\'';
}

QStringList entryNames(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QString buildPath(const QString &relative)
{
    return QDir(qEnvironmentVariable("PRESSEL_BUILD_DIR")).filePath(relative);
}

InstallLayout buildBundle()
{
    return InstallLayout::forBinFolder(buildPath(u"bin"_s));
}

QString executablesFolder(const QString &root)
{
    return root + u"/libexec/pressel"_s;
}

InstallLayout bundleAt(const QString &root)
{
    QDir().mkpath(executablesFolder(root));
    return InstallLayout(executablesFolder(root));
}

InstallLayout heldToolsBundle(const QString &root, const QString &startedLog, const QString &holdFile)
{
    const InstallLayout bundle = bundleAt(root);
    // A line for every run that starts: the tool and its process.
    for (const QString &tool : {u"cjpeg"_s, u"pngquant"_s}) {
        writeScript(executablesFolder(root) + u'/' + tool,
                    "echo \"" + tool.toLatin1() + " $$\" >> " + shellQuoted(startedLog) +
                        "\ntries=0\nwhile [ -e " + shellQuoted(holdFile) +
                        " ]; do\n  [ $tries -ge 3000 ] && { echo 'held for a minute' >&2; exit 1; }\n"
                        "  sleep 0.02; tries=$((tries + 1))\ndone\nexec " +
                        shellQuoted(buildPath(u"libexec/pressel/"_s + tool)) + " \"$@\"");
    }
    return bundle;
}

QStringList readLines(const QString &path)
{
    return QString::fromUtf8(readFile(path)).split(u'\n', Qt::SkipEmptyParts);
}

QStringList childProcesses()
{
    QStringList children;
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    for (const QString &entry : QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        // "pid (name) state ppid ...": the name may hold blanks and brackets.
        const QByteArray line = readFile(u"/proc/"_s + entry + u"/stat"_s);
        const qsizetype nameEnd = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(nameEnd + 2).split(' ');
        if (nameEnd > 0 && fields.size() > 1 && fields.at(1) == self)
            children.append(QString::fromUtf8(line.left(nameEnd + 1) + ' ' + fields.at(0)));
    }
    return children;
}

ImageProfile profileFor(const QString &path, const ImageFormat &format)
{
    auto source = SourceFile::open(QUrl::fromLocalFile(path));
    if (!source || !source->readContents())
        return ImageProfile{QUrl::fromLocalFile(path), format, nullptr, format, nullptr};
    return ImageProfile{QUrl::fromLocalFile(path), format, std::make_shared<SourceFile>(std::move(*source)), format, nullptr};
}

TemporaryFolderOverride::TemporaryFolderOverride(const QString &folder)
{
    if (qEnvironmentVariableIsSet("TMPDIR"))
        m_previous = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(folder));
}

TemporaryFolderOverride::~TemporaryFolderOverride()
{
    if (m_previous)
        qputenv("TMPDIR", *m_previous);
    else
        qunsetenv("TMPDIR");
}

namespace {

QList<QByteArray> rawEntries(const QByteArray &folder)
{
    QList<QByteArray> names;
    if (DIR *directory = ::opendir(folder.constData())) {
        while (const dirent *entry = ::readdir(directory)) {
            if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0)
                names.append(entry->d_name);
        }
        ::closedir(directory);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

Sandbox::Sandbox()
{
    if (m_root.isValid() && QDir(m_root.path()).mkdir(u"tmp"_s))
        m_override.emplace(temporaryFolder());
}

Sandbox::~Sandbox()
{
    m_override.reset();
    const QByteArray root = QFile::encodeName(m_root.path());
    const auto openUp = [](const char *path, const struct stat *status, int, FTW *) {
        if (S_ISDIR(status->st_mode))
            ::chmod(path, 0700);
        return 0;
    };
    const auto remove = [](const char *path, const struct stat *, int, FTW *) {
        ::remove(path);
        return 0;
    };
    ::nftw(root.constData(), openUp, 16, FTW_PHYS);
    ::nftw(root.constData(), remove, 16, FTW_DEPTH | FTW_PHYS);
}

QString Sandbox::leftovers() const
{
    QStringList names;
    for (const QByteArray &name : rawEntries(QFile::encodeName(temporaryFolder())))
        names.append(QString::fromUtf8(name));
    return names.join(u", ");
}

QString Sandbox::newFolder(const QString &label)
{
    const QString name = u"%1-%2"_s.arg(label).arg(++m_counter);
    QDir(m_root.path()).mkdir(name);
    return m_root.filePath(name);
}

namespace {

// What an entry is, without following a link: "file <hash>", "link <target>", "folder", "other".
QByteArray describeEntry(const QByteArray &path)
{
    struct stat status {};
    if (::lstat(path.constData(), &status) != 0)
        return "missing";
    if (S_ISLNK(status.st_mode)) {
        QByteArray target(4096, '\0');
        return QByteArray("link " + target.left(std::max<qsizetype>(0, ::readlink(path.constData(), target.data(), 4096))));
    }
    if (S_ISDIR(status.st_mode))
        return "folder";
    return S_ISREG(status.st_mode) ? QByteArray("file " + TestImages::sha256(path)) : QByteArray("other");
}

void recordBelow(const QByteArray &root, const QByteArray &relative, QMap<QByteArray, QByteArray> &entries)
{
    for (const QByteArray &name : rawEntries(relative.isEmpty() ? root : root + '/' + relative)) {
        const QByteArray path = relative.isEmpty() ? name : relative + '/' + name;
        const QByteArray entry = describeEntry(root + '/' + path);
        entries.insert(path, entry);
        if (entry == "folder")
            recordBelow(root, path, entries);
    }
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
    const auto note = [&](const char *what, const QByteArray &path) {
        changes.append(QString::fromLatin1(what) + QString::fromUtf8(path.toPercentEncoding("/ -_.()'\"&$*?[]!#%@")));
    };
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        if (now.value(it.key()) != it.value())
            note(now.contains(it.key()) ? "changed: " : "gone: ", it.key());
    }
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (!m_entries.contains(it.key()) && !(added.contains(it.key()) && it.value().startsWith("file ")))
            note("left behind: ", it.key());
    }
    for (const QByteArray &path : added) {
        if (!now.contains(path))
            note("missing output: ", path);
    }
    return changes.join(u"; ");
}

QJsonArray ProcessRun::rows() const
{
    return QJsonDocument::fromJson(standardOutput).array();
}

QString ProcessRun::describe() const
{
    return u"exit %1\nstdout:\n%2\nstderr:\n%3"_s.arg(exitCode).arg(QString::fromUtf8(standardOutput),
                                                                    QString::fromUtf8(standardError));
}

ProcessRun run(const QString &program, const QStringList &arguments, const RunOptions &options)
{
    QProcess process;
    process.setWorkingDirectory(options.workingFolder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto it = options.environment.cbegin(); it != options.environment.cend(); ++it)
        environment.insert(it.key(), it.value());
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ProcessRun result;
    result.finished = process.waitForFinished(600'000) && process.exitStatus() == QProcess::NormalExit;
    if (!result.finished) {
        process.kill();
        process.waitForFinished();
    }
    result.exitCode = process.exitCode();
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    return result;
}

} // namespace TestFiles
