// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <stop_token>

namespace pressel {

// How one run of an external tool ended. A tool killed by a signal has crashed, whatever
// exit code the platform reports: it never counts as success.
struct ProcessOutcome {
    enum class Kind { succeeded, exitedNonZero, crashed, failedToStart, stopped };

    Kind kind = Kind::failedToStart;
    int exitCode = -1;
    QByteArray standardError;
    QString startErrorDescription; // set for failedToStart

    // The tool's diagnostic: standard error as strict UTF-8, trimmed; empty when it is blank or
    // not UTF-8.
    QString diagnosticText() const;
};

// What a tool reads as its standard input and writes as its standard output: descriptors of
// files we opened, so that the tool never opens a path of a shared folder. -1 for none: empty
// input, discarded output.
struct ProcessStreams {
    int input = -1;
    int output = -1;
};

// Runs a tool without a shell, each argument passed as it is, as a child that keeps to itself:
// standard error is captured and drained while the tool runs, standard output and input are the
// given descriptors, or else discarded and empty. Waits without a time limit, unless a stop is requested: then the
// tool is killed at once and the outcome is `stopped`; what it wrote is the caller's to remove.
class ExternalProcess
{
public:
    static ProcessOutcome run(const QString &program, const QStringList &arguments, ProcessStreams streams = {},
                              const std::stop_token &stop = {});
};

} // namespace pressel
