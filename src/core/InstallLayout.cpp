// SPDX-License-Identifier: GPL-3.0-or-later
#include "InstallLayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace pressel {

InstallLayout::InstallLayout(std::optional<QString> executablesFolder)
    : m_executablesFolder(std::move(executablesFolder))
{
}

InstallLayout InstallLayout::main()
{
    if (!QCoreApplication::instance())
        return InstallLayout(std::nullopt);
    return forBinFolder(QCoreApplication::applicationDirPath());
}

InstallLayout InstallLayout::forBinFolder(const QString &binFolder)
{
    const QDir prefix(QDir::cleanPath(binFolder + QStringLiteral("/..")));
    return InstallLayout(prefix.filePath(QStringLiteral("libexec/pressel")));
}

std::optional<QUrl> InstallLayout::bundledTool(const QString &name) const
{
    if (!m_executablesFolder)
        return std::nullopt;
    const QString path = QDir(*m_executablesFolder).filePath(name);
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return QUrl::fromLocalFile(path);
}

} // namespace pressel
