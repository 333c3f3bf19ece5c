#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>

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

ApplicationBundle buildBundle()
{
    return ApplicationBundle::forBinFolder(buildPath(u"bin"_s));
}

QString executablesFolder(const QString &root)
{
    return root + u"/libexec/pressel"_s;
}

QString resourcesFolder(const QString &root)
{
    return root + u"/share/pressel"_s;
}

ApplicationBundle bundleAt(const QString &root)
{
    QDir().mkpath(executablesFolder(root));
    QDir().mkpath(resourcesFolder(root));
    return ApplicationBundle(executablesFolder(root), resourcesFolder(root));
}

ImageProfile profileFor(const QString &path, const ImageFormat &format)
{
    return ImageProfile{QUrl::fromLocalFile(path), format, QFileInfo(path).size(), {}, false};
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
    static const QString time = u"/usr/bin/time"_s;
    const bool measured = options.measured && QFileInfo(time).isExecutable();
    QProcess process;
    process.setWorkingDirectory(options.workingFolder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto it = options.environment.cbegin(); it != options.environment.cend(); ++it)
        environment.insert(it.key(), it.value());
    process.setProcessEnvironment(environment);
    if (measured)
        process.start(time, QStringList{u"-v"_s, program} + arguments);
    else
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
    static const QRegularExpression peakLine(u"Maximum resident set size \\(kbytes\\): (\\d+)"_s);
    if (const auto peak = peakLine.match(QString::fromUtf8(result.standardError)); measured && peak.hasMatch())
        result.peakMemoryKiB = peak.captured(1).toLongLong();
    return result;
}

} // namespace TestFiles
