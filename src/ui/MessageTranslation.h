// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace pressel {

// A row's message in the application's language, for the view to show: the rows keep their
// messages in the source language.
class MessageTranslation : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    Q_INVOKABLE QString translated(const QString &sourceMessage) const;
};

} // namespace pressel
