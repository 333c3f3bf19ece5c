// A stand-in for the application around SingleInstance, for the tests that run it twice.
//
//   singleinstance_probe ID [PART...]      send the parts, joined by newlines
//   singleinstance_probe ID --size N       send N bytes of 'x'
//
// The first process with an ID prints "primary", then "received SIZE TEXT" for each message
// (TEXT percent-encoded), and ends by itself after a minute so that it can never linger.
// A later one exits 0 once the primary has answered, 1 otherwise.

#include "Logging.h"
#include "SingleInstance.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    pressel::installLogFormat();
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty()) {
        std::fputs("usage: singleinstance_probe ID [PART...] | ID --size N\n", stderr);
        return 2;
    }
    SingleInstance instance(arguments.takeFirst());

    if (!instance.isPrimaryInstance()) {
        QByteArray message;
        if (arguments.size() == 2 && arguments.first() == u"--size")
            message = QByteArray(arguments.last().toLongLong(), 'x');
        else
            message = arguments.join(u'\n').toUtf8();
        return instance.sendMessage(message) ? 0 : 1;
    }

    QObject::connect(&instance, &SingleInstance::messageReceived, [](const QByteArray &message) {
        std::printf("received %lld %s\n", qint64(message.size()), message.left(200).toPercentEncoding().constData());
        std::fflush(stdout);
    });
    QTimer::singleShot(60'000, &app, [] { QCoreApplication::exit(3); });
    std::puts("primary");
    std::fflush(stdout);
    return app.exec();
}
