#pragma once

#include "ApplicationBundle.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtMessageHandler>

// Fixtures shared by the shell's tests: bundles with a cjpeg that waits for the test, the
// build tree's executables, and a record of what the shell logged.
namespace AppTestSupport {

// The build tree (set by CTest) and its executables.
QString buildDir();
QString presselExecutable();
// The bundle of the build tree, with the real cjpeg and pngquant.
ApplicationBundle buildBundle();

// A bundle below `root` whose cjpeg holds each JPEG until the test opens its gate, then
// fails, so that the platform encoder writes the output. Run n (counted from 1 over the life
// of the bundle) first appends its output path to `startedLogPath`, so a test can see which
// file is in hand, then waits for the file `gatePrefix` + n. A run gives up waiting after a
// minute, so a broken test never leaves it behind.
ApplicationBundle gatedBundle(const QString &root, const QString &gatePrefix, const QString &startedLogPath);
void openGate(const QString &gatePrefix, int run);
// The lines of a started log; empty when nothing started yet.
QStringList readLines(const QString &path);

// Writes a /bin/sh script with the given body and execute permission.
void writeScript(const QString &path, const QByteArray &body);

struct LogLine {
    QtMsgType type;
    QString category; // without the bundle identifier: "Compression", "DockDrop"
    QString message;
};

// Records every line of the application's categories while it lives, from any thread; other
// lines go on to the previous handler.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QList<LogLine> lines() const;
    // The messages of one category, in order.
    QStringList messages(const QString &category) const;

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message);
};

} // namespace AppTestSupport
