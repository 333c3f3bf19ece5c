#pragma once

#include "ApplicationBundle.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// Finds an external tool inside the application bundle only, in four places in this order:
// the auxiliary executable <name>, then <resources>/<name>, <resources>/Tools/<name> and
// <resources>/<subfolder>/<name>. No cache: every call searches again.
class CommandLocator
{
public:
    CommandLocator(QString name, QString subfolder, ApplicationBundle bundle);

    std::optional<QUrl> locate() const;
    QList<QUrl> candidateURLs() const;

private:
    QString m_name;
    QString m_subfolder;
    ApplicationBundle m_bundle;
};
