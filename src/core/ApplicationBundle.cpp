// SPDX-License-Identifier: GPL-3.0-or-later
#include "ApplicationBundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace pressel {

ApplicationBundle::ApplicationBundle(std::optional<QString> executablesFolder)
    : m_executablesFolder(std::move(executablesFolder))
{
}

ApplicationBundle ApplicationBundle::main()
{
    if (!QCoreApplication::instance())
        return ApplicationBundle(std::nullopt);
    return forBinFolder(QCoreApplication::applicationDirPath());
}

ApplicationBundle ApplicationBundle::forBinFolder(const QString &binFolder)
{
    const QDir prefix(QDir::cleanPath(binFolder + QStringLiteral("/..")));
    return ApplicationBundle(prefix.filePath(QStringLiteral("libexec/pressel")));
}

std::optional<QUrl> ApplicationBundle::urlForAuxiliaryExecutable(const QString &name) const
{
    if (!m_executablesFolder)
        return std::nullopt;
    const QString path = QDir(*m_executablesFolder).filePath(name);
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return QUrl::fromLocalFile(path);
}

} // namespace pressel
