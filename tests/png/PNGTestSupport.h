#pragma once

#include "ApplicationBundle.h"
#include "ImageProfile.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QtMessageHandler>

// Fixtures shared by the PNG road's tests: pictures that steer pngquant, fake tools and
// bundles, and a record of what the PNG components logged.
namespace PNGTestSupport {

// A desktop-like screenshot: flat panels, a title bar with a gradient, buttons and text.
// pngquant reaches its quality bounds on it with room to spare.
QImage screenshot(int width, int height);
// A smooth four-colour gradient under heavy photographic grain: pngquant cannot bring it
// to quality 60 and refuses it.
QImage grainyGradient(int width, int height, quint32 seed = 42);

// The build tree (set by CTest), its bundled pngquant and its pressel-cli.
QString buildDir();
QString bundledPNGQuant();
QString presselCLI();

// A bundle laid out like the installed one below `root` (libexec/pressel and share/pressel,
// both created empty).
ApplicationBundle bundleAt(const QString &root);
QString executablesFolder(const QString &root);
QString resourcesFolder(const QString &root);

// Writes a /bin/sh script with the given body and execute permission.
void writeScript(const QString &path, const QByteArray &body);
// Writes a file with the given bytes and permissions 0644 (or 0755 when `executable`).
void writeFile(const QString &path, const QByteArray &bytes, bool executable = false);
QByteArray readFile(const QString &path);

// The profile the chain would get for a PNG source; only sourceURL matters to the encoders.
ImageProfile pngProfile(const QString &path);

// Names of the regular files directly in `folder`, sorted.
QStringList fileNames(const QString &folder);

struct LogLine {
    QtMsgType type;
    QString category; // without the bundle identifier: "PNGCompression", "PNGQuant"
    QString message;
    friend bool operator==(const LogLine &, const LogLine &) = default;
};

// Records every line of the PNG components while it lives; other lines go on to the
// previous handler.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QList<LogLine> lines() const;

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message);
    QtMessageHandler m_previous = nullptr;
};

// The log lines as one readable text, for failure messages.
QString describe(const QList<LogLine> &lines);

} // namespace PNGTestSupport
