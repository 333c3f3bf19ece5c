// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop around the window: sizes and shares in the user's locale; on a private session bus
// a fake file manager that shows a file, a fake desktop portal that sets the colour scheme while
// the application runs and chooses files, and a fake notification server told of batches that end unseen; Pressel
// in Thunar's context menu, added to a configuration folder of the test's own. Where no D-Bus service answers, a file is shown by opening its
// folder, and a folder that cannot be opened either is reported rather than passed off as shown;
// the colour scheme follows the palette, unless the environment decides outright.

#include "BatchNotification.h"
#include "ByteCountFormatter.h"
#include "ColorScheme.h"
#include "CompressionSettingsModel.h"
#include "FileManagerReveal.h"
#include "OpenDialog.h"
#include "PercentFormatter.h"
#include "TestFiles.h"
#include "ThunarAction.h"

#include <QGuiApplication>
#include <QPalette>
#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <cmath>

using namespace Qt::StringLiterals;
using namespace pressel;

class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public slots:
    Q_SCRIPTABLE void ShowItems(const QStringList &uris, const QString &) { shown += uris; }
};

class FakePortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint scheme = 0;
    int reads = 0;
public slots:
    // As the portal answers Read: the value wrapped in one variant more than declared.
    Q_SCRIPTABLE QDBusVariant Read(const QString &group, const QString &key)
    {
        ++reads;
        const bool asked = group == u"org.freedesktop.appearance" && key == u"color-scheme";
        return QDBusVariant(QVariant::fromValue(QDBusVariant(asked ? scheme : 0u)));
    }
signals:
    Q_SCRIPTABLE void SettingChanged(const QString &group, const QString &key, const QDBusVariant &value);
};

// The portal's second interface, on the same object.
class FakeFileChooser : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.FileChooser")
public:
    explicit FakeFileChooser(QObject *portal)
        : QDBusAbstractAdaptor(portal)
    {}
    QVariantMap options;
public slots:
    // Answers before the call returns: only a request listened for in advance hears it.
    QDBusObjectPath OpenFile(const QString &, const QString &, const QVariantMap &given)
    {
        options = given;
        const QString path = u"/org/freedesktop/portal/desktop/request/%1/%2"_s.arg(
            QDBusConnection(u"pressel"_s).baseService().mid(1).replace(u'.', u'_'), given.value(u"handle_token"_s).toString());
        QDBusMessage response = QDBusMessage::createSignal(path, u"org.freedesktop.portal.Request"_s, u"Response"_s);
        response << 0u << QVariantMap{{u"uris"_s, QStringList{u"file:///photos/a.jpg"_s, u"file:///b%20c"_s}}};
        QDBusConnection(u"desktop"_s).send(response);
        return QDBusObjectPath(path);
    }
};

class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList summaries;
    QStringList actions;
public slots:
    Q_SCRIPTABLE uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &,
                             const QStringList &actionList, const QVariantMap &, int)
    {
        summaries << summary;
        actions = actionList;
        return uint(summaries.size());
    }
signals:
    Q_SCRIPTABLE void ActionInvoked(uint id, const QString &action);
};

class tst_Desktop : public QObject
{
    Q_OBJECT

    static QDBusConnection nowhere()
    {
        return QDBusConnection::connectToBus(u"unix:path=/nonexistent/bus"_s, u"nowhere"_s);
    }

    QProcess m_bus;
    FakeFileManager m_fileManager;
    FakePortal m_portal;
    FakeFileChooser m_fileChooser{&m_portal};
    FakeNotifications m_notifications;

private slots:
    // The fakes answer on a connection of their own; the code under test uses "pressel".
    void initTestCase()
    {
        m_bus.start(u"dbus-daemon"_s, {u"--session"_s, u"--print-address"_s, u"--nofork"_s});
        QVERIFY(m_bus.waitForStarted() && QTest::qWaitFor([&] { return m_bus.canReadLine(); }, 60'000));
        const QString address = QString::fromUtf8(m_bus.readLine()).trimmed();
        QDBusConnection desktop = QDBusConnection::connectToBus(address, u"desktop"_s);
        QVERIFY(desktop.registerService(u"org.freedesktop.FileManager1"_s) &&
                desktop.registerObject(u"/org/freedesktop/FileManager1"_s, &m_fileManager,
                                       QDBusConnection::ExportScriptableSlots));
        QVERIFY(desktop.registerService(u"org.freedesktop.portal.Desktop"_s) &&
                desktop.registerObject(u"/org/freedesktop/portal/desktop"_s, &m_portal,
                                       QDBusConnection::ExportScriptableContents | QDBusConnection::ExportAdaptors));
        QVERIFY(desktop.registerService(u"org.freedesktop.Notifications"_s) &&
                desktop.registerObject(u"/org/freedesktop/Notifications"_s, &m_notifications,
                                       QDBusConnection::ExportScriptableContents));
        QVERIFY(QDBusConnection::connectToBus(address, u"pressel"_s).isConnected());
    }

    void cleanupTestCase() { m_bus.close(); }

    void sizesAndShares_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("expected");
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        // Bytes under a kilobyte; kilobytes round half up; megabytes keep one digit unless it is
        // 0; nothing larger.
        const std::pair<qint64, const char *> sizes[]{{0, "0 B"},            {277, "277 B"},
                                                      {999, "999 B"},        {1000, "1 kB"},
                                                      {1499, "1 kB"},        {1500, "2 kB"},
                                                      {999'499, "999 kB"},   {999'500, "1 MB"},
                                                      {1'049'999, "1 MB"},   {1'050'000, "1.1 MB"},
                                                      {2'449'999, "2.4 MB"}, {1'234'567'890, "1,234.6 MB"}};
        for (const auto &[bytes, text] : sizes)
            QTest::addRow("%lld bytes", bytes)
                << ByteCountFormatter::stringFromByteCount(bytes, english) << QString::fromLatin1(text);
        QTest::newRow("a German decimal mark")
            << ByteCountFormatter::stringFromByteCount(1'050'000, QLocale(QLocale::German)) << u"1,1 MB"_s;
        // Whole percents, halves to the even neighbour, never "-0%".
        const std::pair<double, const char *> shares[]{{0, "0%"},      {1, "100%"},     {0.35, "35%"},
                                                       {0.004, "0%"},  {-0.004, "0%"},  {0.125, "12%"},
                                                       {0.375, "38%"}, {0.996, "100%"}, {std::nan(""), "-"}};
        for (const auto &[fraction, text] : shares)
            QTest::addRow("share %g", fraction)
                << PercentFormatter::stringFromFraction(fraction, english) << QString::fromLatin1(text);
    }

    void sizesAndShares()
    {
        QFETCH(QString, shown);
        QFETCH(QString, expected);
        QCOMPARE(shown, expected);
    }

    // The portal's appearance: 1 prefers dark, 2 light, 0 leaves it to the palette; a change
    // while the application runs is followed.
    void colorSchemeFollowsThePortal_data()
    {
        QTest::addColumn<uint>("first");
        QTest::addColumn<uint>("then");
        QTest::addColumn<bool>("darkPalette");
        QTest::newRow("dark, then no preference") << 1u << 0u << false;
        QTest::newRow("light, then no preference") << 2u << 0u << true;
        QTest::newRow("no preference, then dark") << 0u << 1u << false;
        QTest::newRow("no preference, then light") << 0u << 2u << true;
    }

    void colorSchemeFollowsThePortal()
    {
        QFETCH(uint, first);
        QFETCH(uint, then);
        QFETCH(bool, darkPalette);
        qunsetenv("PRESSEL_COLOR_SCHEME");
        QGuiApplication::setPalette(QPalette(darkPalette ? QColor(30, 30, 30) : QColor(240, 240, 240)));
        m_portal.scheme = first;
        m_portal.reads = 0;
        const ColorScheme scheme(QDBusConnection(u"pressel"_s));
        QTRY_VERIFY(m_portal.reads == 1 && scheme.isDark() == (first == 0 ? darkPalette : first == 1));
        emit m_portal.SettingChanged(u"org.freedesktop.appearance"_s, u"color-scheme"_s, QDBusVariant(then));
        QTRY_COMPARE(scheme.isDark(), then == 0 ? darkPalette : then == 1);
    }

    void colorSchemeFollowsThePalette_data()
    {
        QTest::addColumn<QByteArray>("environment");
        QTest::addColumn<bool>("darkWithLightWindow");
        QTest::newRow("the palette decides") << QByteArray() << false;
        QTest::newRow("the environment decides") << QByteArray("dark") << true;
    }

    void colorSchemeFollowsThePalette()
    {
        QFETCH(QByteArray, environment);
        QFETCH(bool, darkWithLightWindow);
        qputenv("PRESSEL_COLOR_SCHEME", environment);
        QGuiApplication::setPalette(QPalette(QColor(30, 30, 30))); // the window colour too
        const ColorScheme scheme(nowhere());
        QVERIFY(scheme.isDark());
        QGuiApplication::setPalette(QPalette(QColor(240, 240, 240)));
        QTRY_COMPARE(scheme.isDark(), darkWithLightWindow);
    }

    // Several files under the images' filter, or folders, through the portal.
    void openDialogThroughThePortal()
    {
        OpenDialog dialog(QDBusConnection(u"pressel"_s));
        QSignalSpy chosen(&dialog, &OpenDialog::chosen);
        for (const bool folders : {false, true}) {
            folders ? dialog.chooseFolders() : dialog.chooseFiles();
            QTRY_COMPARE(chosen.size(), folders ? 2 : 1);
            QCOMPARE(chosen.constLast().constFirst().value<QList<QUrl>>(),
                     (QList<QUrl>{QUrl::fromLocalFile(u"/photos/a.jpg"_s), QUrl::fromLocalFile(u"/b c"_s)}));
            QCOMPARE(m_fileChooser.options.value(u"multiple"_s), QVariant(true));
            QCOMPARE(m_fileChooser.options.value(u"directory"_s), QVariant(folders));
            QCOMPARE(m_fileChooser.options.value(u"filters"_s).value<QDBusArgument>().currentSignature(),
                     folders ? QString() : u"a(sa(us))"_s);
        }
    }

    // A batch that ends unseen (the window not active, or long enough to have been left alone) is
    // announced with an action that shows its outputs; nothing at all where nobody answers.
    void batchNotification_data()
    {
        QTest::addColumn<bool>("windowIsActive");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("setUp");
        QTest::addColumn<bool>("sent");
        QTest::newRow("window not active") << false << 1 << QString() << true;
        QTest::newRow("long batch") << true << 11 << QString() << true;
        QTest::newRow("seen and short") << true << 10 << QString() << false;
        QTest::newRow("turned off") << false << 11 << u"off"_s << false;
        QTest::newRow("no notification server") << false << 11 << u"no server"_s << false;
        QTest::newRow("no session bus") << false << 11 << u"no bus"_s << false;
    }

    // The panel's quality is the chosen format's, in that format's range; each is saved apart.
    void qualityFollowsTheOutputFormat()
    {
        CompressionSettingsModel settings;
        const auto restore = qScopeGuard([&] { settings.restoreDefaults(); });
        settings.setQuality(60);
        settings.setOutputFormat(u"webp"_s);
        QCOMPARE(settings.quality(), WebPSettings::defaultQuality);
        settings.setQuality(100);
        const int webpMaximum = settings.maximumQuality();
        QVERIFY(webpMaximum < 100);
        QCOMPARE(settings.quality(), webpMaximum);
        settings.setOutputFormat(u"avif"_s);
        QCOMPARE(settings.quality(), AVIFSettings::defaultQuality);
        const CompressionSettings saved = CompressionSettings::loadSaved();
        QCOMPARE(saved.outputFormat, OutputFormat::avif);
        QCOMPARE(saved.jpegQuality, 60);
        QCOMPARE(saved.webpQuality, webpMaximum);
    }

    void batchNotification()
    {
        QFETCH(bool, windowIsActive);
        QFETCH(int, seconds);
        QFETCH(QString, setUp);
        QFETCH(bool, sent);
        QTest::failOnWarning(QRegularExpression(u"."_s));
        CompressionSettingsModel settings;
        settings.setNotifyWhenFinished(setUp != u"off");
        QDBusConnection desktop(u"desktop"_s);
        if (setUp == u"no server")
            QVERIFY(desktop.unregisterService(u"org.freedesktop.Notifications"_s));
        const auto restore = qScopeGuard([&] {
            settings.restoreDefaults();
            desktop.registerService(u"org.freedesktop.Notifications"_s);
        });
        m_notifications.summaries.clear();
        m_fileManager.shown.clear();

        CompressionResult result;
        result.sourceURL = QUrl::fromLocalFile(u"/tmp/海边.jpg"_s);
        result.outputURL = QUrl::fromLocalFile(u"/tmp/海边-1.jpg"_s);
        result.originalBytes = 2'000'000;
        result.compressedBytes = 500'000;
        result.status = CompressionResultStatus::success;
        BatchNotification notification(setUp == u"no bus" ? nowhere() : QDBusConnection(u"pressel"_s));
        QSignalSpy shown(&notification, &BatchNotification::shown);
        notification.batchFinished({result}, std::chrono::seconds(seconds), windowIsActive);
        if (!sent) {
            // A call to the bus after it: its answer comes after any answer to a notification.
            QDBusConnection(u"pressel"_s).interface()->isServiceRegistered(u"org.freedesktop.Notifications"_s);
            QCoreApplication::processEvents();
            QVERIFY(shown.isEmpty() && m_notifications.summaries.isEmpty());
            return;
        }
        QTRY_COMPARE(shown.size(), 1);
        QCOMPARE(m_notifications.summaries, QStringList{u"已完成 1 个文件 · 节省 1.5 MB"_s});
        QCOMPARE(m_notifications.actions, (QStringList{u"show-files"_s, u"显示文件"_s}));
        emit m_notifications.ActionInvoked(shown.value(0).value(0).toUInt(), u"show-files"_s);
        QTRY_COMPARE(m_fileManager.shown, QStringList{u"file:///tmp/%E6%B5%B7%E8%BE%B9-1.jpg"_s});
    }

    // The action goes in once, before the end of the user's list, whose every other byte stays;
    // a uca.xml that is a link or no XML is refused and left alone.
    void thunarAction_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<bool>("link");
        QTest::addColumn<bool>("added");
        const QByteArray others = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!-- mine -->\n<actions>\n<action>\n"
                                  "\t<name>终端 &amp; shell</name>\n\t<unique-id>1-1</unique-id>\n\t<command>xterm %f</command>\n"
                                  "\t<directories   />\n</action>\n</actions>\n";
        QTest::newRow("no file yet") << QByteArray() << false << true;
        QTest::newRow("an empty file") << QByteArray("\n") << false << true;
        QTest::newRow("other actions") << others << false << true;
        QTest::newRow("a link") << others << true << false;
        QTest::newRow("no XML") << QByteArray("<actions><action>") << false << false;
    }

    void thunarAction()
    {
        QFETCH(QByteArray, before);
        QFETCH(bool, link);
        QFETCH(bool, added);
        QTemporaryDir home;
        const QByteArray configuration = qgetenv("XDG_CONFIG_HOME");
        const auto restore = qScopeGuard([&] { qputenv("XDG_CONFIG_HOME", configuration); });
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        const QString file = ThunarAction::configurationFile();
        QCOMPARE(file, home.filePath(u"Thunar/uca.xml"_s));
        QVERIFY(QDir().mkpath(home.filePath(u"Thunar"_s)));
        const QString written = link ? home.filePath(u"dotfiles.xml"_s) : file;
        if (!before.isNull())
            QVERIFY(TestFiles::writeFile(written, before));
        if (link)
            QVERIFY(QFile::link(written, file));

        ThunarAction action;
        QCOMPARE(action.add(), added ? ThunarAction::Added : ThunarAction::Refused);
        QCOMPARE(action.lastError().isEmpty(), added);
        const QByteArray after = TestFiles::readFile(written);
        if (!added) {
            QCOMPARE(after, before);
            QVERIFY(QFileInfo(file).isSymLink() == link);
            return;
        }
        QCOMPARE(action.add(), ThunarAction::AlreadyThere);
        QCOMPARE(TestFiles::readFile(file), after);

        const QByteArray ours = "<action>\n\t<icon>pressel</icon>\n\t<name>使用 Pressel 压缩</name>\n\t<submenu></submenu>\n"
                                "\t<unique-id>com.korvane.Pressel.compress</unique-id>\n\t<command>pressel %F</command>\n"
                                "\t<description></description>\n\t<range></range>\n\t<patterns>*</patterns>\n"
                                "\t<image-files/>\n\t<directories/>\n</action>\n";
        QByteArray expected = before.trimmed().isEmpty()
                                  ? QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n")
                                  : before;
        expected.insert(expected.lastIndexOf("</actions>"), ours);
        QCOMPARE(after, expected);
        QXmlStreamReader reader(after);
        while (!reader.atEnd())
            reader.readNext();
        QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
    }

    // The file manager takes the file as an encoded URI and the folder is not opened as well;
    // where it cannot be asked, the folder is opened instead.
    void reveal_data()
    {
        QTest::addColumn<QString>("bus");
        QTest::addColumn<bool>("folderOpens");
        QTest::newRow("the file manager shows it") << u"pressel"_s << true;
        QTest::newRow("no bus, the folder opens") << u"nowhere"_s << true;
        QTest::newRow("no bus, nothing opens it") << u"nowhere"_s << false;
    }

    void reveal()
    {
        QFETCH(QString, bus);
        QFETCH(bool, folderOpens);
        const bool fileManager = bus == u"pressel";
        QList<QUrl> opened;
        FileManagerReveal reveal(fileManager ? QDBusConnection(bus) : nowhere(), [&](const QUrl &folder) {
            opened << folder;
            return folderOpens;
        });
        QSignalSpy finished(&reveal, &FileManagerReveal::finished);
        QSignalSpy failed(&reveal, &FileManagerReveal::failed);
        const QUrl file = QUrl::fromLocalFile(u"/tmp/假期 照片/100% #1.jpg"_s);
        m_fileManager.shown.clear();
        reveal.reveal(file);
        QTRY_COMPARE(finished.size() + failed.size(), 1);
        const QString uri = u"file:///tmp/%E5%81%87%E6%9C%9F%20%E7%85%A7%E7%89%87/100%25%20%231.jpg"_s;
        QCOMPARE(m_fileManager.shown, fileManager ? QStringList{uri} : QStringList());
        QCOMPARE(opened, fileManager ? QList<QUrl>() : QList<QUrl>{QUrl::fromLocalFile(u"/tmp/假期 照片"_s)});
        if (folderOpens)
            QCOMPARE(finished.value(0), (QVariantList{file, fileManager}));
        else
            QCOMPARE(failed.value(0), QVariantList{file});
    }
};

QTEST_MAIN(tst_Desktop)
#include "tst_desktop.moc"
