#include "CommandLocator.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

CommandLocator::CommandLocator(QString name, QString subfolder, ApplicationBundle bundle)
    : m_name(std::move(name))
    , m_subfolder(std::move(subfolder))
    , m_bundle(std::move(bundle))
{
}

QList<QUrl> CommandLocator::candidateURLs() const
{
    QList<QUrl> candidates;
    if (const auto executable = m_bundle.urlForAuxiliaryExecutable(m_name))
        candidates.append(*executable);
    const QStringList relatives{m_name, QStringLiteral("Tools/") + m_name, m_subfolder + u'/' + m_name};
    for (const QString &relative : relatives) {
        if (const auto resources = m_bundle.resourceURL())
            candidates.append(QUrl::fromLocalFile(resources->toLocalFile() + u'/' + relative));
    }
    return candidates;
}

static bool isExecutableFile(const QString &path)
{
    // A searchable folder passes access(X_OK) too; taking one would hide the tool that sits
    // inside a folder of the same name, so folders never count.
    return !path.isEmpty() && !QFileInfo(path).isDir()
        && ::access(QFile::encodeName(path).constData(), X_OK) == 0;
}

std::optional<QUrl> CommandLocator::locate() const
{
    for (const QUrl &candidate : candidateURLs()) {
        if (isExecutableFile(candidate.toLocalFile()))
            return candidate;
    }
    return std::nullopt;
}
