// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace pressel {

// The application's installed layout: auxiliary executables in <prefix>/libexec/pressel, the
// application itself in <prefix>/bin.
// Injectable so that tests can build bundles of their own in a temporary folder.
class InstallLayout
{
public:
    explicit InstallLayout(std::optional<QString> executablesFolder);

    // The install layout of the running executable; empty when there is no application object.
    static InstallLayout main();
    // The install layout whose bin/ folder is binFolder.
    static InstallLayout forBinFolder(const QString &binFolder);

    // The auxiliary executable of that name, when something is there.
    std::optional<QUrl> bundledTool(const QString &name) const;

private:
    std::optional<QString> m_executablesFolder;
};

} // namespace pressel
