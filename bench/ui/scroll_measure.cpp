// SPDX-License-Identifier: GPL-3.0-or-later
// pressel_scroll_measure: how smoothly the result list scrolls through 200 rows of
// 24-megapixel photos. Run by hand (timings depend on the machine), on a display:
//
//   xvfb-run -a -s "-screen 0 1280x800x24" env QT_QPA_PLATFORM=xcb pressel_scroll_measure [ROWS] [MEGAPIXELS]
//
// It writes one photo, links it under ROWS names (each row loads its own file), shows them in
// the window's result list and scrolls from top to bottom and back by a fixed step per frame,
// timing every frame on the GUI thread. Thumbnails decode on Qt Quick's loader thread at
// thumbnail size, so no frame should wait for a photo.

#include "CompressionResult.h"
#include "CompressionResultListModel.h"
#include "TestImages.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtQml/qqmlextensionplugin.h>

#include <algorithm>
#include <cmath>

using namespace pressel;

Q_IMPORT_QML_PLUGIN(PresselPlugin)

// The controller's face as the list sees it: finished, with rows.
class FinishedBatch : public QObject
{
    Q_OBJECT
    Q_PROPERTY(CompressionResultListModel *results READ results CONSTANT)
    Q_PROPERTY(bool isProcessing READ isProcessing CONSTANT)
    Q_PROPERTY(bool isDropTargeted MEMBER m_isDropTargeted NOTIFY isDropTargetedChanged)

public:
    CompressionResultListModel *results() { return &m_results; }
    bool isProcessing() const { return false; }
    Q_INVOKABLE bool handleDroppedFiles(const QList<QUrl> &) { return false; }
    Q_INVOKABLE void clearResults() {}

signals:
    void isDropTargetedChanged();

private:
    CompressionResultListModel m_results;
    bool m_isDropTargeted = false;
};

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList arguments = QCoreApplication::arguments();
    const int rowCount = arguments.size() > 1 ? arguments.at(1).toInt() : 200;
    const double megapixels = arguments.size() > 2 ? arguments.at(2).toDouble() : 24.0;

    QTemporaryDir folder;
    const int width = int(std::lround(std::sqrt(megapixels * 1e6 * 1.5)));
    const int height = width * 2 / 3;
    const QString photo = folder.filePath(QStringLiteral("photo.jpg"));
    out << "writing a " << width << "x" << height << " photo...\n" << Qt::flush;
    TestImages::write(TestImages::photo(width, height, 5), photo, "jpeg", 90);

    FinishedBatch batch;
    QList<CompressionResult> results;
    for (int i = 0; i < rowCount; ++i) {
        const QString name = folder.filePath(QStringLiteral("photo-%1.jpg").arg(i, 3, 10, QLatin1Char('0')));
        QFile::link(photo, name);
        CompressionResult result;
        result.id = QUuid::createUuid();
        result.sourceURL = QUrl::fromLocalFile(name);
        result.outputURL = QUrl::fromLocalFile(name + QStringLiteral("-1.jpg"));
        result.originalBytes = QFileInfo(photo).size();
        result.compressedBytes = result.originalBytes * 6 / 10;
        result.status = CompressionResultStatus::success;
        results << result;
    }
    for (const CompressionResult &result : results)
        batch.results()->insert(batch.results()->count(), result);

    QQmlEngine engine;
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/Pressel/ContentView.qml")));
    QQuickWindow window;
    window.resize(720, 520);
    auto *content = qobject_cast<QQuickItem *>(
        component.createWithInitialProperties({{QStringLiteral("viewModel"), QVariant::fromValue(&batch)}}));
    if (!content) {
        out << component.errorString() << "\n";
        return 1;
    }
    content->setParentItem(window.contentItem());
    content->setSize(QSizeF(720, 520));
    window.show();

    auto *list = content->findChild<QQuickItem *>(QStringLiteral("resultList"));
    QList<qint64> frameTimes;
    QElapsedTimer sinceLastFrame;
    double step = 24;
    bool done = false;
    int passes = 0;
    QObject::connect(&window, &QQuickWindow::frameSwapped, &window, [&] {
        if (sinceLastFrame.isValid())
            frameTimes << sinceLastFrame.nsecsElapsed() / 1000;
        sinceLastFrame.restart();
        const double contentY = list->property("contentY").toDouble();
        const double end = list->property("contentHeight").toDouble() - list->height();
        const double next = contentY + step;
        if (step > 0 && next >= end) {
            step = -step;
            ++passes;
        } else if (step < 0 && next <= 0) {
            done = ++passes >= 2;
        }
        list->setProperty("contentY", std::clamp(next, 0.0, std::max(0.0, end)));
        window.update();
    });
    QElapsedTimer total;
    total.start();
    while (!done && total.elapsed() < 600'000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

    std::sort(frameTimes.begin(), frameTimes.end());
    const auto percentile = [&frameTimes](double p) {
        return frameTimes.isEmpty() ? 0 : frameTimes.at(qsizetype(p * double(frameTimes.size() - 1)));
    };
    const qint64 slowFrames = std::count_if(frameTimes.begin(), frameTimes.end(), [](qint64 t) { return t > 50'000; });
    out << rowCount << " rows of " << megapixels << " MP, " << frameTimes.size() << " frames in " << total.elapsed()
        << " ms: median " << percentile(0.5) / 1000.0 << " ms, p95 " << percentile(0.95) / 1000.0 << " ms, max "
        << percentile(1.0) / 1000.0 << " ms, frames over 50 ms: " << slowFrames << "\n";
    return 0;
}

#include "scroll_measure.moc"
