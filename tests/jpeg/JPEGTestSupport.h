#pragma once

#include "ApplicationBundle.h"
#include "ImageProfile.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtMessageHandler>

// Fixtures shared by the JPEG road's tests: fake tools and bundles, JPEGs with an orientation
// tag, a private temporary folder, and a record of what the JPEG components logged.
namespace JPEGTestSupport {

// The build tree (set by CTest), its bundled cjpeg and its pressel-cli.
QString buildDir();
QString bundledCJPEG();
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
// A path quoted for /bin/sh (paths in tests never hold a single quote).
QByteArray shellQuoted(const QString &path);

// The profile the chain would get for a JPEG source; only sourceURL matters to the encoders.
ImageProfile jpegProfile(const QString &path);

// The JPEG bytes of `image` with an EXIF block whose only entry is the orientation tag.
QByteArray jpegWithOrientation(const QImage &image, int orientation, int quality = 100);

// Names of the entries directly in `folder` (files and folders, hidden ones too), sorted.
QStringList entryNames(const QString &folder);

// Points TMPDIR at `folder` while it lives, restoring the previous value afterwards.
class TemporaryFolderOverride
{
public:
    explicit TemporaryFolderOverride(const QString &folder);
    ~TemporaryFolderOverride();
    TemporaryFolderOverride(const TemporaryFolderOverride &) = delete;
    TemporaryFolderOverride &operator=(const TemporaryFolderOverride &) = delete;

private:
    QByteArray m_previous;
    bool m_wasSet;
};

struct LogLine {
    QtMsgType type;
    QString category; // without the bundle identifier: "JPEGCompression", "MozJPEG"
    QString message;
    friend bool operator==(const LogLine &, const LogLine &) = default;
};

// Records every line of the JPEG components while it lives; other lines go on to the
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

// Log lines as one readable text, for failure messages.
QString describe(const QList<LogLine> &lines);

} // namespace JPEGTestSupport
