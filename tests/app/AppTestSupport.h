#pragma once

#include "ApplicationBundle.h"
#include "LogCapture.h"
#include "TestFiles.h"

#include <QString>
#include <QStringList>

// Fixtures of the shell's tests: the built application, and bundles with a cjpeg that waits for
// the test. Files, scripts, the build tree's bundle and the log capture are tests/support's.
namespace AppTestSupport {
using namespace TestFiles;

QString buildDir();
QString presselExecutable();

// A bundle below `root` whose cjpeg holds each JPEG until the test opens its gate, then
// fails, so that the platform encoder writes the output. Run n (counted from 1 over the life
// of the bundle) first appends its output path to `startedLogPath`, so a test can see which
// file is in hand, then waits for the file `gatePrefix` + n. A run gives up waiting after a
// minute, so a broken test never leaves it behind.
ApplicationBundle gatedBundle(const QString &root, const QString &gatePrefix, const QString &startedLogPath);
void openGate(const QString &gatePrefix, int run);
// The lines of a started log; empty when nothing started yet.
QStringList readLines(const QString &path);

} // namespace AppTestSupport
