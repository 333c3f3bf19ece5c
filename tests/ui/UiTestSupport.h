#pragma once

#include "CompressionResultListModel.h"
#include "LogCapture.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <QVariantList>

#include <QtQml/qqmlregistration.h>
#include <optional>

class QQuickItem;

// What the QML tests need from C++: real row models filled with chosen results, drags and drops
// delivered to a window the way the platform delivers them, fixture images on disk, and the log.
class UiTestSupport : public QObject
{
    Q_OBJECT

public:
    explicit UiTestSupport(QObject *parent = nullptr);
    ~UiTestSupport() override;

    // A row model owned by the caller's JavaScript.
    Q_INVOKABLE pressel::CompressionResultListModel *makeResultModel(const QVariantList &rows = {});
    // Replaces the rows. Each map may hold sourcePath, outputPath, originalBytes, compressedBytes,
    // status ("success", "skipped", "failed") and message; missing keys are absent values.
    Q_INVOKABLE void setRows(pressel::CompressionResultListModel *model, const QVariantList &rows);

    // A drag carrying `urls` (or plain text when `urls` is empty) enters `item`'s window at the
    // item's centre; returns whether the window accepted it.
    Q_INVOKABLE bool dragEnter(QQuickItem *item, const QList<QUrl> &urls, const QString &text = {});
    Q_INVOKABLE void dragLeave(QQuickItem *item);
    // Enter, move and drop over `item`; returns the drop's acceptance.
    Q_INVOKABLE bool drop(QQuickItem *item, const QList<QUrl> &urls);

    // A photo-like JPEG of the given size in a folder that lives as long as this object.
    Q_INVOKABLE QUrl writePhoto(const QString &fileName, int width, int height);
    Q_INVOKABLE QString temporaryPath(const QString &fileName) const;

    Q_INVOKABLE void clearLog();
    // "<component>: <message>" for each of the application's info lines since the last clearLog().
    Q_INVOKABLE QStringList infoLog() const;

private:
    QTemporaryDir m_folder;
    std::optional<LogCapture> m_log;
};
