// SPDX-License-Identifier: GPL-3.0-or-later
// pressel: the application. One window per user session; a later launch hands its files to
// the running one and leaves.

#include "AppDelegate.h"
#include "CompressionViewModel.h"
#include "DockFileDropRelay.h"
#include "Logging.h"
#include "OpenRequest.h"
#include "SessionBus.h"
#include "SingleInstance.h"
#include "StandardCompressionService.h"
#include "TerminationSignals.h"
#include "Translation.h"

#include <QDir>
#include <QGuiApplication>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>

using namespace pressel;

Q_IMPORT_QML_PLUGIN(PresselPlugin)

int main(int argc, char *argv[])
{
    SessionBus::preventAutolaunch();
    QGuiApplication app(argc, argv);
    // The session ending leaves like Ctrl+Q: the view model goes with its service, which ends a
    // running tool and removes its partial output. A signal that comes while the window is still
    // being made ends the event loop as soon as it runs.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &app, &QCoreApplication::quit);
    // The application name stays the executable's; the desktop entry names the window's owner.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(pressel::bundleIdentifier));
    pressel::installLogFormat();
    Translation::install();

    const OpenRequest launch{QCoreApplication::arguments().mid(1), QDir::currentPath()};
    SingleInstance instance(SingleInstance::instanceIdFromEnvironment());
    if (!instance.isPrimaryInstance()) {
        if (instance.sendMessage(launch.encode()))
            return 0;
        qCCritical(lcDockDrop).noquote() << QStringLiteral("The running Pressel did not take the request");
        return 1;
    }

    AppDelegate delegate;
#ifdef Q_OS_MACOS
    app.installEventFilter(&delegate);
#endif
    CompressionViewModel viewModel(makeStandardCompressionService());

    // Requests that come before the window exists wait in the relay like the launch's own.
    QObject::connect(&instance, &SingleInstance::messageReceived, &delegate, [&delegate](const QByteArray &message) {
        const auto request = OpenRequest::decode(message);
        if (!request) {
            qCCritical(lcDockDrop).noquote()
                << QStringLiteral("Dropped a malformed open request of %1 byte(s)").arg(message.size());
            return;
        }
        delegate.open(*request);
    });

    QQmlApplicationEngine engine;
    engine.setInitialProperties({{QStringLiteral("viewModel"), QVariant::fromValue(&viewModel)}});
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    engine.loadFromModule("Pressel", "Main");
#else
    // Qt 6.4 places a module's files under its URI at the root of the resources.
    engine.load(QUrl(QStringLiteral("qrc:/Pressel/Main.qml")));
#endif
    QPointer<QQuickWindow> window = qobject_cast<QQuickWindow *>(engine.rootObjects().value(0));
    if (!window)
        return 1;
    // The scene's identifier.
    window->setObjectName(QStringLiteral("main"));

    DockFileDropRelay::shared().setActivationHook([window] {
        if (!window)
            return;
        window->setWindowStates(window->windowStates() & ~Qt::WindowMinimized);
        window->show();
        window->raise();
        window->requestActivate();
    });
    delegate.applicationDidFinishLaunching();

    delegate.open(launch);
    return app.exec();
}
