#include "UiTestSupport.h"

#include "CompressionResult.h"
#include "TestImages.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QMutex>
#include <QQuickItem>
#include <QQuickWindow>
#include <QUuid>

namespace {

QMutex logMutex;
QStringList capturedInfo;
QtMessageHandler previousHandler = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtInfoMsg) {
        const QMutexLocker locker(&logMutex);
        capturedInfo << QString::fromUtf8(context.category) + QStringLiteral(": ") + message;
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

// Test frameworks install handlers of their own at start; ours goes in front of whatever is there.
void captureLog()
{
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    if (previous != captureMessage)
        previousHandler = previous;
}

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
    result.sourceURL = QUrl::fromLocalFile(map.value(QStringLiteral("sourcePath")).toString());
    if (map.contains(QStringLiteral("outputPath")))
        result.outputURL = QUrl::fromLocalFile(map.value(QStringLiteral("outputPath")).toString());
    result.originalBytes = map.value(QStringLiteral("originalBytes")).toLongLong();
    if (map.contains(QStringLiteral("compressedBytes")))
        result.compressedBytes = map.value(QStringLiteral("compressedBytes")).toLongLong();
    result.status = statusFromName(map.value(QStringLiteral("status")).toString());
    if (map.contains(QStringLiteral("message")))
        result.message = map.value(QStringLiteral("message")).toString();
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
{
    captureLog();
}

UiTestSupport::~UiTestSupport()
{
    qInstallMessageHandler(previousHandler);
}

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
    captureLog();
    const QMutexLocker locker(&logMutex);
    capturedInfo.clear();
}

QStringList UiTestSupport::infoLog() const
{
    const QMutexLocker locker(&logMutex);
    return capturedInfo;
}
