// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToolEncoder.h"


#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace pressel {

ToolEncoder::ToolEncoder(Description description, InstallLayout layout)
    : m_description(std::move(description))
    , m_layout(std::move(layout))
{}

static bool isExecutableFile(const QString &path)
{
    // A searchable folder passes access(X_OK) too; a folder never counts as the tool.
    return !path.isEmpty() && !QFileInfo(path).isDir() && ::access(QFile::encodeName(path).constData(), X_OK) == 0;
}

std::optional<QUrl> ToolEncoder::locate() const
{
    const auto executable = m_layout.bundledTool(m_description.toolName);
    if (!executable || !isExecutableFile(executable->toLocalFile()))
        return std::nullopt;
    return executable;
}

Failure ToolEncoder::startFailure(const QString &detail) const
{
    return Failure(Failure::toolStartFailed, {m_description.displayName, detail});
}

std::optional<Failure> ToolEncoder::failureOf(const ProcessOutcome &outcome) const
{
    switch (outcome.kind) {
    case ProcessOutcome::Kind::succeeded:
        return std::nullopt;
    case ProcessOutcome::Kind::failedToStart:
        return startFailure(outcome.startErrorDescription);
    case ProcessOutcome::Kind::exitedNonZero:
    case ProcessOutcome::Kind::crashed:
    case ProcessOutcome::Kind::stopped:
        break;
    }
    return Failure(Failure::toolRunFailed, {m_description.displayName, outcome.diagnosticText()});
}

Expected<void> ToolEncoder::compress(const ImageProfile &profile, PrivateFile &output, const QUrl &,
                                             const std::stop_token &stop) const
{
    const auto executable = locate();
    if (!executable)
        return failure(m_description.notFound);
    if (m_description.preflight) {
        if (const auto accepted = m_description.preflight(profile); !accepted)
            return failure(accepted.error());
    }
    qCInfo(m_description.logCategory()).noquote() << QStringLiteral("Using %1 at %2 for %3")
                                                         .arg(m_description.toolName, executable->toLocalFile(),
                                                              QFileInfo(profile.sourceURL.toLocalFile()).fileName());

    const auto invocation = m_description.prepare(profile);
    if (!invocation)
        return failure(invocation.error());
    if (!output.truncate())
        return failure(Failure(Failure::writeFailed));
    const int input = invocation->input ? invocation->input->descriptor() : profile.source->descriptor();
    const ProcessOutcome outcome =
        ExternalProcess::run(executable->toLocalFile(), invocation->arguments, {input, output.descriptor()}, stop);
    if (const auto error = failureOf(outcome))
        return failure(*error);
    // A tool that ignores its write errors ends well on a full disk, its output cut short
    // (empty, for a small one): only an output that ends as a whole picture counts.
    const QByteArray &ending = m_description.outputEnding;
    if (!output.endsWith(ending))
        return failure(Failure(Failure::writeFailed));
    if (invocation->finish)
        return invocation->finish(output);
    return {};
}

} // namespace pressel
