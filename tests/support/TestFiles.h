// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "InstallLayout.h"
#include "ImageProfile.h"

#include <QByteArray>
#include <QJsonArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

// The file-system and process side of the fixtures: files and fake tools, bundles laid out like
// the installed one, the build tree, private temporary folders, records that prove nothing was
// lost or left, and runs of real programs.
namespace TestFiles {

QByteArray readFile(const QString &path);
// Writes the bytes (creating the folder), with permissions 0644, or 0755 when `executable`.
bool writeFile(const QString &path, const QByteArray &bytes, bool executable = false);
// Writes a file named by the file system's bytes, which need not be UTF-8.
bool writeRawFile(const QByteArray &path, const QByteArray &bytes);
QByteArray rawPath(const QString &folder, const QByteArray &name);
// Writes an executable /bin/sh script with the given body.
bool writeScript(const QString &path, const QByteArray &body);
// A path quoted for /bin/sh.
QByteArray shellQuoted(const QString &path);
// Names of the entries directly in `folder` (files and folders, hidden ones too), sorted.
QStringList entryNames(const QString &folder);

// A path inside the build tree (PRESSEL_BUILD_DIR, set by CTest), e.g. "bin/pressel-cli".
QString buildPath(const QString &relative);
// The build tree's bundle, with the real cjpeg and pngquant.
pressel::InstallLayout buildBundle();
// A bundle laid out like the installed one below `root`, both folders created empty.
pressel::InstallLayout bundleAt(const QString &root);
QString executablesFolder(const QString &root);
// A bundle below `root` whose cjpeg and pngquant append their output path to `startedLog`,
// wait while `holdFile` exists (a minute at most, then fail) and hand over to the build tree's
// real tool: which file is in hand is fixed by the test, never by timing.
pressel::InstallLayout heldToolsBundle(const QString &root, const QString &startedLog, const QString &holdFile);
// The lines of a file; empty when there is none yet.
QStringList readLines(const QString &path);

// "<pid> (<command>) <state>" of each process whose parent is this one, zombies ("Z") included:
// a tool that is still running or was never reaped.
QStringList childProcesses();

// The profile the service would hand an encoder for `path`.
pressel::ImageProfile profileFor(const QString &path, const pressel::ImageFormat &format);

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

// A private folder whose "tmp" TMPDIR points at while it lives, so that a scratch file the
// pipeline forgets shows up there; the tests' own folders are made beside it. Removed by the
// bytes of its names, with folders a test closed opened again first.
class Sandbox
{
public:
    Sandbox();
    ~Sandbox();
    bool isValid() const { return m_root.isValid(); }
    QString root() const { return m_root.path(); }
    QString temporaryFolder() const { return m_root.filePath(QStringLiteral("tmp")); }
    // What was left in the temporary folder; empty when nothing.
    QString leftovers() const;
    // A new empty folder below the root.
    QString newFolder(const QString &label);

private:
    QTemporaryDir m_root;
    std::optional<TemporaryFolderOverride> m_override;
    int m_counter = 0;
};

// Everything below a folder as the file system holds it, without following links: each file's
// bytes, each link's target, each folder.
class FolderRecord
{
public:
    explicit FolderRecord(const QString &folder);
    // Empty when every recorded entry is unchanged and nothing else is below the folder but the
    // plain files `added` (raw paths relative to it); otherwise what changed.
    QString changesBeyond(const QList<QByteArray> &added = {}) const;

private:
    QByteArray m_folder;
    QMap<QByteArray, QByteArray> m_entries;
};

// One finished run of a program.
struct ProcessRun {
    bool finished = false; // ended normally within the watchdog
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;

    // pressel-cli's JSON array; empty when the output is not one.
    QJsonArray rows() const;
    QString describe() const;
};

struct RunOptions {
    QString workingFolder = {};
    QMap<QString, QString> environment = {}; // added to this process's environment
};

// Runs the program to its end; the ten-minute watchdog only keeps a broken build from hanging.
ProcessRun run(const QString &program, const QStringList &arguments, const RunOptions &options = {});

} // namespace TestFiles
