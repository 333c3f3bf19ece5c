// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "InstallLayout.h"
#include "Encoder.h"
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
    // Optional: what is done to a whole output the tool wrote, still private.
    std::function<Expected<void>(PrivateFile &)> finish = {};
};

// An encoder that is an external tool of the install layout, as its format describes it. One
// run: find the tool, let the description refuse the file, announce the tool, prepare the run, run the
// tool with the output's private file as its standard output, and check what it wrote. The tool
// opens no path of the user's folders. The tool is looked for as the
// install layout's bundled tool of its name only, never on PATH, and anew on every run.
class ToolEncoder : public Encoder
{
public:
    struct Description {
        QString toolName;        // the executable's name in the layout, as the log names it
        QString displayName;     // the tool's name in messages
        Failure::Reason notFound; // the reason when the layout has no such tool
        const QLoggingCategory &(*logCategory)();
        // Optional: a file the tool must not be given, refused before the tool is announced.
        std::function<Expected<void>(const ImageProfile &)> preflight;
        std::function<Expected<ToolInvocation>(const ImageProfile &)> prepare;
        QByteArray outputEnding; // the bytes every whole output of the tool ends with
        bool lossless = false;   // see Encoder::isLossless
    };

    ToolEncoder(Description description, InstallLayout layout);

    const Description &description() const { return m_description; }
    std::optional<QUrl> locate() const;
    bool isLossless() const override { return m_description.lossless; }

    Expected<void> compress(const ImageProfile &profile, PrivateFile &output, const QUrl &outputURL,
                            const std::stop_token &stop = {}) const override;

    // The tool could not be started.
    Failure startFailure(const QString &detail) const;
    // The error a run's outcome stands for, or nothing for success. A tool killed by a signal
    // failed, whatever it wrote.
    std::optional<Failure> failureOf(const ProcessOutcome &outcome) const;

private:
    Description m_description;
    InstallLayout m_layout;
};

} // namespace pressel
