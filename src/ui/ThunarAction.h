// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace pressel {

// Pressel in Thunar's context menu: one custom action in Thunar's uca.xml that runs
// `pressel %F` on the selected image files and folders. Adding it twice changes nothing; the
// user's other actions stay as they are, byte for byte; the file is replaced atomically, and a
// uca.xml that is a symbolic link is left alone (it belongs to whatever manages the link).
class ThunarAction : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    enum Outcome { Added, AlreadyThere, Refused };
    Q_ENUM(Outcome)

    // Fixed, so that the action is found again however it was renamed.
    static constexpr char uniqueId[] = "com.korvane.Pressel.compress";

    using QObject::QObject;

    // uca.xml in the user's configuration folder.
    static QString configurationFile();

    // Adds the action unless it is there; the reason of a refusal is in lastError.
    Q_INVOKABLE Outcome add();
    Q_INVOKABLE QString lastError() const { return m_lastError; }

private:
    Outcome refuse(const QString &reason);

    QString m_lastError;
};

} // namespace pressel
