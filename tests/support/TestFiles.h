#pragma once

#include "ApplicationBundle.h"
#include "ImageProfile.h"

#include <QByteArray>
#include <QJsonArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// The file-system and process side of the fixtures: files and fake tools, bundles laid out like
// the installed one, the build tree, the temporary folder, and runs of real programs.
namespace TestFiles {

QByteArray readFile(const QString &path);
// Writes the bytes (creating the folder), with permissions 0644, or 0755 when `executable`.
bool writeFile(const QString &path, const QByteArray &bytes, bool executable = false);
// Writes an executable /bin/sh script with the given body.
bool writeScript(const QString &path, const QByteArray &body);
// A path quoted for /bin/sh.
QByteArray shellQuoted(const QString &path);
// Names of the entries directly in `folder` (files and folders, hidden ones too), sorted.
QStringList entryNames(const QString &folder);

// A path inside the build tree (PRESSEL_BUILD_DIR, set by CTest), e.g. "bin/pressel-cli".
QString buildPath(const QString &relative);
// The build tree's bundle, with the real cjpeg and pngquant.
ApplicationBundle buildBundle();

// A bundle laid out like the installed one below `root`, both folders created empty.
ApplicationBundle bundleAt(const QString &root);
QString executablesFolder(const QString &root);
QString resourcesFolder(const QString &root);

// The profile the service would hand an encoder for `path`.
ImageProfile profileFor(const QString &path, const ImageFormat &format);

// Points TMPDIR at `folder` while it lives, restoring the previous value afterwards.
class TemporaryFolderOverride
{
public:
    explicit TemporaryFolderOverride(const QString &folder);
    ~TemporaryFolderOverride();
    TemporaryFolderOverride(const TemporaryFolderOverride &) = delete;
    TemporaryFolderOverride &operator=(const TemporaryFolderOverride &) = delete;

private:
    std::optional<QByteArray> m_previous;
};

// One finished run of a program.
struct ProcessRun {
    bool finished = false; // ended normally within the watchdog
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;
    std::optional<qint64> peakMemoryKiB; // when measured and /usr/bin/time is there

    // pressel-cli's JSON array; empty when the output is not one.
    QJsonArray rows() const;
    QString describe() const;
};

struct RunOptions {
    QString workingFolder = {};
    QMap<QString, QString> environment = {}; // added to this process's environment
    bool measured = false;                   // under /usr/bin/time, for the peak memory
};

// Runs the program to its end; the ten-minute watchdog only keeps a broken build from hanging.
ProcessRun run(const QString &program, const QStringList &arguments, const RunOptions &options = {});

} // namespace TestFiles
