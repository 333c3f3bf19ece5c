#include "UiTestSupport.h"

#include "CompressionResult.h"
#include "TestImages.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QQuickItem>
#include <QQuickWindow>
#include <QUuid>

using namespace pressel;

using namespace Qt::StringLiterals;

namespace {

CompressionResultStatus statusFromName(const QString &name)
{
    if (name == u"success")
        return CompressionResultStatus::success;
    if (name == u"skipped")
        return CompressionResultStatus::skipped;
    return CompressionResultStatus::failed;
}

CompressionResult resultFromMap(const QVariantMap &map)
{
    CompressionResult result;
    result.id = QUuid::createUuid();
    result.sourceURL = QUrl::fromLocalFile(map.value(u"sourcePath"_s).toString());
    if (map.contains(u"outputPath"_s))
        result.outputURL = QUrl::fromLocalFile(map.value(u"outputPath"_s).toString());
    result.originalBytes = map.value(u"originalBytes"_s).toLongLong();
    if (map.contains(u"compressedBytes"_s))
        result.compressedBytes = map.value(u"compressedBytes"_s).toLongLong();
    result.status = statusFromName(map.value(u"status"_s).toString());
    if (map.contains(u"message"_s))
        result.message = map.value(u"message"_s).toString();
    return result;
}

QMimeData *mimeDataFor(const QList<QUrl> &urls, const QString &text)
{
    auto *mimeData = new QMimeData;
    if (!urls.isEmpty())
        mimeData->setUrls(urls);
    if (!text.isEmpty())
        mimeData->setText(text);
    return mimeData;
}

QPoint centreInWindow(QQuickItem *item)
{
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
}

} // namespace

UiTestSupport::UiTestSupport(QObject *parent)
    : QObject(parent)
{}

UiTestSupport::~UiTestSupport() = default;

CompressionResultListModel *UiTestSupport::makeResultModel(const QVariantList &rows)
{
    auto *model = new CompressionResultListModel;
    setRows(model, rows);
    return model;
}

void UiTestSupport::setRows(CompressionResultListModel *model, const QVariantList &rows)
{
    QList<CompressionResult> results;
    for (const QVariant &row : rows)
        results << resultFromMap(row.toMap());
    model->clear();
    if (!results.isEmpty())
        model->insertAtFront(results);
}

bool UiTestSupport::dragEnter(QQuickItem *item, const QList<QUrl> &urls, const QString &text)
{
    QQuickWindow *window = item->window();
    std::unique_ptr<QMimeData> mimeData(mimeDataFor(urls, text));
    QDragEnterEvent enter(centreInWindow(item), Qt::CopyAction, mimeData.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    return enter.isAccepted();
}

void UiTestSupport::dragLeave(QQuickItem *item)
{
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(item->window(), &leave);
}

bool UiTestSupport::drop(QQuickItem *item, const QList<QUrl> &urls)
{
    QQuickWindow *window = item->window();
    std::unique_ptr<QMimeData> mimeData(mimeDataFor(urls, {}));
    const QPoint position = centreInWindow(item);
    QDragEnterEvent enter(position, Qt::CopyAction, mimeData.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QDragMoveEvent move(position, Qt::CopyAction, mimeData.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &move);
    QDropEvent drop(position, Qt::CopyAction, mimeData.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    return drop.isAccepted();
}

QUrl UiTestSupport::writePhoto(const QString &fileName, int width, int height)
{
    const QString path = temporaryPath(fileName);
    TestImages::write(TestImages::photo(width, height), path, "jpeg", 85);
    return QUrl::fromLocalFile(path);
}

QString UiTestSupport::temporaryPath(const QString &fileName) const
{
    return m_folder.filePath(fileName);
}

void UiTestSupport::clearLog()
{
    // Test frameworks install handlers of their own at start; a capture made now goes in front.
    m_log.reset();
    m_log.emplace();
}

QStringList UiTestSupport::infoLog() const
{
    QStringList lines;
    for (const LogLine &line : m_log ? m_log->lines() : QList<LogLine>()) {
        if (line.type == QtInfoMsg)
            lines << line.category + u": "_s + line.message;
    }
    return lines;
}
