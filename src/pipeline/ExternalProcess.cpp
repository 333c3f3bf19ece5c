// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExternalProcess.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringDecoder>

#include <csignal>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace pressel {

QString ProcessOutcome::diagnosticText() const
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(standardError);
    const QString trimmed = text.trimmed();
    return decoder.hasError() ? QString() : trimmed;
}

ProcessOutcome ExternalProcess::run(const QString &program, const QStringList &arguments, ProcessStreams streams,
                                   const std::stop_token &stop)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    // A tool's chatter on standard output would land in ours (pressel-cli --json prints there),
    // and a tool that asks for input must not wait on the terminal.
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardInputFile(QProcess::nullDevice());
    // The batch already runs a file per core. A tool's own OpenMP team (pngquant has one) would
    // put two threads on every core, and its idle threads spin: the same bytes, more time.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("OMP_NUM_THREADS"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    // The tool is ours to end, not the terminal's: in a process group of its own, Ctrl+C reaches
    // only us, and we stop it and remove what it wrote. Should we die without that chance, it
    // dies with us rather than finish an output nobody checks.
    const pid_t parent = ::getpid();
    // Our descriptors take the place of the null device in the child, each read and written
    // from its start.
    if (streams.input >= 0)
        ::lseek(streams.input, 0, SEEK_SET);
    process.setChildProcessModifier([parent, streams] {
        if (streams.input >= 0)
            ::dup2(streams.input, STDIN_FILENO);
        if (streams.output >= 0)
            ::dup2(streams.output, STDOUT_FILENO);
        ::setpgid(0, 0);
#ifdef Q_OS_LINUX
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
        if (::getppid() != parent)
            ::_exit(127);
    });

    ProcessOutcome outcome;
    process.start();
    if (!process.waitForStarted(-1)) {
        outcome.kind = ProcessOutcome::Kind::failedToStart;
        outcome.startErrorDescription = process.errorString();
        return outcome;
    }
    // waitForFinished keeps reading the stderr pipe while it waits, so a chatty tool never blocks.
    // It wakes now and then to see whether the tool is still wanted: a hung tool must never
    // keep the application from quitting.
    constexpr int stopPollMilliseconds = 50;
    while (!process.waitForFinished(stopPollMilliseconds) && process.state() != QProcess::NotRunning) {
        if (stop.stop_requested()) {
            // The whole group: a tool that is a script ends with whatever it started.
            ::kill(-pid_t(process.processId()), SIGKILL);
            process.kill();
            process.waitForFinished(-1);
            outcome.kind = ProcessOutcome::Kind::stopped;
            return outcome;
        }
    }
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

} // namespace pressel
