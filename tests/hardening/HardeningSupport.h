#pragma once

#include "ApplicationBundle.h"
#include "CompressionResult.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

// What the hardening tests share: a private temporary folder that must end empty, the two
// roads through the real pipeline (the build tree's bundle with mozjpeg's cjpeg and pngquant,
// and a bundle without tools), records of folders that prove nothing was lost and nothing
// left, and child processes run with raw byte arguments.
namespace Hardening {

// The test process's own temporary folder: TMPDIR points into it while the sandbox lives, so
// that a PPM picture or any other scratch file the pipeline forgets shows up there. Folders for
// the tests' files are made beside it, never in it.
class Sandbox
{
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox &) = delete;
    Sandbox &operator=(const Sandbox &) = delete;

    bool isValid() const { return m_root.isValid(); }
    QString root() const { return m_root.path(); }
    QString temporaryFolder() const;
    // A new empty folder below the root, named after `label`.
    QString newFolder(const QString &label);

private:
    QTemporaryDir m_root;
    std::optional<QByteArray> m_previousTMPDIR;
    int m_counter = 0;
};

enum class Road { tools, fallback };
// The build tree's bundle, with its cjpeg and pngquant; or one in which no tool is found.
ApplicationBundle bundleFor(Road road);
// Empty when the build tree's bundle holds both tools; otherwise what is missing.
QString missingTools();

// One batch through the standard pipeline, waited for.
QList<CompressionResult> compress(Road road, const QList<QUrl> &urls);

QString statusName(CompressionResultStatus status);
QString describe(const CompressionResult &result);

// Entry names of a folder as the file system holds them, whatever their bytes; sorted.
QList<QByteArray> rawEntries(const QByteArray &folder);
QList<QByteArray> rawEntries(const QString &folder);
QByteArray rawPath(const QString &folder, const QByteArray &name);
// SHA-256 of a file's bytes; empty when it cannot be read.
QByteArray hashFile(const QByteArray &path);
bool writeRawFile(const QByteArray &path, const QByteArray &bytes);

// Everything below a folder as the file system holds it, recorded without following symbolic
// links: every file's bytes, every link's target, every folder.
class FolderRecord
{
public:
    explicit FolderRecord(const QString &folder);
    // Empty when every recorded entry is still there, unchanged, and nothing else is below the
    // folder but `added` (raw paths relative to the folder); otherwise what changed.
    QString changesBeyond(const QList<QByteArray> &added = {}) const;

private:
    QByteArray m_folder;
    QMap<QByteArray, QByteArray> m_entries; // relative path -> what it is
};

// Empty when the folder holds nothing; otherwise its entries.
QString leftoversIn(const QString &folder);

// Output file names (raw) of the success rows, for FolderRecord::changesBeyond.
QList<QByteArray> outputNames(const QList<CompressionResult> &results);

// Empty when the file at `path` is a whole JPEG or PNG of the expected format that Qt decodes;
// otherwise why not. The decoded picture, in sRGB as a colour-managed viewer shows it, goes to
// `decoded` when given.
QString checkOutputFile(const QString &path, const QByteArray &expectedFormat, QImage *decoded = nullptr);

// Mean absolute difference per channel (0-255) of two pictures as seen over a mid-grey
// background, so that the colour under transparent pixels counts for nothing. With a cell size
// above 1 the pictures are compared cell by cell, each cell's mean colour against the other's:
// the noise of lossy encoders averages out, a shift of colour or a wrong turn does not.
double viewedDifference(const QImage &a, const QImage &b, int cellSize = 1);

struct ProgramRun {
    bool finished = false; // exited by itself within the watchdog's time
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;
};
// Runs argv (raw bytes, argv[0] a path) in `workingFolder` with the environment of this process
// plus `environment` ("NAME=value"); standard output and error are caught in files under
// `captureFolder`. A watchdog ends a child that hangs.
ProgramRun runProgram(const QList<QByteArray> &argv, const QString &workingFolder, const QList<QByteArray> &environment,
                      const QString &captureFolder);

// The build tree's pressel-cli.
QString presselCLI();

} // namespace Hardening
