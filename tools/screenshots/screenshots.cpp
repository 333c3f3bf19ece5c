// SPDX-License-Identifier: GPL-3.0-or-later
// pressel_screenshots: opens the real window with the real batch controller and saves a PNG of
// each face — empty, hover, processing with its count, results with their totals (top, scrolled
// to the end, while hovering, and in a larger window that shows every row), a stopped batch — at
// the default size and at the minimum size, for people to look at. The window is shot from the
// screen with the window manager's frame.
//
//   pressel_screenshots OUTPUT_FOLDER [BUILD_FOLDER]
//
// The language and the colour scheme are the environment's (LANG, PRESSEL_COLOR_SCHEME), as
// for the application.
//
// The files it drops are written at run time into a temporary folder: a large photo (so the
// batch runs long enough to be seen), a small one, a graphic, a TIFF and a file that only
// pretends to be a JPEG, which give success, skipped and failed rows.

#include "CompressionViewModel.h"
#include "Logging.h"
#include "StandardCompressionService.h"
#include "TestImages.h"
#include "Translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QThread>
#include <QtQml/qqmlextensionplugin.h>

#include <functional>
#include <memory>

using namespace pressel;

Q_IMPORT_QML_PLUGIN(PresselPlugin)

namespace {

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

void settle(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

bool waitFor(const std::function<bool()> &condition, int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

class Drag
{
public:
    Drag(QQuickWindow *window, const QList<QUrl> &urls)
        : m_window(window)
        , m_position(window->width() / 2, window->height() / 2)
    {
        m_mimeData.setUrls(urls);
    }

    void enter()
    {
        QDragEnterEvent event(m_position, Qt::CopyAction, &m_mimeData, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_window, &event);
    }

    void leave()
    {
        QDragLeaveEvent event;
        QCoreApplication::sendEvent(m_window, &event);
    }

    bool drop()
    {
        enter();
        QDropEvent event(m_position, Qt::CopyAction, &m_mimeData, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_window, &event);
        return event.isAccepted();
    }

private:
    QQuickWindow *m_window;
    QPoint m_position;
    QMimeData m_mimeData;
};

// The window as the screen shows it, title bar and border included: the frame from the screen,
// the content from the window's own rendering (the screen of a virtual X server does not hold
// what OpenGL draws).
QImage framedWindow(QQuickWindow *window)
{
    const QRect frame = window->frameGeometry();
    QImage shot = window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).toImage();
    QPainter painter(&shot);
    painter.drawImage(window->geometry().topLeft() - frame.topLeft(), window->grabWindow());
    return shot;
}

// Presses Tab, as a person would, until the named item has the keyboard focus.
void tabTo(QQuickWindow *window, const QString &objectName)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Tab, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &press);
        QCoreApplication::sendEvent(window, &release);
        if (window->activeFocusItem() && window->activeFocusItem()->objectName() == objectName)
            return;
    }
    err() << "the keyboard focus did not reach " << objectName << "\n";
}

QList<QUrl> writeFixtures(const QDir &folder)
{
    const auto path = [&folder](const char *name) {
        return folder.filePath(QString::fromUtf8(name));
    };
    TestImages::write(TestImages::photo(6000, 4000, 11), path("海边日落.jpg"), "jpeg", 95);
    TestImages::write(TestImages::transparentGraphic(900, 600), path("产品图标.png"), "png");
    TestImages::write(TestImages::photo(1200, 900, 12), path("IMG_2048.jpg"), "jpeg", 92);
    TestImages::write(TestImages::photo(800, 600, 13), path("扫描件.tiff"), "tiff");
    QFile broken(path("损坏的照片.jpg"));
    if (broken.open(QIODevice::WriteOnly))
        broken.write(QByteArray("\xff\xd8\xff\xe0 not really a picture", 26));
    TestImages::write(TestImages::noise(640, 480), path("noise.jpg"), "jpeg", 40);

    QList<QUrl> urls;
    for (const char *name :
         {"海边日落.jpg", "产品图标.png", "IMG_2048.jpg", "扫描件.tiff", "损坏的照片.jpg", "noise.jpg"})
        urls << QUrl::fromLocalFile(path(name));
    return urls;
}

// Through the platform's event queue, as a person's click and key presses arrive.
void click(QQuickWindow *window, const QPointF &position)
{
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, position.toPoint());
}

void pressKey(QQuickWindow *window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(window, key, modifiers);
}

// The before/after view: a batch of two photos, a click on the first thumbnail, the divider
// moved with the keys, 100 % and the way back.
bool shootComparison(QQuickWindow *window, CompressionViewModel &viewModel, const QDir &folder,
                     const std::function<void(const char *)> &shoot)
{
    window->resize(980, 760);
    const QList<QUrl> photos{QUrl::fromLocalFile(folder.filePath(QStringLiteral("海边日落.jpg"))),
                             QUrl::fromLocalFile(folder.filePath(QStringLiteral("IMG_2048.jpg")))};
    // The outputs of the first batch would make these skipped: this batch starts from fresh names.
    for (const char *name : {"海边日落-1.jpg", "IMG_2048-1.jpg"})
        QFile::remove(folder.filePath(QString::fromUtf8(name)));
    Drag drop(window, photos);
    if (!drop.drop() || !waitFor([&viewModel] { return !viewModel.isProcessing(); }, 300'000)) {
        err() << "the batch of two photos did not run\n";
        return false;
    }
    settle(2500);
    shoot("8-compare-batch");

    auto *list = window->findChild<QQuickItem *>(QStringLiteral("resultList"));
    QQuickItem *firstRow = nullptr;
    QMetaObject::invokeMethod(list, "itemAtIndex", Q_RETURN_ARG(QQuickItem *, firstRow), Q_ARG(int, 0));
    auto *action = firstRow ? firstRow->findChild<QQuickItem *>(QStringLiteral("compareButton")) : nullptr;
    if (!action) {
        err() << "the first row has no compare action\n";
        return false;
    }
    click(window, action->mapToScene(QPointF(action->width() / 2, action->height() / 2)));
    // Both sides decode off the GUI thread; the shots wait for them.
    const auto sidesShown = [window](const char *property) {
        return waitFor(
            [window, property] {
                auto *source = window->findChild<QQuickItem *>(QStringLiteral("sourcePicture"));
                auto *output = window->findChild<QQuickItem *>(QStringLiteral("outputPicture"));
                return source && output && source->property(property).toBool() && output->property(property).toBool();
            },
            60'000);
    };
    if (!sidesShown("ready")) {
        err() << "the comparison did not show both sides\n";
        return false;
    }
    settle(500);
    shoot("9-compare-split");
    pressKey(window, Qt::Key_1);
    settle(400);
    shoot("10-compare-divider-1");
    pressKey(window, Qt::Key_3);
    settle(400);
    shoot("11-compare-divider-3");
    pressKey(window, Qt::Key_2);
    pressKey(window, Qt::Key_1, Qt::ControlModifier);
    if (!sidesShown("showsDetail")) {
        err() << "the comparison did not show 100 % on both sides\n";
        return false;
    }
    settle(500);
    shoot("12-compare-100-percent");
    pressKey(window, Qt::Key_Escape);
    settle(1000);
    shoot("13-compare-back");
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    pressel::installLogFormat();
    Translation::install();
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2) {
        err() << "usage: pressel_screenshots OUTPUT_FOLDER [BUILD_FOLDER]\n";
        return 2;
    }
    const QDir output(arguments.at(1));
    if (!QDir().mkpath(output.path())) {
        err() << "cannot create " << output.path() << "\n";
        return 1;
    }
    const QString buildFolder = arguments.size() > 2
                                    ? arguments.at(2)
                                    : QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../.."));

    QTemporaryDir fixtures;
    const QList<QUrl> files = writeFixtures(QDir(fixtures.path()));
    // The settings panel shows the defaults, whatever the user saved.
    qputenv("XDG_CONFIG_HOME", QDir(fixtures.path()).filePath(QStringLiteral(".config")).toLocal8Bit());

    CompressionViewModel viewModel(makeStandardCompressionService(
        InstallLayout::forBinFolder(QDir(buildFolder).filePath(QStringLiteral("bin")))));
    QQmlApplicationEngine engine;
    engine.setInitialProperties({{QStringLiteral("viewModel"), QVariant::fromValue(&viewModel)}});
    engine.load(QUrl(QStringLiteral("qrc:/Pressel/Main.qml")));
    auto *window =
        engine.rootObjects().isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(engine.rootObjects().constFirst());
    if (!window) {
        err() << "the window did not load\n";
        return 1;
    }
    window->setPosition(40, 40);
    window->show();

    bool saved = true;
    const QSize defaultSize = window->size();
    const QSize minimumSize = window->minimumSize();
    const auto save = [&](const QString &name) {
        const QString path = output.filePath(name + QStringLiteral(".png"));
        if (!framedWindow(window).save(path)) {
            err() << "could not save " << path << "\n";
            saved = false;
            return;
        }
        err() << "saved " << path << "\n";
    };
    // Each face at the default size, then at the minimum size.
    const auto shoot = [&](const char *name) {
        save(QString::fromLatin1(name));
        // The window manager may move a window that it resizes: put it back where the shot
        // looks for it.
        window->resize(minimumSize);
        window->setFramePosition(QPoint(40, 40));
        settle(700);
        save(QString::fromLatin1(name) + QStringLiteral("-minimum"));
        window->resize(defaultSize);
        window->setFramePosition(QPoint(40, 40));
        settle(500);
    };

    settle(800);
    shoot("1-empty");
    window->requestActivate();
    waitFor([window] { return window->isActive(); }, 5000);
    tabTo(window, QStringLiteral("chooseFilesButton"));
    settle(300);
    shoot("1b-empty-focus");

    Drag hover(window, files);
    hover.enter();
    settle(500);
    shoot("2-hover");
    hover.leave();
    settle(300);

    Drag drop(window, files);
    if (!drop.drop()) {
        err() << "the window rejected the drop\n";
        return 1;
    }
    // Some files finished and the large photo still in hand: the bar is partly filled.
    waitFor([&viewModel] { return viewModel.completedCount() >= 2 || !viewModel.isProcessing(); }, 300'000);
    settle(400);
    if (!viewModel.isProcessing()) {
        err() << "the batch ended before the processing face could be shot\n";
        return 1;
    }
    shoot("3-processing");

    if (!waitFor([&viewModel] { return !viewModel.isProcessing(); }, 300'000)) {
        err() << "the batch did not end\n";
        return 1;
    }
    // Thumbnails load asynchronously after the rows appear.
    settle(2500);
    shoot("4-results");
    tabTo(window, QStringLiteral("resultRow"));
    settle(300);
    shoot("4b-results-focus");
    window->contentItem()->forceActiveFocus();

    auto *list = window->findChild<QQuickItem *>(QStringLiteral("resultList"));
    QMetaObject::invokeMethod(list, "positionViewAtEnd");
    settle(1500);
    shoot("5-results-scrolled");
    QMetaObject::invokeMethod(list, "positionViewAtBeginning");

    hover.enter();
    settle(500);
    shoot("6-results-hover");
    hover.leave();

    window->resize(980, 1060);
    window->setFramePosition(QPoint(40, 40));
    settle(1500);
    save(QStringLiteral("7-results-large"));

    if (!shootComparison(window, viewModel, QDir(fixtures.path()), shoot))
        return 1;

    // The same files twice, stopped once the first has finished: the files in hand finish,
    // and their rows come under the stop line.
    window->resize(720, 520);
    Drag again(window, files + files);
    if (!again.drop()) {
        err() << "the window rejected the second drop\n";
        return 1;
    }
    waitFor([&viewModel] { return viewModel.completedCount() >= 1 || !viewModel.isProcessing(); }, 300'000);
    QMetaObject::invokeMethod(window->findChild<QObject *>(QStringLiteral("stopButton")), "clicked");
    if (!waitFor([&viewModel] { return !viewModel.isProcessing(); }, 300'000)) {
        err() << "the stopped batch did not end\n";
        return 1;
    }
    settle(2500);
    shoot("15-stopped");

    auto *settingsPanel = window->findChild<QObject *>(QStringLiteral("settingsPanel"));
    if (!settingsPanel || !QMetaObject::invokeMethod(settingsPanel, "open")) {
        err() << "the settings panel did not open\n";
        return 1;
    }
    settle(800);
    shoot("14-settings");

    return saved ? 0 : 1;
}
