// SPDX-License-Identifier: GPL-3.0-or-later
#include "UiTestSupport.h"

#include "TestImages.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QQuickItem>
#include <QQuickWindow>

bool UiTestSupport::drop(QQuickItem *item, const QList<QUrl> &urls)
{
    QQuickWindow *window = item->window();
    QMimeData mimeData;
    mimeData.setUrls(urls);
    const QPoint position = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    QDragEnterEvent enter(position, Qt::CopyAction, &mimeData, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QDragMoveEvent move(position, Qt::CopyAction, &mimeData, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &move);
    QDropEvent drop(position, Qt::CopyAction, &mimeData, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    return drop.isAccepted();
}

QUrl UiTestSupport::writePhoto(const QString &fileName, int width, int height)
{
    const QString path = m_folder.filePath(fileName);
    if (fileName.endsWith(u".png"))
        TestImages::write(TestImages::transparentGraphic(width, height), path, "png");
    else
        TestImages::write(TestImages::photo(width, height), path, "jpeg", 85);
    return QUrl::fromLocalFile(path);
}
