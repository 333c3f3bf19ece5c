// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ApplicationBundle.h"
#include "CompressionBackend.h"
#include "ExternalProcess.h"

#include <QList>
#include <QLoggingCategory>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

namespace pressel {

// What one run of a tool takes beyond the tool itself: its arguments, and what it reads on its
// standard input: a private file of the run's own (gone with the run), or else the source as
// the one look at it read it.
struct ToolInvocation {
    QStringList arguments;
    std::optional<PrivateFile> input;
};

// An encoder that is an external tool of the bundle, as a road describes it. One run: find the
// tool, let the road refuse the file, announce the tool, let the road prepare the run, run the
// tool with the output's private file as its standard output, and check what it wrote. The tool
// opens no path of the user's folders. The tool is looked for as the
// bundle's auxiliary executable of its name only, never on PATH, and anew on every run.
class ExternalToolBackend : public CompressionBackend
{
public:
    struct Description {
        QString toolName;        // the executable's name in the bundle, as the log names it
        QString displayName;     // the tool's name in messages
        Failure::Reason notFound; // the reason when the bundle has no such tool
        const QLoggingCategory &(*logCategory)();
        // Optional: a file the tool must not be given, refused before the tool is announced.
        std::function<Expected<void>(const ImageProfile &)> preflight;
        std::function<Expected<ToolInvocation>(const ImageProfile &)> prepare;
        QByteArray outputEnding; // the bytes every whole output of the tool ends with
    };

    ExternalToolBackend(Description description, ApplicationBundle bundle);

    const Description &description() const { return m_description; }
    std::optional<QUrl> locate() const;

    Expected<void> compress(const ImageProfile &profile, PrivateFile &output, const QUrl &outputURL,
                            const std::stop_token &stop = {}) const override;

    // The tool could not be started.
    Failure startFailure(const QString &detail) const;
    // The error a run's outcome stands for, or nothing for success. A tool killed by a signal
    // failed, whatever it wrote.
    std::optional<Failure> failureOf(const ProcessOutcome &outcome) const;

private:
    Description m_description;
    ApplicationBundle m_bundle;
};

} // namespace pressel
