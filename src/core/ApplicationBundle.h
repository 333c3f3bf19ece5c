#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace pressel {

// The application's installed layout: auxiliary executables in <prefix>/libexec/pressel,
// resources in <prefix>/share/pressel, the application itself in <prefix>/bin.
// Injectable so that tests can build bundles of their own in a temporary folder.
class ApplicationBundle
{
public:
    ApplicationBundle(std::optional<QString> executablesFolder, std::optional<QString> resourcesFolder);

    // The bundle of the running executable; empty when there is no application object.
    static ApplicationBundle main();
    // The bundle whose bin/ folder is binFolder.
    static ApplicationBundle forBinFolder(const QString &binFolder);

    // The auxiliary executable of that name, when something is there.
    std::optional<QUrl> urlForAuxiliaryExecutable(const QString &name) const;
    std::optional<QUrl> resourceURL() const;

private:
    std::optional<QString> m_executablesFolder;
    std::optional<QString> m_resourcesFolder;
};

} // namespace pressel
