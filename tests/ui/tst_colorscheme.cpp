// Light or dark: the override, the desktop portal's colour scheme over a private D-Bus session
// bus (read at start and followed while running), and the palette where no portal answers.

#include "ColorScheme.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QPalette>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace pressel;

using namespace Qt::StringLiterals;

namespace {

// The portal's Settings interface, with one setting.
class FakePortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    uint colorScheme = 0;

public slots:
    // Like the real portal, the value comes wrapped in one variant more than declared.
    QDBusVariant Read(const QString &group, const QString &key)
    {
        Q_UNUSED(group);
        Q_UNUSED(key);
        return QDBusVariant(QVariant::fromValue(QDBusVariant(colorScheme)));
    }
};

} // namespace

class tst_ColorScheme : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_s);
        if (daemon.isEmpty())
            QSKIP("dbus-daemon is not installed");
        m_bus.start(daemon, {u"--session"_s, u"--nofork"_s, u"--nopidfile"_s, u"--print-address=1"_s});
        QVERIFY(m_bus.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(m_bus.canReadLine(), 10000);
        const QString address = QString::fromUtf8(m_bus.readLine()).trimmed();
        m_service = QDBusConnection::connectToBus(address, u"portal"_s);
        m_client = QDBusConnection::connectToBus(address, u"client"_s);
        QVERIFY(m_service.isConnected() && m_client.isConnected());
        QVERIFY(
            m_service.registerObject(u"/org/freedesktop/portal/desktop"_s, &m_portal, QDBusConnection::ExportAllSlots));
        QVERIFY(m_service.registerService(u"org.freedesktop.portal.Desktop"_s));
    }

    void cleanupTestCase()
    {
        m_bus.terminate();
        m_bus.waitForFinished();
    }

    void init()
    {
        qunsetenv("PRESSEL_COLOR_SCHEME");
        QGuiApplication::setPalette(QPalette(Qt::white));
    }

    void portalDecidesAndIsFollowed_data()
    {
        QTest::addColumn<QByteArray>("override");
        QTest::addColumn<uint>("atStart");
        QTest::addColumn<bool>("darkAtStart");
        QTest::addColumn<bool>("darkAfterPreferringDark");
        QTest::newRow("no preference: the light palette") << QByteArray() << 0u << false << true;
        QTest::newRow("prefers light") << QByteArray() << 2u << false << true;
        QTest::newRow("prefers dark") << QByteArray() << 1u << true << true;
        QTest::newRow("light override") << "light"_ba << 1u << false << false;
        QTest::newRow("dark override") << "dark"_ba << 2u << true << true;
    }

    void portalDecidesAndIsFollowed()
    {
        QFETCH(QByteArray, override);
        QFETCH(uint, atStart);
        QFETCH(bool, darkAtStart);
        QFETCH(bool, darkAfterPreferringDark);
        if (!override.isEmpty())
            qputenv("PRESSEL_COLOR_SCHEME", override);
        m_portal.colorScheme = atStart;

        ColorScheme scheme(m_client);
        QTRY_COMPARE(scheme.isDark(), darkAtStart);
        QTest::qWait(200); // the portal's first answer is in
        QCOMPARE(scheme.isDark(), darkAtStart);

        QDBusMessage changed = QDBusMessage::createSignal(u"/org/freedesktop/portal/desktop"_s,
                                                          u"org.freedesktop.portal.Settings"_s, u"SettingChanged"_s);
        changed << u"org.freedesktop.appearance"_s << u"color-scheme"_s << QVariant::fromValue(QDBusVariant(1u));
        QVERIFY(m_service.send(changed));
        QTRY_COMPARE(scheme.isDark(), darkAfterPreferringDark);
    }

    void paletteDecidesWithoutPortal()
    {
        ColorScheme scheme(QDBusConnection(u"no bus"_s));
        QCOMPARE(scheme.isDark(), false);
        QSignalSpy changed(&scheme, &ColorScheme::darkChanged);
        QGuiApplication::setPalette(QPalette(QColor(0x2a, 0x2a, 0x2e)));
        QCOMPARE(scheme.isDark(), true);
        QCOMPARE(changed.size(), 1);
    }

private:
    QProcess m_bus;
    QDBusConnection m_service{u"unset"_s};
    QDBusConnection m_client{u"unset"_s};
    FakePortal m_portal;
};

QTEST_MAIN(tst_ColorScheme)

#include "tst_colorscheme.moc"
