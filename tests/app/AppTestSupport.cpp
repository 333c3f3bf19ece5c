#include "AppTestSupport.h"

#include "Logging.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QTest>

namespace AppTestSupport {

QString buildDir()
{
    return qEnvironmentVariable("PRESSEL_BUILD_DIR");
}

QString presselExecutable()
{
    return QDir(buildDir()).filePath(QStringLiteral("bin/pressel"));
}

ApplicationBundle buildBundle()
{
    return ApplicationBundle::forBinFolder(QDir(buildDir()).filePath(QStringLiteral("bin")));
}

void writeScript(const QString &path, const QByteArray &body)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(file.errorString()));
    file.write("#!/bin/sh\n" + body);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                        QFile::ReadOther | QFile::ExeOther);
}

static QByteArray shellQuoted(const QString &text)
{
    QByteArray quoted = QFile::encodeName(text);
    quoted.replace("'", "'\\''");
    return "'" + quoted + "'";
}

ApplicationBundle gatedBundle(const QString &root, const QString &gatePrefix, const QString &startedLogPath)
{
    const QString executables = QDir(root).filePath(QStringLiteral("libexec/pressel"));
    const QString resources = QDir(root).filePath(QStringLiteral("share/pressel"));
    QDir().mkpath(executables);
    QDir().mkpath(resources);
    // cjpeg's sixth argument is the output path.
    writeScript(QDir(executables).filePath(QStringLiteral("cjpeg")),
                "echo \"$6\" >> " + shellQuoted(startedLogPath) +
                    "\n"
                    "run=$(( $(wc -l < " +
                    shellQuoted(startedLogPath) +
                    ") ))\n"
                    "tries=0\n"
                    "while [ ! -e " +
                    shellQuoted(gatePrefix) +
                    "$run ] && [ $tries -lt 3000 ]; do\n"
                    "  sleep 0.02\n"
                    "  tries=$((tries + 1))\n"
                    "done\n"
                    "echo 'held by the test, now failing on purpose' >&2\n"
                    "exit 1\n");
    return ApplicationBundle(executables, resources);
}

void openGate(const QString &gatePrefix, int run)
{
    QFile gate(gatePrefix + QString::number(run));
    QVERIFY(gate.open(QIODevice::WriteOnly));
}

QStringList readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

namespace {
QMutex captureMutex;
QList<LogLine> capturedLines;
QtMessageHandler previousHandler = nullptr;
const QString categoryPrefix = QString::fromLatin1(pressel::bundleIdentifier) + u'.';
} // namespace

LogCapture::LogCapture()
{
    const QMutexLocker locker(&captureMutex);
    capturedLines.clear();
    previousHandler = qInstallMessageHandler(&LogCapture::handle);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previousHandler);
    const QMutexLocker locker(&captureMutex);
    capturedLines.clear();
}

QList<LogLine> LogCapture::lines() const
{
    const QMutexLocker locker(&captureMutex);
    return capturedLines;
}

QStringList LogCapture::messages(const QString &category) const
{
    QStringList messages;
    for (const LogLine &line : lines()) {
        if (line.category == category)
            messages.append(line.message);
    }
    return messages;
}

void LogCapture::handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QString category = QString::fromUtf8(context.category);
    if (category.startsWith(categoryPrefix)) {
        const QMutexLocker locker(&captureMutex);
        capturedLines.append(LogLine{type, category.mid(categoryPrefix.size()), message});
        return;
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace AppTestSupport
