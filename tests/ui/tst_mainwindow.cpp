// The real window with the real batch controller and pipeline: a drop and the faces it leads
// to, the open dialog, paste, the keyboard, the accessibility tree and a reveal with nothing to
// reveal in, on files written at run time. Hover, refused drops, clearing and deliveries from
// the relay are the QML tests', a launch's files the application's test.

#include "CompressionViewModel.h"
#include "DockFileDropRelay.h"
#include "SessionBus.h"
#include "StandardCompressionService.h"
#include "TestFiles.h"
#include "TestImages.h"
#include "UiTestSupport.h"

#include <QAccessible>
#include <QClipboard>
#include <QDirIterator>
#include <QGuiApplication>
#include <QMimeData>
#include <QQmlApplicationEngine>
#include <QStandardPaths>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <memory>

#include <sys/prctl.h>
#include <unistd.h>

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
        // The dark theme, whose accent the focus ring check below looks for.
        qputenv("PRESSEL_COLOR_SCHEME", "dark");
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

        DockFileDropRelay::shared().consumePendingURLs();
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

    void windowChrome()
    {
        // The desktop frames the window: no frameless hint, an opaque surface in the theme's colour.
        QCOMPARE(m_window->title(), u"Pressel"_s);
        QVERIFY(!m_window->flags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(m_window->color().alpha(), 255);
        QVERIFY(m_window->minimumWidth() < 720 && m_window->minimumHeight() < 520);
        QCOMPARE(item("contentView")->width(), 720.0);
        QCOMPARE(item("contentView")->height(), 520.0);
        QCOMPARE(face(), u"dropZone"_s);
    }

    void dropShowsProcessingThenRows()
    {
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
        QCOMPARE(shown.at(0)->property("status").toString(), u"success"_s);
        QVERIFY2(shown.at(0)->property("badgeText").toString().startsWith(u"↓ "_s),
                 qPrintable(shown.at(0)->property("badgeText").toString()));
        QVERIFY(shown.at(0)->property("detailText").toString().startsWith(m_folder->path()));
        QCOMPARE(shown.at(1)->property("badgeText").toString(), u"跳过"_s);
        QVERIFY(shown.at(1)->property("sizesText").toString().endsWith(u" → -"_s));
        QCOMPARE(shown.at(2)->property("badgeText").toString(), u"失败"_s);
        QVERIFY(shown.at(2)->property("sizesText").toString().endsWith(u" → -"_s));
        QCOMPARE(shown.at(2)->property("revealTarget").toUrl(), m_files.at(2));
    }

    // Ctrl+O opens the file chooser in Pictures, later in the last batch's folder; what it
    // gives back starts a batch (the chooser's accepted handler hands over its selection).
    void openDialog()
    {
        QObject *dialog = m_window->findChild<QObject *>(u"openDialog"_s);
        QVERIFY(dialog);
        QVERIFY(dialog->property("nameFilters").toStringList().contains(u"所有文件 (*)"_s));
        QVERIFY(dialog->property("nameFilters").toStringList().constFirst().contains(u"*.JPEG"_s, Qt::CaseInsensitive));
        const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        const QString home = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
        QTest::keyClick(m_window, Qt::Key_O, Qt::ControlModifier);
        QTRY_VERIFY(dialog->property("visible").toBool());
        QCOMPARE(dialog->property("currentFolder").toUrl(), QUrl::fromLocalFile(QFileInfo(pictures).isDir() ? pictures : home));
        QMetaObject::invokeMethod(dialog, "reject");

        QVERIFY(QMetaObject::invokeMethod(item("contentView"), "openChosenFiles",
                                          Q_ARG(QVariant, QVariant::fromValue(m_files.mid(0, 2)))));
        QTRY_VERIFY_WITH_TIMEOUT(!m_viewModel->isProcessing(), 120000);
        QTRY_COMPARE(rows().size(), 2);
        QTest::keyClick(m_window, Qt::Key_O, Qt::ControlModifier);
        QTRY_VERIFY(dialog->property("visible").toBool());
        QCOMPARE(dialog->property("currentFolder").toUrl(), QUrl::fromLocalFile(m_folder->path()));
        QMetaObject::invokeMethod(dialog, "reject");
    }

    void paste_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("rowCount"); // 0: no batch

        QTest::newRow("uri list") << u"text/uri-list"_s << QByteArray("%1/海边日落.jpg\r\n%1/scan.tiff\r\n") << 2;
        QTest::newRow("GNOME's copied files") << u"x-special/gnome-copied-files"_s
                                              << QByteArray("copy\n%1/海边日落.jpg\n%1/scan.tiff") << 2;
        QTest::newRow("text without files") << u"text/plain"_s << QByteArray("%1/海边日落.jpg") << 0;
    }

    void paste()
    {
        QFETCH(QString, format);
        QFETCH(QByteArray, content);
        QFETCH(int, rowCount);

        const QByteArray folder = QUrl::fromLocalFile(m_folder->path()).toEncoded();
        auto *data = new QMimeData;
        data->setData(format, content.replace("%1", folder));
        QGuiApplication::clipboard()->setMimeData(data);
        QTest::keyClick(m_window, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_viewModel->isProcessing(), rowCount > 0);
        QTRY_VERIFY_WITH_TIMEOUT(!m_viewModel->isProcessing(), 120000);
        QTRY_COMPARE(rows().size(), rowCount);
        QCOMPARE(face(), rowCount > 0 ? u"results"_s : u"dropZone"_s);
    }

    // Only the keyboard: Tab shows where it is, Space opens the chooser, clears and reveals;
    // the accessibility tree names every control and describes every row.
    void keyboardAndAccessibility()
    {
        QCOMPARE(tabUntil("chooseFilesButton"), u"chooseFilesButton"_s);
        QVERIFY(focusRingShown());
        QTest::keyClick(m_window, Qt::Key_Space);
        QObject *dialog = m_window->findChild<QObject *>(u"openDialog"_s);
        QTRY_VERIFY(dialog->property("visible").toBool());
        QMetaObject::invokeMethod(dialog, "reject");

        QVERIFY(m_support.drop(item("orangeArtwork"), m_files));
        QTRY_VERIFY_WITH_TIMEOUT(!m_viewModel->isProcessing(), 120000);
        QTRY_COMPARE(rows().size(), 3);

        QAccessible::setActive(true);
        QStringList tree;
        collectAccessible(QAccessible::queryAccessibleInterface(m_window), tree);
        for (const QString &control : {u"Button 选择图片…"_s, u"Button 清空"_s, u"Button 在文件管理器中显示"_s})
            QVERIFY2(tree.contains(control), qPrintable(tree.join(u'\n')));
        const auto described = [&](const QString &prefix) {
            return std::any_of(tree.begin(), tree.end(), [&](const QString &node) { return node.startsWith(prefix); });
        };
        QVERIFY2(described(u"ListItem 海边日落.jpg: 海边日落.jpg，成功，↓ "_s), qPrintable(tree.join(u'\n')));
        QVERIFY2(described(u"ListItem broken.jpg: broken.jpg，失败，"_s), qPrintable(tree.join(u'\n')));

        // Tab skips what is still fading: wait for the faces to settle.
        QTRY_VERIFY(!item("processingFace")->isVisible() && !item("dropZoneFace")->isVisible()
                    && item("resultsFace")->opacity() == 1.0);
        QStringList chain;
        for (int press = 0; press < 8; ++press) {
            QTest::keyClick(m_window, Qt::Key_Tab);
            chain << m_window->activeFocusItem()->objectName();
            QVERIFY2(focusRingShown(), qPrintable(chain.join(u", "_s)));
        }
        QVERIFY2(chain.join(u", "_s).contains(u"openButton, clearButton, resultRow, compareButton, revealButton, "
                                               u"resultRow, revealButton"_s),
                 qPrintable(chain.join(u", "_s)));
        QCOMPARE(tabUntil("clearButton"), u"clearButton"_s);
        QTest::keyClick(m_window, Qt::Key_Space);
        QCOMPARE(rows().size(), 0);
        QCOMPARE(face(), u"dropZone"_s);
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
        const QStringList leftBehind = childProcesses();
        QVERIFY2(leftBehind.isEmpty(), qPrintable(leftBehind.join(u", "_s)));
    }

private:
    QQuickItem *item(const char *objectName) const;
    QString face() const;
    QList<QQuickItem *> rows() const;
    // Presses Tab until the named item has the focus (or a round found nothing); its name.
    QString tabUntil(const char *objectName);
    bool focusRingShown() const;
    static void collectAccessible(QAccessibleInterface *node, QStringList &tree);
    static QStringList childProcesses();

    std::unique_ptr<QTemporaryDir> m_folder;
    QList<QUrl> m_files;
    std::unique_ptr<CompressionViewModel> m_viewModel;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;
    UiTestSupport m_support;
};

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

QString tst_MainWindow::tabUntil(const char *objectName)
{
    for (int press = 0; press < 20; ++press) {
        QTest::keyClick(m_window, Qt::Key_Tab);
        if (m_window->activeFocusItem() && m_window->activeFocusItem()->objectName() == QLatin1String(objectName))
            break;
    }
    return m_window->activeFocusItem() ? m_window->activeFocusItem()->objectName() : QString();
}

// The focused item's ring: a visible outline of two or more pixels in the accent colour, drawn
// by the item, its background or anything inside them.
bool tst_MainWindow::focusRingShown() const
{
    const QQuickItem *focused = m_window->activeFocusItem();
    if (!focused)
        return false;
    QList<const QQuickItem *> pending{focused};
    if (const auto *background = qobject_cast<const QQuickItem *>(focused->property("background").value<QObject *>()))
        pending << background;
    while (!pending.isEmpty()) {
        const QQuickItem *next = pending.takeFirst();
        const auto *border = next->property("border").value<QObject *>();
        if (next->isVisible() && border && border->property("width").toReal() >= 2
            && border->property("color").value<QColor>() == QColor(u"#0a84ff"_s))
            return true;
        for (const QQuickItem *child : next->childItems())
            pending << child;
    }
    return false;
}

void tst_MainWindow::collectAccessible(QAccessibleInterface *node, QStringList &tree)
{
    if (!node)
        return;
    const QString role = QString::fromLatin1(QMetaEnum::fromType<QAccessible::Role>().valueToKey(node->role()));
    const QString name = node->text(QAccessible::Name);
    const QString description = node->text(QAccessible::Description);
    tree << role + u' ' + name + (description.isEmpty() ? QString() : u": "_s + description);
    for (int index = 0; index < node->childCount(); ++index)
        collectAccessible(node->child(index), tree);
}

// "<pid> <command>" of each living process whose parent is this one.
QStringList tst_MainWindow::childProcesses()
{
    QStringList children;
    const QString self = QString::number(getpid());
    QDirIterator processes(u"/proc"_s, QDir::Dirs | QDir::NoDotAndDotDot);
    while (processes.hasNext()) {
        const QString folder = processes.next();
        QFile stat(folder + u"/stat"_s);
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (command) state ppid ...": the command may hold spaces, so read after its ')'.
        const QString line = QString::fromUtf8(stat.readAll());
        const QStringList fields = line.mid(line.lastIndexOf(u')') + 2).split(u' ');
        if (fields.size() > 1 && fields.at(1) == self && fields.at(0) != u"Z")
            children << line.left(line.lastIndexOf(u')') + 1);
    }
    return children;
}

QTEST_MAIN(tst_MainWindow)

#include "tst_mainwindow.moc"
