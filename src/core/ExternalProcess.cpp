#include "ExternalProcess.h"
#include "CompressionMessage.h"

#include <QProcess>
#include <QStringDecoder>

QString ProcessOutcome::diagnosticText() const
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(standardError);
    const QString trimmed = text.trimmed();
    if (decoder.hasError() || trimmed.isEmpty())
        return CompressionMessage::text(CompressionMessage::unknownToolError);
    return trimmed;
}

ProcessOutcome ExternalProcess::run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);

    ProcessOutcome outcome;
    process.start();
    if (!process.waitForStarted(-1)) {
        outcome.kind = ProcessOutcome::Kind::failedToStart;
        outcome.startErrorDescription = process.errorString();
        return outcome;
    }
    // waitForFinished keeps reading the stderr pipe while it waits, so a chatty tool never blocks.
    process.waitForFinished(-1);
    outcome.standardError = process.readAllStandardError();
    outcome.exitCode = process.exitCode();
    if (process.exitStatus() == QProcess::CrashExit)
        outcome.kind = ProcessOutcome::Kind::crashed;
    else if (process.exitCode() != 0)
        outcome.kind = ProcessOutcome::Kind::exitedNonZero;
    else
        outcome.kind = ProcessOutcome::Kind::succeeded;
    return outcome;
}
