// The window chrome's view of the desktop. On X11 (run under a virtual X server): compositor
// detection as a compositing manager starts and stops, and the frame and blur hints that the
// window manager reads, taken back from the server.

#include "WindowEffects.h"
#include "X11WindowEffectsBackend.h"

#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

bool onX11()
{
    return QGuiApplication::platformName() == u"xcb";
}

xcb_connection_t *connection()
{
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

QList<quint32> cardinals(QWindow &window, const char *name)
{
    xcb_connection_t *xcb = connection();
    xcb_intern_atom_reply_t *atom =
        xcb_intern_atom_reply(xcb, xcb_intern_atom(xcb, true, uint16_t(qstrlen(name)), name), nullptr);
    if (!atom)
        return {};
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        xcb, xcb_get_property(xcb, false, xcb_window_t(window.winId()), atom->atom, XCB_ATOM_CARDINAL, 0, 4096),
        nullptr);
    std::free(atom);
    if (!reply)
        return {};
    const auto *values = static_cast<const quint32 *>(xcb_get_property_value(reply));
    const QList<quint32> result(values, values + xcb_get_property_value_length(reply) / 4);
    std::free(reply);
    return result;
}

bool covers(const QList<quint32> &rects, const QPoint &point)
{
    for (qsizetype i = 0; i + 3 < rects.size(); i += 4) {
        if (QRect(int(rects[i]), int(rects[i + 1]), int(rects[i + 2]), int(rects[i + 3])).contains(point))
            return true;
    }
    return false;
}

} // namespace

class tst_WindowEffects : public QObject
{
    Q_OBJECT

private slots:
    void platformsWithoutCompositorGetTheOpaqueLook()
    {
        QVERIFY(!WindowEffectsBackend::forPlatform(u"offscreen"_s)->isCompositing());
        QVERIFY(!WindowEffectsBackend::forPlatform(u"minimal"_s)->isCompositing());
        QVERIFY(WindowEffectsBackend::forPlatform(u"wayland"_s)->isCompositing());
        if (onX11())
            QVERIFY2(!X11WindowEffectsBackend().isCompositing(), "the virtual X server runs no compositor yet");
        QWindow window;
        WindowEffects effects(WindowEffectsBackend::forPlatform(u"offscreen"_s));
        QVERIFY(!effects.compositing());
        effects.setBackdrop(&window, QRect(0, 0, 720, 520), 0);
    }

    void detectsACompositorStartingAndStopping()
    {
        if (!onX11())
            QSKIP("needs an X server (the test runs again under xvfb-run)");
        const QString xcompmgr = QStandardPaths::findExecutable(u"xcompmgr"_s);
        if (xcompmgr.isEmpty())
            QSKIP("xcompmgr is not installed");

        WindowEffects effects;
        QVERIFY(!effects.compositing());
        QProcess compositor;
        compositor.start(xcompmgr, {});
        QVERIFY(compositor.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(effects.compositing(), 20000);

        compositor.terminate();
        QVERIFY(compositor.waitForFinished());
        QTRY_VERIFY_WITH_TIMEOUT(!effects.compositing(), 20000);
    }

    void tellsTheWindowManagerWhereTheFrameIs()
    {
        if (!onX11())
            QSKIP("needs an X server (the test runs again under xvfb-run)");
        QWindow window;
        window.resize(756, 556);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.devicePixelRatio(), 1.0);

        const QRect frame(18, 18, 720, 520);
        X11WindowEffectsBackend().setBackdrop(&window, frame, 14);

        QCOMPARE(cardinals(window, "_GTK_FRAME_EXTENTS"), (QList<quint32>{18, 18, 18, 18}));
        const QList<quint32> blur = cardinals(window, "_KDE_NET_WM_BLUR_BEHIND_REGION");
        QVERIFY(!blur.isEmpty());
        QCOMPARE(blur.size() % 4, 0);
        QVERIFY(covers(blur, frame.center()));
        QVERIFY(covers(blur, QPoint(frame.left(), frame.center().y())));
        QVERIFY(covers(blur, QPoint(frame.center().x(), frame.bottom())));
        // Outside the rounded corners and outside the frame, nothing is blurred.
        QVERIFY(!covers(blur, frame.topLeft()));
        QVERIFY(!covers(blur, frame.bottomRight()));
        QVERIFY(!covers(blur, QPoint(5, 5)));
        QVERIFY(!covers(blur, QPoint(frame.right() + 1, frame.center().y())));

        // Maximised: no shadow margin and square corners.
        X11WindowEffectsBackend().setBackdrop(&window, QRect(QPoint(0, 0), window.size()), 0);
        QCOMPARE(cardinals(window, "_GTK_FRAME_EXTENTS"), (QList<quint32>{0, 0, 0, 0}));
        QVERIFY(covers(cardinals(window, "_KDE_NET_WM_BLUR_BEHIND_REGION"), QPoint(0, 0)));
    }
};

QTEST_MAIN(tst_WindowEffects)

#include "tst_windoweffects.moc"
