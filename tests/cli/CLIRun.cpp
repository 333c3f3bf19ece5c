#include "CLIRun.h"

#include "CodecFixtures.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>

CLIRun CLIRun::run(const QStringList &arguments, const QString &workingFolder)
{
    static const QString time = QStringLiteral("/usr/bin/time");
    const bool measured = QFileInfo(time).isExecutable();
    QProcess process;
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
    QStringList command = arguments;
    command.prepend(CodecFixtures::presselCLI());
    if (measured)
        command = QStringList{QStringLiteral("-v")} + command;
    QElapsedTimer timer;
    timer.start();
    process.start(measured ? time : command.takeFirst(), command);
    CLIRun result;
    // A watchdog against a hang, not a time limit on the work.
    result.finished = process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    result.elapsedSeconds = timer.elapsed() / 1000.0;
    if (measured) {
        const QString report = QString::fromUtf8(result.standardError);
        static const QRegularExpression peakLine(QStringLiteral("Maximum resident set size \\(kbytes\\): (\\d+)"));
        const auto peak = peakLine.match(report);
        if (peak.hasMatch())
            result.peakMemoryKiB = peak.captured(1).toLongLong();
    }
    return result;
}

QJsonArray CLIRun::rows() const
{
    return QJsonDocument::fromJson(standardOutput).array();
}
