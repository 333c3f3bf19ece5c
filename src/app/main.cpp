// SPDX-License-Identifier: GPL-3.0-or-later
// pressel: the application. One window per user session; a later launch hands its files to
// the running one and leaves.

#include "BatchNotification.h"
#include "CompressionViewModel.h"
#include "Logging.h"
#include "OpenRequest.h"
#include "OpenRequestHandler.h"
#include "SessionBus.h"
#include "SingleInstance.h"
#include "StandardCompressionService.h"
#include "TerminationSignals.h"
#include "Translation.h"

#include <QCommandLineParser>
#include <QDir>
#include <QApplication>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QTextStream>
#include <QtQml/qqmlextensionplugin.h>

#include <optional>

using namespace pressel;

Q_IMPORT_QML_PLUGIN(PresselPlugin)

namespace {

QString usage()
{
    return QCoreApplication::translate("CommandLine",
                                       "用法：pressel [选项…] [--] [文件…]\n"
                                       "打开 Pressel 的窗口并压缩这些文件（文件夹代表其中的图片）；\n"
                                       "已有窗口在运行时，把文件交给它后退出。\n"
                                       "  -h, --help      显示这段说明\n"
                                       "  --version       显示版本\n"
                                       "  --              选项到此为止：其后的每个参数都是文件\n");
}

// The options of a launch. Everything else is a file, and so is everything after "--".
struct CommandLine {
    QCommandLineParser parser;
    QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption version{QStringLiteral("version")};

    CommandLine() { parser.addOptions({help, version}); }
};

// Help and the version are answered before the window system is asked for anything, so they
// work in a terminal without a display. Anything else waits until the window system has taken
// its own options (-platform, -display, …) from the arguments.
std::optional<int> answerWithoutWindow(int argc, char *argv[])
{
    const QCoreApplication terminal(argc, argv);
    Translation::install();
    CommandLine commandLine;
    commandLine.parser.parse(QCoreApplication::arguments());
    if (commandLine.parser.isSet(commandLine.help)) {
        QTextStream(stdout) << usage();
        return 0;
    }
    if (commandLine.parser.isSet(commandLine.version)) {
        QTextStream(stdout) << "pressel " << PRESSEL_VERSION << '\n';
        return 0;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[])
{
    if (const auto status = answerWithoutWindow(argc, argv))
        return *status;

    SessionBus::preventAutolaunch();
    // Widgets for Qt's file dialog, where the desktop has no portal to choose files.
    QApplication app(argc, argv);
    // The session ending leaves like Ctrl+Q: the view model goes with its service, which ends a
    // running tool and removes its partial output. A signal that comes while the window is still
    // being made ends the event loop as soon as it runs.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &app, &QCoreApplication::quit);
    // The application name stays the executable's; the desktop entry names the window's owner.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(appId));
    installLogFormat();
    Translation::install();

    CommandLine commandLine;
    if (!commandLine.parser.parse(QCoreApplication::arguments())) {
        QTextStream(stderr) << "pressel: " << commandLine.parser.errorText() << '\n' << usage();
        return 2;
    }
    const OpenRequest launch{commandLine.parser.positionalArguments(), QDir::currentPath()};
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
    BatchNotification notification;
    QObject::connect(&viewModel, &CompressionViewModel::batchFinished, &notification,
                     [&notification, shown = QPointer<QQuickWindow>(window)](
                         const QList<CompressionResult> &results, std::chrono::milliseconds duration) {
                         notification.batchFinished(results, duration, shown && shown->isActive());
                     });
    // Its words are older than this shell; scripts wait for them.
    qCInfo(lcOpenRequest).noquote() << QStringLiteral("applicationDidFinishLaunching");
    return app.exec();
}
