// SPDX-License-Identifier: GPL-3.0-or-later
// The real window with the real batch controller and pipeline: a drop, the faces it leads to
// and a row copied, Qt's Open dialog used as a person uses it, open requests that join while they wait for the window, and a reveal with nothing to
// reveal in, on files written at run time; Ctrl+Q over the settings panel, and the window's place kept.

#include "CompressionSettings.h"
#include "CompressionViewModel.h"
#include "FileClipboard.h"
#include "OpenRequestHandler.h"
#include "ResultStatus.h"
#include "SessionBus.h"
#include "StandardCompressionService.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "Translation.h"
#include "UiTestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QRegularExpression>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <memory>

#include <sys/prctl.h>

using namespace pressel;

using namespace Qt::StringLiterals;

Q_IMPORT_QML_PLUGIN(PresselPlugin)

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        // Whatever the window starts and leaves behind becomes this process's child when orphaned.
        QCOMPARE(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        // As the application does before its window; on a machine without a session bus the
        // reveal test checks that no bus was launched.
        SessionBus::preventAutolaunch();
        // Qt's texts in the window's language (the source texts' Chinese, under the C locale).
        Translation::install();
    }

    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
        const QString photo = m_folder->filePath(u"海边日落.jpg"_s);
        TestImages::write(TestImages::photo(1600, 1200, 3), photo, "jpeg", 95);
        const QString scan = m_folder->filePath(u"scan.tiff"_s);
        TestImages::write(TestImages::photo(300, 200, 4), scan, "tiff");
        const QString broken = m_folder->filePath(u"broken.jpg"_s);
        QVERIFY(TestFiles::writeFile(broken, QByteArray("\xff\xd8\xff\xe0 this is not a picture", 26)));
        m_files = {QUrl::fromLocalFile(photo), QUrl::fromLocalFile(scan), QUrl::fromLocalFile(broken)};

        m_viewModel = std::make_unique<CompressionViewModel>(makeStandardCompressionService(TestFiles::buildBundle()));
        m_engine = std::make_unique<QQmlApplicationEngine>();
        m_engine->setInitialProperties({{u"viewModel"_s, QVariant::fromValue(m_viewModel.get())}});
        m_engine->load(QUrl(u"qrc:/Pressel/Main.qml"_s));
        QCOMPARE(m_engine->rootObjects().size(), 1);
        m_window = qobject_cast<QQuickWindow *>(m_engine->rootObjects().constFirst());
        QVERIFY(m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        QCOMPARE(face(), u"dropZone"_s);
        m_window->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
    }

    void cleanup()
    {
        m_engine.reset();
        m_window = nullptr;
        m_viewModel.reset();
        m_folder.reset();
    }

    void dropShowsProcessingThenRows()
    {
        // Nothing but a link to the web: refused, and the window stays as it was.
        QVERIFY(!m_support.drop(item("orangeArtwork"), {QUrl(u"https://example.com/photo.jpg"_s)}));
        QVERIFY(face() == u"dropZone"_s && !m_viewModel->isDropTargeted());
        QVERIFY(m_support.drop(item("orangeArtwork"), m_files));
        QVERIFY(m_viewModel->isProcessing());
        QCOMPARE(face(), u"processing"_s);
        QCOMPARE(item("headerTitle")->property("shownText").toString(), u"正在压缩"_s);
        QVERIFY(!m_viewModel->isDropTargeted());
        QCOMPARE(item("progressBar")->property("to").toDouble(), 3.0);
        QCOMPARE(item("progressBar")->property("value").toDouble(), 0.0);
        QCOMPARE(item("progressText")->property("text").toString(), u"已完成 0 / 3"_s);

        QTRY_VERIFY_WITH_TIMEOUT(!m_viewModel->isProcessing(), 120000);
        QCOMPARE(face(), u"results"_s);
        QCOMPARE(item("headerTitle")->property("shownText").toString(), u"压缩结果"_s);
        QCOMPARE(item("progressBar")->property("value").toDouble(), 3.0);
        QTRY_COMPARE(rows().size(), 3);
        const QString totals = item("totalsLine")->property("text").toString();
        QVERIFY2(totals.startsWith(u"3 个文件 · 节省 "_s) && totals.endsWith(u"） · 1 个跳过 · 1 个失败"_s),
                 qPrintable(totals));
        QTRY_VERIFY(item("totalsLine")->isVisible());
        QVERIFY(!item("stopLine")->isVisible());
        QVERIFY(!item("stopButton")->isVisible());

        const QList<QQuickItem *> shown = rows();
        QCOMPARE(shown.at(0)->property("fileName").toString(), u"海边日落.jpg"_s);
        QCOMPARE(shown.at(0)->property("status").toInt(), int(ResultStatus::Success));
        QVERIFY2(shown.at(0)->property("badgeText").toString().startsWith(u"↓ "_s),
                 qPrintable(shown.at(0)->property("badgeText").toString()));
        QVERIFY(shown.at(0)->property("detailText").toString().startsWith(m_folder->path()));
        QCOMPARE(shown.at(1)->property("badgeText").toString(), u"跳过"_s);
        QVERIFY(shown.at(1)->property("sizesText").toString().endsWith(u" → -"_s));
        QCOMPARE(shown.at(2)->property("badgeText").toString(), u"失败"_s);
        QVERIFY(shown.at(2)->property("sizesText").toString().endsWith(u" → -"_s));
        QCOMPARE(shown.at(2)->property("revealTarget").toUrl(), m_files.at(2));

        // Ctrl+C on a row copies its output as a file manager copies files.
        shown.at(0)->forceActiveFocus();
        QTest::keySequence(m_window, QKeySequence::Copy);
        QCOMPARE(FileClipboard::fileURLs(QGuiApplication::clipboard()->mimeData()),
                 QList<QUrl>{shown.at(0)->property("revealTarget").toUrl()});
    }

    // Text copied from a terminal or an editor pastes as files when every line names one.
    void pasteText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("files");
        QTest::newRow("a path and a URI") << u"%1\n  %2  \n"_s << 2;
        QTest::newRow("a sentence") << u"see %1\n%2"_s << 0;
    }

    void pasteText()
    {
        QFETCH(QString, text);
        QFETCH(int, files);
        QGuiApplication::clipboard()->setText(text.arg(m_files.at(0).toLocalFile(), m_files.at(1).toString(QUrl::FullyEncoded)));
        QTest::keySequence(m_window, QKeySequence::Paste);
        QTRY_VERIFY_WITH_TIMEOUT(!m_viewModel->isProcessing(), 120000);
        QCOMPARE(m_viewModel->totalCount(), files);
    }

    // With an output format chosen, a phone's HEIC and a PNG become JPEGs: each row says which
    // formats and sizes, a larger output says it grew, and the HEIC's thumbnail comes through the codec.
    void conversionRows()
    {
        CompressionSettings settings;
        settings.outputFormat = OutputFormat::jpeg;
        settings.maximumSide = 200;
        settings.saveAsSaved();
        const auto restore = qScopeGuard([] { CompressionSettings().saveAsSaved(); });
        const QString heic = m_folder->filePath(u"IMG_0001.HEIC"_s);
        QVERIFY(TestFiles::writeFile(heic, TestImages::heif({TestImages::photo(400, 300)}).value_or(QByteArray())));
        QImage flat(32, 32, QImage::Format_ARGB32);
        flat.fill(qRgba(200, 0, 0, 128));
        const QString icon = m_folder->filePath(u"icon.png"_s);
        QVERIFY(TestFiles::writeFile(icon, TestImages::encode(flat, "png")));
        QVERIFY(m_support.drop(item("orangeArtwork"), {QUrl::fromLocalFile(heic), QUrl::fromLocalFile(icon)}));
        QTRY_VERIFY_WITH_TIMEOUT(!m_viewModel->isProcessing(), 120000);
        QTRY_COMPARE(rows().size(), 2);
        QCOMPARE(rows().at(0)->property("outputText").toString(), u"HEIC → JPEG · 400×300 → 200×150"_s);
        QCOMPARE(rows().at(1)->property("outputText").toString(), u"PNG → JPEG"_s);
        QVERIFY(rows().at(1)->property("badgeText").toString().startsWith(u"↑ "_s));
        QTRY_COMPARE(rows().at(0)->findChild<QQuickItem *>(u"thumbnail"_s)->property("status").toInt(), 1); // ready
    }

    // No portal on this test's bus: Qt's dialog opens, through the window's own shortcut or
    // button, in the window's language, offering what the saved output format compresses. Names
    // typed into it as a person types them are the batch: two files, or a folder that stands
    // for its images; or, from the settings, the folder outputs are saved to.
    void openDialog_data()
    {
        QTest::addColumn<QString>("button"); // empty: Ctrl+O
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("acceptText");
        QTest::newRow("two files") << QString() << u"keep"_s << uR"("a.jpg" "b.png")"_s << u"打开(&O)"_s;
        QTest::newRow("two files to WebP")
            << u"chooseFilesButton"_s << u"webp"_s << uR"("a.jpg" "b.png")"_s << u"打开(&O)"_s;
        QTest::newRow("a folder") << u"chooseFoldersButton"_s << u"keep"_s << QString() << u"选择(&C)"_s;
        QTest::newRow("the folder to save to") << u"chooseFolderButton"_s << u"keep"_s << QString() << u"选择(&C)"_s;
    }

    void openDialog()
    {
        QFETCH(QString, button);
        QFETCH(QString, format);
        QFETCH(QString, typed);
        QFETCH(QString, acceptText);
        CompressionSettings settings;
        settings.outputFormat = *CompressionSettings::outputFormatFromName(format);
        settings.saveAsSaved();
        const auto restore = qScopeGuard([] { CompressionSettings().saveAsSaved(); });
        const QString album = m_folder->filePath(u"album"_s);
        QVERIFY(QDir().mkdir(album));
        TestImages::write(TestImages::photo(640, 480, 5), album + u"/a.jpg"_s, "jpeg", 95);
        TestImages::write(TestImages::photo(64, 48, 6), album + u"/b.png"_s, "png");

        const bool saveTo = button == u"chooseFolderButton"_s;
        if (saveTo) {
            QTest::keyClick(m_window, Qt::Key_Comma, Qt::ControlModifier);
            QTRY_VERIFY(m_window->findChild<QObject *>(u"settingsPanel"_s)->property("opened").toBool());
        }
        if (button.isEmpty())
            QTest::keySequence(m_window, QKeySequence::Open);
        else
            QTest::mouseClick(m_window, Qt::LeftButton, {}, item(qPrintable(button))->mapToScene({20, 10}).toPoint());
        QPointer<QFileDialog> dialog;
        QTRY_VERIFY((dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())));
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QCOMPARE(dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Open)->text(), acceptText);
        auto *names = dialog->findChild<QLineEdit *>(u"fileNameEdit"_s);
        // Keys go where the focus is, as a person's do; typed elsewhere, the dialog's list would
        // rewrite the name field under them.
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QTRY_VERIFY(names->hasFocus());
        QTest::keyClicks(names, album);
        QCOMPARE(names->text(), album);
        QTest::keyClick(names, Qt::Key_Return);
        if (saveTo) {
            QTRY_VERIFY(!dialog);
            const CompressionSettings saved = CompressionSettings::loadSaved();
            QCOMPARE(saved.outputFolder, album);
            QCOMPARE(saved.outputPlacement, OutputPlacement::chosenFolder);
            QCOMPARE(m_viewModel->totalCount(), 0);
            return;
        }
        if (!typed.isEmpty()) {
            const QString images = dialog->nameFilters().constFirst();
            QVERIFY2(images.contains(u"*.png"_s) && images.contains(u"*.JPG"_s), qPrintable(images));
            QCOMPARE(images.contains(u"*.heic"_s), format != u"keep"_s);
            QTRY_COMPARE(dialog->directory().absolutePath(), album);
            const auto *model = dialog->findChild<QFileSystemModel *>();
            QTRY_COMPARE(model->type(model->index(album)), u"文件夹"_s);
            QTest::keyClicks(names, typed);
            QTest::keyClick(names, Qt::Key_Return);
        }
        QTRY_VERIFY(!dialog);
        QTRY_VERIFY_WITH_TIMEOUT(!m_viewModel->isProcessing(), 120000);
        QTRY_COMPARE(rows().size(), 2);
        QCOMPARE(rows().at(1)->property("fileName").toString(), u"b.png"_s);
    }

    // Requests that come before the window takes the first (here: before there is one) become
    // one batch, whether they name paths or URIs.
    void openRequestsThatWaitJoin()
    {
        OpenRequestHandler openRequests(*m_viewModel);
        openRequests.open({{u"海边日落.jpg"_s}, m_folder->path()});
        openRequests.open({{m_files.at(1).toString(QUrl::FullyEncoded), u"broken.jpg"_s}, m_folder->path()});
        openRequests.setWindow(m_window);
        QTRY_COMPARE(m_viewModel->totalCount(), 3);
        QTRY_VERIFY_WITH_TIMEOUT(!m_viewModel->isProcessing(), 120000);
        QTRY_COMPARE(rows().size(), 3);
    }

    // No file manager, no folder handler, no session bus: the row says so and nothing is left
    // running (no bus daemon launched on our behalf).
    void revealWithNothingToRevealIn()
    {
        QTemporaryDir emptyFolder;
        const QByteArray path = qgetenv("PATH");
        const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("PATH", emptyFolder.path().toUtf8());
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("XDG_RUNTIME_DIR", emptyFolder.path().toUtf8());
        const auto restore = qScopeGuard([&] {
            qputenv("PATH", path);
            bus.isNull() ? qunsetenv("DBUS_SESSION_BUS_ADDRESS") : qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
            runtime.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", runtime);
        });

        QVERIFY(m_support.drop(item("orangeArtwork"), m_files.mid(2)));
        QTRY_VERIFY_WITH_TIMEOUT(!m_viewModel->isProcessing(), 120000);
        QTRY_COMPARE(rows().size(), 1);
        QVERIFY(QMetaObject::invokeMethod(rows().constFirst(), "revealInFileManager"));
        QTRY_COMPARE(rows().constFirst()->property("revealProblem").toString(), u"无法打开文件管理器"_s);
        QTRY_VERIFY(rows().constFirst()->findChild<QQuickItem *>(u"revealProblem"_s)->isVisible());
        // Orphans that ended become this subreaper's zombies: only the living count.
        const QStringList leftBehind = TestFiles::childProcesses().filter(QRegularExpression(u" [^Z]$"_s));
        QVERIFY2(leftBehind.isEmpty(), qPrintable(leftBehind.join(u", "_s)));
    }

    // Ctrl+Q quits over the modal settings panel too.
    void quitOverTheSettingsPanel()
    {
        QVERIFY(QObject::disconnect(m_engine.get(), &QQmlEngine::quit, nullptr, nullptr));
        QSignalSpy quit(m_engine.get(), &QQmlEngine::quit);
        QTest::keyClick(m_window, Qt::Key_Comma, Qt::ControlModifier);
        QTRY_VERIFY(m_window->findChild<QObject *>(u"settingsPanel"_s)->property("opened").toBool());
        QTest::keyClick(m_window, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(quit.size(), 1);
    }

    // The window comes back where it was left, unless no screen shows that place any more.
    void placeIsRemembered_data()
    {
        QTest::addColumn<QRect>("saved");
        QTest::addColumn<bool>("onScreen");
        QTest::addColumn<bool>("keptStill"); // written while the window is open, not only as it closes
        QTest::newRow("moved and resized") << QRect(40, 30, 610, 500) << true << true;
        QTest::newRow("moved as it closes") << QRect(60, 50, 640, 490) << true << false;
        QTest::newRow("off every screen") << QRect(20000, -9000, 610, 500) << false << false;
    }

    void placeIsRemembered()
    {
        QFETCH(QRect, saved);
        QFETCH(bool, onScreen);
        QFETCH(bool, keptStill);
        const auto restore = qScopeGuard([] { QSettings(u"pressel"_s, u"pressel"_s).remove(u"window"_s); });
        if (onScreen) {
            QSignalSpy resized(m_window, &QWindow::widthChanged);
            m_window->setGeometry(saved);
            if (keptStill)
                QTRY_COMPARE(QSettings(u"pressel"_s, u"pressel"_s).value(u"window/geometry"_s).toRect(), saved);
            else
                QVERIFY(!resized.isEmpty() || resized.wait());
            cleanup();
        } else {
            cleanup();
            QSettings(u"pressel"_s, u"pressel"_s).setValue(u"window/geometry"_s, saved);
        }
        init();
        const QRect area = m_window->screen()->availableGeometry();
        QCOMPARE(m_window->size(), saved.size());
        QVERIFY(onScreen ? m_window->geometry() == saved : area.contains(m_window->geometry()));
    }

private:
    QQuickItem *item(const char *name) const { return m_window->findChild<QQuickItem *>(QString::fromLatin1(name)); }
    QString face() const { return item("contentView")->property("face").toString(); }
    QList<QQuickItem *> rows() const;

    std::unique_ptr<QTemporaryDir> m_folder;
    QList<QUrl> m_files;
    std::unique_ptr<CompressionViewModel> m_viewModel;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;
    UiTestSupport m_support;
};

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

QTEST_MAIN(tst_MainWindow)

#include "tst_mainwindow.moc"
