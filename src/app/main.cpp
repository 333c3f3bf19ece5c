// SPDX-License-Identifier: GPL-3.0-or-later
// pressel: the application. One window per user session; a later launch hands its files to
// the running one and leaves.

#include "CompressionViewModel.h"
#include "Logging.h"
#include "OpenRequest.h"
#include "OpenRequestHandler.h"
#include "SessionBus.h"
#include "SingleInstance.h"
#include "StandardCompressionService.h"
#include "TerminationSignals.h"
#include "Translation.h"

#include <QDir>
#include <QGuiApplication>
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
    QGuiApplication::setDesktopFileName(QString::fromLatin1(appId));
    installLogFormat();
    Translation::install();

    const OpenRequest launch{QCoreApplication::arguments().mid(1), QDir::currentPath()};
    SingleInstance instance(SingleInstance::instanceIdFromEnvironment());
    if (!instance.isPrimaryInstance()) {
        if (instance.sendMessage(launch.encode()))
            return 0;
        qCCritical(lcOpenRequest).noquote() << QStringLiteral("The running Pressel did not take the request");
        return 1;
    }

    CompressionViewModel viewModel(makeStandardCompressionService());
    OpenRequestHandler openRequests(viewModel);
    QObject::connect(&instance, &SingleInstance::messageReceived, &openRequests, &OpenRequestHandler::openMessage);
    // The launch's own files wait for the window like a later launch's.
    openRequests.open(launch);

    QQmlApplicationEngine engine;
    engine.setInitialProperties({{QStringLiteral("viewModel"), QVariant::fromValue(&viewModel)}});
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    engine.loadFromModule("Pressel", "Main");
#else
    // Qt 6.4 places a module's files under its URI at the root of the resources.
    engine.load(QUrl(QStringLiteral("qrc:/Pressel/Main.qml")));
#endif
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().value(0));
    if (!window)
        return 1;
    // The scene's identifier.
    window->setObjectName(QStringLiteral("main"));
    openRequests.setWindow(window);
    qCInfo(lcOpenRequest).noquote() << QStringLiteral("Taking open requests");
    return app.exec();
}
