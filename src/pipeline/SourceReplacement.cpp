// SPDX-License-Identifier: GPL-3.0-or-later
#include "SourceReplacement.h"

#include "PrivateFile.h"
#include "SourceFile.h"
#include "Trash.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pressel {

namespace {

// The suite kills a run at each step of a replacement: with PRESSEL_TEST_REPLACE_STOP=N the
// process stops itself before step N, so that the kill lands there and nowhere else.
void stopBeforeStep(int step)
{
    static const int stopAt = qEnvironmentVariableIntValue("PRESSEL_TEST_REPLACE_STOP");
    if (stopAt == step)
        ::raise(SIGSTOP);
}

// Whether `name` in `folder` is the file `status` describes.
bool isFile(int folder, const QByteArray &name, const struct stat &status)
{
    struct stat found {};
    return ::fstatat(folder, name.constData(), &found, AT_SYMLINK_NOFOLLOW) == 0 && found.st_dev == status.st_dev &&
           found.st_ino == status.st_ino;
}

Failure trashFailure(int error)
{
    return Failure(Failure::trashFailed, {QString::fromLocal8Bit(std::strerror(error))});
}

} // namespace

Expected<Replacement> replaceSource(PrivateFile &output, const SourceFile &source, QUrl outputURL,
                                    const std::function<QUrl()> &retry)
{
    const QFileInfo sourceInfo(source.url().toLocalFile());
    const QString sourcePath = sourceInfo.absoluteFilePath();
    const QByteArray sourceName = QFile::encodeName(sourceInfo.fileName());
    const int folder = output.folderDescriptor();
    struct stat made {};
    if (::fstat(output.descriptor(), &made) != 0)
        return failure(Failure(Failure::outputStatFailed));
    auto trash = Trash::forFolder(folder, sourceInfo.absolutePath());
    if (!trash)
        return failure(trash.error());
    stopBeforeStep(1);
    const auto entry = trash->addInfo(sourcePath);
    if (!entry)
        return failure(entry.error());
    const QByteArray entryName = QFile::encodeName(*entry);
    const int files = trash->filesFolder();
    const QUrl trashed = QUrl::fromLocalFile(trash->path() + QStringLiteral("/files/") + *entry);
    const auto giveUp = [&](const Failure &why) {
        trash->removeInfo(*entry);
        return failure(why);
    };

    if (QFileInfo(outputURL.toLocalFile()).suffix().compare(sourceInfo.suffix(), Qt::CaseInsensitive) == 0) {
        stopBeforeStep(2);
        if (output.publishIn(files, *entry) != PrivateFile::Publication::published)
            return giveUp(trashFailure(errno));
        stopBeforeStep(3);
        if (::renameat2(files, entryName.constData(), folder, sourceName.constData(), RENAME_EXCHANGE) != 0) {
            const int error = errno;
            if (isFile(files, entryName, made))
                ::unlinkat(files, entryName.constData(), 0);
            return giveUp(trashFailure(error));
        }
        // Another file stood at the source's name: it goes back, and the output with it.
        if (!isFile(files, entryName, source.status())) {
            if (::renameat2(files, entryName.constData(), folder, sourceName.constData(), RENAME_EXCHANGE) != 0)
                return failure(Failure(Failure::sourceChanged)); // in the Trash with its info, to be put back
            if (isFile(files, entryName, made))
                ::unlinkat(files, entryName.constData(), 0);
            return giveUp(Failure(Failure::sourceChanged));
        }
        stopBeforeStep(4);
        return Replacement{QUrl::fromLocalFile(sourcePath), trashed};
    }

    stopBeforeStep(2);
    for (bool published = false; !published;) {
        switch (output.publish(QFileInfo(outputURL.toLocalFile()).fileName())) {
        case PrivateFile::Publication::published:
            published = true;
            break;
        case PrivateFile::Publication::nameTaken:
            outputURL = retry();
            break;
        case PrivateFile::Publication::failed:
            return giveUp(Failure(Failure::writeFailed));
        }
    }
    stopBeforeStep(3);
    const QByteArray outputName = QFile::encodeName(QFileInfo(outputURL.toLocalFile()).fileName());
    // The published output is ours to take back while it is the file we made.
    const auto takeBack = [&](const Failure &why) {
        if (isFile(folder, outputName, made))
            ::unlinkat(folder, outputName.constData(), 0);
        return giveUp(why);
    };
    if (::renameat2(folder, sourceName.constData(), files, entryName.constData(), RENAME_NOREPLACE) != 0)
        return takeBack(trashFailure(errno));
    if (!isFile(files, entryName, source.status())) {
        if (::renameat2(files, entryName.constData(), folder, sourceName.constData(), RENAME_NOREPLACE) != 0)
            return failure(Failure(Failure::sourceChanged)); // in the Trash with its info, to be put back
        return takeBack(Failure(Failure::sourceChanged));
    }
    stopBeforeStep(4);
    return Replacement{outputURL, trashed};
}

} // namespace pressel
