// A stand-in for the application around SingleInstance, for the tests that run it twice.
//
//   singleinstance_probe ID [PART...]      send the parts, joined by newlines
//   singleinstance_probe ID --size N       send N bytes of 'x'
//   singleinstance_probe --deliver-to SOCKET TEXT
//                                          a stranger's attempt: one message straight to a
//                                          socket; exits 0 when answered, 2 when it cannot
//                                          even connect, 1 otherwise
//
// The first process with an ID prints "primary", then "received SIZE TEXT" for each message
// (TEXT percent-encoded), and ends by itself after a minute so that it can never linger.
// A later one exits 0 once the primary has answered, 1 otherwise.

#include "Logging.h"
#include "SingleInstance.h"

#include <QCoreApplication>
#include <QLocalSocket>
#include <QTimer>
#include <QtEndian>

#include <cstdio>

using namespace pressel;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    pressel::installLogFormat();
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty()) {
        std::fputs("usage: singleinstance_probe ID [PART...] | ID --size N\n", stderr);
        return 2;
    }
    if (arguments.size() == 3 && arguments.first() == u"--deliver-to") {
        QLocalSocket socket;
        socket.connectToServer(arguments.at(1));
        if (!socket.waitForConnected(5000))
            return 2;
        const QByteArray message = arguments.at(2).toUtf8();
        QByteArray frame(4, Qt::Uninitialized);
        qToBigEndian<quint32>(quint32(message.size()), frame.data());
        socket.write(frame + message);
        if (!socket.waitForBytesWritten(5000) || !socket.waitForReadyRead(5000))
            return 1;
        return socket.read(1) == "\x01" ? 0 : 1;
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
