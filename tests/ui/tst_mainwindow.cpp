// The real window with the real batch controller and pipeline: drops, Dock deliveries and the
// faces they lead to, on files written at run time.

#include "CompressionViewModel.h"
#include "DockFileDropRelay.h"
#include "StandardCompressionService.h"
#include "TestImages.h"
#include "UiTestSupport.h"

#include <QFile>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <memory>

Q_IMPORT_QML_PLUGIN(PresselPlugin)

namespace {

QString buildDir()
{
    return qEnvironmentVariable("PRESSEL_BUILD_DIR");
}

} // namespace

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowChrome();
    void dropShowsProcessingThenRows();
    void dropOfWebAddressOnlyIsRejected();
    void hoverHighlightsTheDropZone();
    void dockDeliveryStartsABatch();
    void clearDuringBatchReturnsToDropZone();

private:
    QQuickItem *item(const char *objectName) const;
    QString face() const;
    QList<QQuickItem *> rows() const;

    std::unique_ptr<QTemporaryDir> m_folder;
    QList<QUrl> m_files;
    std::unique_ptr<CompressionViewModel> m_viewModel;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;
    UiTestSupport m_support;
};

void tst_MainWindow::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY2(!buildDir().isEmpty(), "PRESSEL_BUILD_DIR is not set");
}

void tst_MainWindow::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    const QString photo = m_folder->filePath(QStringLiteral("海边日落.jpg"));
    TestImages::write(TestImages::photo(1600, 1200, 3), photo, "jpeg", 95);
    const QString scan = m_folder->filePath(QStringLiteral("scan.tiff"));
    TestImages::write(TestImages::photo(300, 200, 4), scan, "tiff");
    const QString broken = m_folder->filePath(QStringLiteral("broken.jpg"));
    QFile brokenFile(broken);
    QVERIFY(brokenFile.open(QIODevice::WriteOnly));
    brokenFile.write(QByteArray("\xff\xd8\xff\xe0 this is not a picture", 26));
    brokenFile.close();
    m_files = {QUrl::fromLocalFile(photo), QUrl::fromLocalFile(scan), QUrl::fromLocalFile(broken)};

    DockFileDropRelay::shared().consumePendingURLs();
    m_viewModel = std::make_unique<CompressionViewModel>(
        makeStandardCompressionService(ApplicationBundle::forBinFolder(buildDir() + QStringLiteral("/bin"))));
    m_engine = std::make_unique<QQmlApplicationEngine>();
    m_engine->setInitialProperties({{QStringLiteral("viewModel"), QVariant::fromValue(m_viewModel.get())}});
    m_engine->load(QUrl(QStringLiteral("qrc:/Pressel/Main.qml")));
    QCOMPARE(m_engine->rootObjects().size(), 1);
    m_window = qobject_cast<QQuickWindow *>(m_engine->rootObjects().constFirst());
    QVERIFY(m_window);
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void tst_MainWindow::cleanup()
{
    m_engine.reset();
    m_window = nullptr;
    m_viewModel.reset();
    m_folder.reset();
}

QQuickItem *tst_MainWindow::item(const char *objectName) const
{
    return m_window->findChild<QQuickItem *>(QString::fromLatin1(objectName));
}

QString tst_MainWindow::face() const
{
    return item("contentView")->property("face").toString();
}

QList<QQuickItem *> tst_MainWindow::rows() const
{
    QList<QQuickItem *> found;
    const auto *list = item("resultList");
    const auto *contentItem = list->property("contentItem").value<QQuickItem *>();
    for (QQuickItem *child : contentItem->childItems()) {
        if (child->property("badgeText").isValid())
            found << child;
    }
    std::sort(found.begin(), found.end(), [](QQuickItem *a, QQuickItem *b) { return a->y() < b->y(); });
    return found;
}

void tst_MainWindow::windowChrome()
{
    QCOMPARE(m_window->title(), QStringLiteral("Pressel"));
    QVERIFY(m_window->flags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(m_window->color().alpha(), 0);
    QVERIFY(m_window->minimumWidth() >= 720);
    QVERIFY(m_window->minimumHeight() >= 520);
    // Offscreen nothing composes windows: the backdrop is the opaque tone, never black.
    const QColor backdrop = item("backdrop")->property("color").value<QColor>();
    QCOMPARE(backdrop.alpha(), 255);
    QVERIFY(backdrop.lightness() > 0);
    QCOMPARE(item("contentView")->width(), 720.0);
    QCOMPARE(item("contentView")->height(), 520.0);
    QCOMPARE(face(), QStringLiteral("dropZone"));
}

void tst_MainWindow::dropShowsProcessingThenRows()
{
    QVERIFY(m_support.drop(item("orangeArtwork"), m_files));
    QVERIFY(m_viewModel->isProcessing());
    QCOMPARE(face(), QStringLiteral("processing"));
    QCOMPARE(item("headerTitle")->property("shownText").toString(), QStringLiteral("正在压缩"));
    QVERIFY(!m_viewModel->isDropTargeted());

    QTRY_VERIFY_WITH_TIMEOUT(!m_viewModel->isProcessing(), 120000);
    QCOMPARE(face(), QStringLiteral("results"));
    QCOMPARE(item("headerTitle")->property("shownText").toString(), QStringLiteral("压缩结果"));
    QTRY_COMPARE(rows().size(), 3);

    const QList<QQuickItem *> shown = rows();
    QCOMPARE(shown.at(0)->property("fileName").toString(), QStringLiteral("海边日落.jpg"));
    QCOMPARE(shown.at(0)->property("status").toString(), QStringLiteral("success"));
    QVERIFY2(shown.at(0)->property("badgeText").toString().startsWith(QStringLiteral("↓ ")),
             qPrintable(shown.at(0)->property("badgeText").toString()));
    QVERIFY(shown.at(0)->property("detailText").toString().startsWith(m_folder->path()));
    QCOMPARE(shown.at(1)->property("badgeText").toString(), QStringLiteral("跳过"));
    QVERIFY(shown.at(1)->property("sizesText").toString().endsWith(QStringLiteral(" → -")));
    QCOMPARE(shown.at(2)->property("badgeText").toString(), QStringLiteral("失败"));
    QVERIFY(shown.at(2)->property("sizesText").toString().endsWith(QStringLiteral(" → -")));
    QCOMPARE(shown.at(2)->property("revealTarget").toUrl(), m_files.at(2));
}

void tst_MainWindow::dropOfWebAddressOnlyIsRejected()
{
    QVERIFY(!m_support.drop(item("dropZone"), {QUrl(QStringLiteral("https://example.com/photo.jpg"))}));
    QVERIFY(!m_viewModel->isProcessing());
    QVERIFY(!m_viewModel->isDropTargeted());
    QCOMPARE(face(), QStringLiteral("dropZone"));
}

void tst_MainWindow::hoverHighlightsTheDropZone()
{
    QVERIFY(m_support.dragEnter(item("dropZone"), m_files));
    QVERIFY(m_viewModel->isDropTargeted());
    QCOMPARE(item("dropZone")->property("isTargeted").toBool(), true);
    m_support.dragLeave(item("dropZone"));
    QVERIFY(!m_viewModel->isDropTargeted());
    QCOMPARE(item("dropZone")->property("isTargeted").toBool(), false);
    QVERIFY(!m_viewModel->isProcessing());
}

void tst_MainWindow::dockDeliveryStartsABatch()
{
    m_support.clearLog();
    DockFileDropRelay::shared().enqueue({m_files.at(0)});
    QVERIFY(m_viewModel->isProcessing());
    QVERIFY(DockFileDropRelay::shared().pendingURLs().isEmpty());
    QVERIFY2(m_support.infoLog().contains(
                 QStringLiteral("com.korvane.Pressel.DockDrop: ContentView processing 1 dock file(s)")),
             qPrintable(m_support.infoLog().join(u'\n')));
    QCOMPARE(face(), QStringLiteral("processing"));
    QTRY_VERIFY_WITH_TIMEOUT(!m_viewModel->isProcessing(), 120000);
    QTRY_COMPARE(rows().size(), 1);
}

void tst_MainWindow::clearDuringBatchReturnsToDropZone()
{
    QVERIFY(m_support.drop(item("dropZone"), m_files));
    QCOMPARE(face(), QStringLiteral("processing"));
    QQuickItem *clearButton = item("clearButton");
    QTRY_VERIFY(clearButton->isVisible());
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier,
                      clearButton->mapToScene(QPointF(clearButton->width() / 2, clearButton->height() / 2)).toPoint());
    QVERIFY(!m_viewModel->isProcessing());
    QCOMPARE(m_viewModel->results()->count(), 0);
    QCOMPARE(face(), QStringLiteral("dropZone"));
}

QTEST_MAIN(tst_MainWindow)

#include "tst_mainwindow.moc"
