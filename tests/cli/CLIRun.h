#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QString>
#include <QStringList>

#include <optional>

// One run of the build tree's pressel-cli, measured by /usr/bin/time when it is there.
struct CLIRun {
    bool finished = false;
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;
    std::optional<qint64> peakMemoryKiB; // maximum resident set size
    std::optional<double> elapsedSeconds;

    static CLIRun run(const QStringList &arguments, const QString &workingFolder = {});
    // The printed JSON array; empty when the output is not one.
    QJsonArray rows() const;
};
