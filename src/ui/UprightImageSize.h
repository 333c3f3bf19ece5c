// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QSize>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <optional>

namespace pressel {

// A picture file's size upright (its EXIF orientation applied), read off the GUI thread from
// the file's header.
class UprightImageSize : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QUrl source READ source WRITE setSource NOTIFY sourceChanged FINAL)
    Q_PROPERTY(QSize size READ size NOTIFY sizeChanged FINAL)
    Q_PROPERTY(Status status READ status NOTIFY statusChanged FINAL)

public:
    enum Status { Null, Loading, Ready, Error };
    Q_ENUM(Status)

    explicit UprightImageSize(QObject *parent = nullptr);

    QUrl source() const { return m_source; }
    void setSource(const QUrl &source);
    QSize size() const { return m_size; }
    Status status() const { return m_status; }

signals:
    void sourceChanged();
    void sizeChanged();
    void statusChanged();

private:
    void setResult(const QSize &size, Status status);

    QUrl m_source;
    QSize m_size;
    Status m_status = Null;
    QFutureWatcher<std::optional<QSize>> m_watcher;
};

} // namespace pressel
