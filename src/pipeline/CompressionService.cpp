// SPDX-License-Identifier: GPL-3.0-or-later
#include "CompressionService.h"

#include "AutoQualitySearch.h"
#include "BatchOrder.h"
#include "EarlierOutputs.h"
#include "ImageCodec.h"
#include "ImageFolderWalk.h"
#include "InProcessEncoding.h"
#include "Logging.h"
#include "MetadataTransfer.h"
#include "OutputFiles.h"
#include "QualitySearch.h"
#include "SourceReplacement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPromise>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <variant>
#include <vector>

#include <unistd.h>

namespace pressel {

// A file of a batch, and the folders between the folder it came from and itself, that a chosen
// output folder repeats: "Trip/day 1" for Trip/day 1/photo.jpg when Trip was given, nothing for
// a file given by itself.
struct BatchFile {
    QUrl url;
    QString subfolder;
};

namespace {

// One entry of a batch once its folders are opened: a file to compress, or a row decided already.
using BatchEntry = std::variant<BatchFile, CompressionResult>;

QList<BatchEntry> openFolders(const QList<QUrl> &urls, const std::function<bool()> &isCancelled)
{
    QList<BatchEntry> entries;
    for (const QUrl &url : urls) {
        const QString path = url.toLocalFile();
        if (!QFileInfo(path).isDir()) {
            entries.append(BatchFile{url, {}});
            continue;
        }
        const ImageFolderWalk walk = ImageFolderWalk::walk(path, ImageFolderWalk::defaultLimit, isCancelled);
        qCInfo(lcCompression).noquote() << QStringLiteral("Folder %1 holds %2 image file(s)%3")
                                               .arg(path, QString::number(walk.files.size()),
                                                    walk.truncated ? QStringLiteral(" and more") : QString());
        if (walk.truncated)
            entries.append(CompressionResult::failed(url, 0, Failure(Failure::folderLimitReached)));
        else if (walk.files.isEmpty())
            entries.append(CompressionResult::failed(url, 0, Failure(Failure::folderWithoutImages)));
        // The given folder's own name is kept too, as copying it would: two folders given
        // together never mix their files.
        const QDir given(QDir::cleanPath(path));
        const QDir above = given.isRoot() ? given : QDir(QFileInfo(given.path()).path());
        for (const QUrl &file : walk.files)
            entries.append(BatchFile{file, above.relativeFilePath(QFileInfo(file.toLocalFile()).path())});
    }
    return entries;
}

// The output format's extension: a PNG named .jpg becomes a .png, a .JPEG stays a .jpeg, an
// HEIC converted to JPEG becomes a -N.jpg beside its source, but the source's own name with .jpg
// when it replaces the source, as long as no other file has that name. The
// name is claimed before it is handed out; another batch of this process may claim a free name
// between the test and the claim, and the next test then passes it by.
QUrl reserveOutputURL(const ImageProfile &profile, const QUrl &folderURL, OutputPlacement placement,
                      std::vector<OutputNameReservation> &held)
{
    for (;;) {
        const bool numbered =
            profile.outputFormat.kind() != profile.format.kind() && placement != OutputPlacement::replaceSource;
        const QUrl outputURL =
            makeUniqueOutputURL(profile.sourceURL, profile.outputFormat.fileExtension(), folderURL, numbered);
        if (auto reservation = OutputNameReservation::reserve(outputURL)) {
            held.push_back(std::move(*reservation));
            return outputURL;
        }
    }
}

// The pixels a file will hold in memory while it is compressed, as far as its header tells.
// A file that does not open takes none; one whose header says nothing counts as the whole
// budget, so that it runs by itself.
qint64 expectedPixelCount(const QUrl &url)
{
    const auto source = ImageSource::create(url);
    if (!source)
        return 0;
    return std::min(source->pixelCountFromHeader().value_or(CompressionService::pixelBudget),
                    CompressionService::pixelBudget);
}

// What the files of one batch share while they run side by side; guarded by `mutex`.
struct BatchState {
    explicit BatchState(const std::vector<BatchOrder::File> &files)
        : order(files)
    {}

    std::mutex mutex;
    std::condition_variable changed;
    BatchOrder order;
    int inHand = 0;
    qint64 pixelsInHand = 0;
    std::map<qsizetype, QUrl> filesInHand;
    qsizetype completed = 0;
    std::vector<std::optional<CompressionResult>> results;
    // Held until the batch ends, so that a name stays taken although its output is deleted
    // again: the names never depend on how many files ran side by side.
    std::vector<OutputNameReservation> reservations;

    void report(const CompressionBatchRequest &request) const
    {
        if (!request.onProgress)
            return;
        const QUrl fileInHand = filesInHand.empty() ? QUrl() : filesInHand.begin()->second;
        request.onProgress({completed, qsizetype(results.size()), fileInHand});
    }
};

} // namespace

CompressionService::CompressionService(ImageFormatDetector formatDetector, EncoderFactory makeEncoders)
    : m_formatDetector(formatDetector)
    , m_makeEncoders(std::move(makeEncoders))
    , m_workerCount(std::max(1, QThread::idealThreadCount()))
    , m_executor(std::make_unique<QThreadPool>())
{
    // One batch at a time, off the caller's thread.
    m_executor->setMaxThreadCount(1);
    m_executor->setExpiryTimeout(-1);
}

CompressionService::~CompressionService()
{
    m_stop.request_stop();
    m_executor->waitForDone();
}

void CompressionService::setWorkerCount(int count)
{
    m_workerCount = std::max(1, count);
}

QFuture<QList<CompressionResult>> CompressionService::compressFiles(const QList<QUrl> &urls,
                                                                    const CompressionSettings &settings)
{
    return compressFiles(CompressionBatchRequest{urls, settings});
}

QFuture<QList<CompressionResult>> CompressionService::compressFiles(CompressionBatchRequest request)
{
    // The future comes from a promise of our own rather than from QtConcurrent::run: a thread
    // that waits on a QtConcurrent future takes a still-queued task and runs it itself, which
    // would run a second batch on the waiting thread beside the first.
    auto promise = std::make_shared<QPromise<QList<CompressionResult>>>();
    QFuture<QList<CompressionResult>> future = promise->future();
    promise->start();
    m_executor->start([this, request = std::move(request), promise] {
        const QList<CompressionResult> results = runBatch(request, [&] { return promise->isCanceled(); });
        promise->addResult(results);
        promise->finish();
    });
    return future;
}

QList<CompressionResult> CompressionService::runBatch(const CompressionBatchRequest &request,
                                                      const std::function<bool()> &isCancelled) const
{
    const auto stopped = [&] {
        return request.stopToken.stop_requested() || m_stop.stop_requested() || (isCancelled && isCancelled());
    };
    const int workers = m_workerCount;
    const EncoderTable encoders = m_makeEncoders(request.settings);
    // Folders are opened before the first file starts, so the outputs the batch writes are never
    // among its files.
    QList<BatchEntry> entries;
    if (m_opensFolders) {
        entries = openFolders(request.urls, stopped);
    } else {
        for (const QUrl &url : request.urls)
            entries.append(BatchFile{url, {}});
    }
    // What Pressel made before, and what it made the same way before, is left as it is.
    EarlierOutputs earlier(request.settings);
    for (BatchEntry &entry : entries) {
        const BatchFile *file = std::get_if<BatchFile>(&entry);
        if (!file)
            continue;
        const QUrl url = file->url;
        switch (earlier.find(url)) {
        case EarlierOutputs::Finding::none:
            break;
        case EarlierOutputs::Finding::earlierOutput:
            entry = CompressionResult::failed(url, readFileSize(url).value_or(0), Failure(Failure::earlierOutput));
            break;
        case EarlierOutputs::Finding::alreadyCompressed:
            entry = CompressionResult::failed(url, readFileSize(url).value_or(0), Failure(Failure::alreadyCompressed));
            break;
        }
    }
    std::vector<BatchOrder::File> files;
    files.reserve(size_t(entries.size()));
    for (const BatchEntry &entry : entries) {
        const BatchFile *file = std::get_if<BatchFile>(&entry);
        files.push_back(file ? BatchOrder::File{BatchOrder::namingGroup(file->url), expectedPixelCount(file->url)}
                             : BatchOrder::File{});
    }
    BatchState state(files);
    state.results.resize(size_t(entries.size()));
    QThreadPool pool;
    pool.setMaxThreadCount(workers);

    // The largest file that may start goes first, and only while there is room: a free worker,
    // and pixels under the budget unless nothing else is in hand.
    for (;;) {
        std::unique_lock lock(state.mutex);
        state.changed.wait(lock, [&] { return state.inHand < workers; });
        if (stopped())
            break;
        const std::optional<qsizetype> next = state.order.next();
        if (!next)
            break;
        const qsizetype index = *next;
        const BatchEntry entry = entries[index];
        const BatchFile *file = std::get_if<BatchFile>(&entry);
        const QUrl url = file ? file->url : std::get<CompressionResult>(entry).sourceURL;
        const qint64 pixels = files[size_t(index)].pixels;
        state.changed.wait(lock, [&] { return state.inHand == 0 || state.pixelsInHand + pixels <= pixelBudget; });
        if (stopped())
            break;
        state.order.markStarted(index);
        ++state.inHand;
        state.pixelsInHand += pixels;
        state.filesInHand.emplace(index, url);
        state.report(request);
        lock.unlock();
        pool.start([this, &state, &request, &encoders, index, entry, url, pixels] {
            // The file waits for its turn to name its output; one that ends before naming
            // passes its turn on all the same.
            bool named = false;
            const auto takeTurn = [&](std::unique_lock<std::mutex> &lock) {
                state.changed.wait(lock, [&] { return state.order.isTurnToName(index); });
            };
            const OutputNamer nameOutput{
                [&](const ImageProfile &profile, const QUrl &folderURL) {
                    std::unique_lock lock(state.mutex);
                    takeTurn(lock);
                    const QUrl outputURL =
                        reserveOutputURL(profile, folderURL, request.settings.outputPlacement, state.reservations);
                    named = true;
                    state.order.passTurn(index);
                    state.changed.notify_all();
                    return outputURL;
                },
                [&](const ImageProfile &profile, const QUrl &folderURL) {
                    const std::unique_lock lock(state.mutex);
                    return reserveOutputURL(profile, folderURL, request.settings.outputPlacement, state.reservations);
                },
            };
            // A row decided when its folder was opened only takes its turn.
            const BatchFile *file = std::get_if<BatchFile>(&entry);
            CompressionResult result =
                file ? compressFile(*file, encoders, request.settings, nameOutput) : std::get<CompressionResult>(entry);

            std::unique_lock lock(state.mutex);
            if (!named) {
                takeTurn(lock);
                state.order.passTurn(index);
            }
            // A file whose tool was ended because the service goes never finished: no row.
            if (!m_stop.stop_requested() || result.status != CompressionResultStatus::failed) {
                if (request.onRow)
                    request.onRow(index, result);
                state.results[size_t(index)] = std::move(result);
            }
            --state.inHand;
            state.pixelsInHand -= pixels;
            state.filesInHand.erase(index);
            ++state.completed;
            state.report(request);
            state.changed.notify_all();
        });
    }
    pool.waitForDone();
    if (request.onUnstarted && stopped()) {
        QList<QUrl> unstarted;
        for (qsizetype index = 0; index < entries.size(); ++index) {
            if (!state.order.hasStarted(index)) {
                const BatchEntry &entry = entries[index];
                const BatchFile *file = std::get_if<BatchFile>(&entry);
                unstarted.append(file ? file->url : std::get<CompressionResult>(entry).sourceURL);
            }
        }
        request.onUnstarted(unstarted);
    }

    // The rows of the files that finished, in their order.
    QList<CompressionResult> results;
    results.reserve(entries.size());
    for (std::optional<CompressionResult> &result : state.results) {
        if (result)
            results.append(std::move(*result));
    }
    return results;
}

CompressionResult CompressionService::compressFile(const QUrl &sourceURL, const CompressionSettings &settings) const
{
    std::vector<OutputNameReservation> held;
    return compressFile(BatchFile{sourceURL, {}}, m_makeEncoders(settings), settings,
                        {[&](const ImageProfile &profile, const QUrl &folderURL) {
                             return reserveOutputURL(profile, folderURL, settings.outputPlacement, held);
                         },
                         [&](const ImageProfile &profile, const QUrl &folderURL) {
                             return reserveOutputURL(profile, folderURL, settings.outputPlacement, held);
                         }});
}

static Expected<void> ensureFolderExists(const QUrl &folderURL)
{
    const QString path = folderURL.toLocalFile();
    if (QFileInfo(path).isDir() || QDir().mkpath(path))
        return {};
    return failure(Failure(Failure::folderCreateFailed, {QDir::toNativeSeparators(path)}));
}

namespace {

// One file's output while it is being made: private until it is complete and wanted.
struct OutputInMaking {
    ImageProfile profile;
    QUrl folderURL;
    QUrl outputURL; // the name it is meant to be published under
    PrivateFile file;
    bool lossless = false; // the source's pixels as stored
    std::optional<PixelResize> resize;
    std::optional<int> chosenQuality; // by the target size or the automatic quality
};

// How a file in hand ends when the service stops: its encoder did not finish, or finished only
// after the stop. The batch drops such rows.
Failure stopped(const ImageProfile &profile)
{
    return Failure(Failure::encodeFailed, {ImageFormat::displayName(profile.outputFormat.kind())});
}

// The picture brought down to the settings' longest side, when it is longer: the pixels the
// encoders then take instead of the source's. Nothing when it is not larger.
Expected<std::optional<PixelResize>> resizeIfLarger(const ImageSource &image, ImageProfile &profile,
                                                    const CompressionSettings &settings)
{
    if (!settings.maximumSide)
        return std::nullopt;
    const std::optional<QSize> size = image.uprightSize();
    if (!size)
        return failure(Failure(Failure::imageDecodeFailed));
    if (std::max(size->width(), size->height()) <= *settings.maximumSide)
        return std::nullopt;
    auto picture = image.createImageAtIndex0(*settings.maximumSide);
    if (!picture)
        return failure(Failure(Failure::imageDecodeFailed));
    if (picture->damaged)
        return failure(Failure(Failure::imageDamaged));
    const PixelResize resize{*size, picture->image.size()};
    profile.picture = std::make_shared<const DecodedImage>(std::move(*picture));
    return resize;
}

// The lowest quality of the output format's panel range whose output looks like the picture
// (AutoQualitySearch), searched on a sample of its tiles; the whole picture is then written once at it.
Expected<int> writeAtAutoQuality(OutputInMaking &output, const QualityScale &scale, const CompressionSettings &settings,
                                 const std::function<Expected<void>(const Encoder &)> &write,
                                 const std::stop_token &stop)
{
    const auto picture = decodedImage(output.profile);
    if (!picture)
        return failure(picture.error());
    // Decoded once: the output's encode takes the same pixels the search measured against.
    output.profile.picture = *picture;
    const CompressionSettings::QualityScale panel = CompressionSettings::qualityScale(settings.outputFormat);
    const auto trial = [&](int quality, const std::shared_ptr<const DecodedImage> &small) -> Expected<QByteArray> {
        // A trial and its measure take a second or more: a stopping service ends the search
        // between them.
        if (stop.stop_requested())
            return failure(stopped(output.profile));
        ImageProfile trialProfile = output.profile;
        trialProfile.picture = small;
        if (const auto written = scale.encoderAt(quality)->compress(trialProfile, output.file, output.outputURL, stop);
            !written)
            return failure(written.error());
        return output.file.readAll();
    };
    const auto choice = AutoQualitySearch::run({panel.minimum, panel.maximum, panel.defaultValue}, **picture,
                                               AutoQualitySearch::defaultDistance, trial);
    if (!choice)
        return failure(choice.error());
    if (const auto written = write(*scale.encoderAt(choice->quality)); !written)
        return failure(written.error());
    qCInfo(lcCompression).noquote() << QStringLiteral("auto quality: %1 (distance %2, %3 encodes) for %4")
                                           .arg(choice->quality)
                                           .arg(choice->distance ? QString::number(*choice->distance, 'f', 2)
                                                                 : QStringLiteral("unknown"))
                                           .arg(choice->trials + 1)
                                           .arg(output.outputURL.toLocalFile());
    return choice->quality;
}

// The whole output as the settings ask for it, metadata included: at the encoder's quality,
// or at the highest quality whose output fits the target size, or at the automatic quality.
// The quality chosen for the file, when one was.
Expected<std::optional<int>> writeOutput(OutputInMaking &output, const Encoder &encoder, const QualityScale *scale,
                                         const CompressionSettings &settings, const std::stop_token &stop)
{
    const auto write = [&](const Encoder &chosen) -> Expected<void> {
        if (const auto written = chosen.compress(output.profile, output.file, output.outputURL, stop); !written)
            return failure(written.error());
        // An AVIF's encoder wrote the metadata as its own items: Exiv2 does not write AVIF.
        if (output.profile.outputFormat.kind() == ImageFormat::Kind::avif)
            return {};
        return transferMetadata(*output.profile.source, output.file, output.outputURL, settings.metadata,
                                chosen.isLossless() && !output.resize);
    };
    // pngquant's quality is a range of colours, not a look: it keeps its own.
    if (!settings.targetKilobytes && settings.autoQuality && scale &&
        output.profile.outputFormat.kind() != ImageFormat::Kind::png) {
        const auto quality = writeAtAutoQuality(output, *scale, settings, write, stop);
        if (!quality)
            return failure(quality.error());
        return std::optional(*quality);
    }
    if (!settings.targetKilobytes || !scale) {
        if (const auto written = write(encoder); !written)
            return failure(written.error());
        return std::nullopt;
    }
    const qint64 budget = qint64(*settings.targetKilobytes) * 1000;
    const auto choice = QualitySearch::run(*scale, budget, output.file, write);
    if (!choice)
        return failure(choice.error());
    if (!*choice)
        return failure(
            Failure(Failure::targetSizeUnreachable, {QStringLiteral("%1 kB").arg(*settings.targetKilobytes)}));
    qCInfo(lcCompression).noquote() << QStringLiteral("Quality %1 fits %2 kB for %3 after %4 encode(s)")
                                           .arg((*choice)->quality)
                                           .arg(*settings.targetKilobytes)
                                           .arg(output.outputURL.toLocalFile())
                                           .arg((*choice)->encodes);
    return std::optional((*choice)->quality);
}

} // namespace

// A private file for the output in its folder: the source's own, or the chosen folder with the
// file's subfolders below it.
static Expected<std::pair<QUrl, PrivateFile>> makeOutputFile(const QUrl &sourceURL, const QString &subfolder,
                                                             const CompressionSettings &settings)
{
    const auto refused = [](const QString &path) {
        // A folder the user may not write to, or a read-only medium, is theirs to change.
        if (errno == EACCES || errno == EROFS || errno == EPERM)
            return failure(Failure(Failure::folderNotWritable, {QDir::toNativeSeparators(path)}));
        return failure(Failure(Failure::destinationCreateFailed));
    };
    if (settings.outputPlacement == OutputPlacement::chosenFolder) {
        const QString path = QDir::cleanPath(QDir(settings.outputFolder).filePath(subfolder));
        const int folder = openOutputFolder(settings.outputFolder, subfolder);
        if (folder < 0)
            return errno == EACCES || errno == EROFS || errno == EPERM
                       ? refused(path)
                       : failure(Failure(Failure::folderCreateFailed, {QDir::toNativeSeparators(path)}));
        auto file = PrivateFile::create(folder);
        const int error = errno;
        ::close(folder);
        errno = error;
        if (!file)
            return refused(path);
        return std::pair{QUrl::fromLocalFile(path), std::move(*file)};
    }
    const QUrl folderURL = QUrl::fromLocalFile(QFileInfo(sourceURL.toLocalFile()).absolutePath());
    if (const auto folder = ensureFolderExists(folderURL); !folder)
        return failure(folder.error());
    auto file = PrivateFile::create(folderURL.toLocalFile());
    if (!file)
        return refused(folderURL.toLocalFile());
    return std::pair{folderURL, std::move(*file)};
}

// One file up to its written private output: inspect it, refuse from its header alone what the
// settings do not compress, resize, make sure the folder exists, name the output and compress
// into a private file, with the source's metadata.
static Expected<OutputInMaking> encode(const ImageFormatDetector &detector, const BatchFile &source,
                                       const EncoderTable &encoders, const CompressionSettings &settings,
                                       const CompressionService::OutputNamer &nameOutput, const std::stop_token &stop)
{
    const QUrl &sourceURL = source.url;
    auto profile = detector.detect(sourceURL);
    if (!profile)
        return failure(profile.error());
    // Replacing a link would put the output in the link's place and the link in the Trash, while
    // the photo it points to, perhaps in another folder, stays as it was.
    if (settings.outputPlacement == OutputPlacement::replaceSource && QFileInfo(sourceURL.toLocalFile()).isSymLink())
        return failure(Failure(Failure::sourceIsLink));
    // A file given twice and replaced at its first turn is an output of ours at its second:
    // compressed again it would lose quality twice. It is left alone like any earlier output.
    if (EarlierOutputs::isMarked(sourceURL))
        return failure(Failure(Failure::earlierOutput));
    // Bytes of no picture container we know (a text file, whatever its name says) cannot be read
    // as an image at all; "couldn't decode" is for pictures that are.
    if (const auto head = ImageSource::fromBytes(profile->source->bytes()); !head || !head->isPicture())
        return failure(Failure(Failure::readFailed));
    const auto encoder = encoders.encoderFor(profile->format);
    if (!encoder)
        return failure(encoder.error());
    profile->outputFormat = encoders.outputFormatFor(profile->format);
    if (const auto read = profile->source->readContents(); !read)
        return failure(read.error());
    const auto image = ImageSource::fromBytes(profile->source->bytes());
    if (image && image->isAnimated())
        return failure(Failure(Failure::animatedImage));
    if (!image || !image->claimsPlausibleSize())
        return failure(Failure(Failure::imageDecodeFailed));
    if (image->hasDamagedStructure())
        return failure(Failure(Failure::imageDamaged));
    const auto resize = resizeIfLarger(*image, *profile, settings);
    if (!resize)
        return failure(resize.error());
    // A resized JPEG has no coefficients of its own left to keep: it is written afresh.
    const Encoder *chosen = *resize ? *encoders.encoderFor(profile->format, true) : *encoder;
    auto file = makeOutputFile(sourceURL, source.subfolder, settings);
    if (!file)
        return failure(file.error());
    OutputInMaking output{std::move(*profile), file->first, {}, std::move(file->second), false, *resize, std::nullopt};
    output.outputURL = nameOutput.first(output.profile, output.folderURL);
    const QualityScale *scale = encoders.qualityScaleFor(output.profile.format, output.resize.has_value());
    const auto written = writeOutput(output, *chosen, scale, settings, stop);
    if (!written)
        return failure(written.error());
    output.chosenQuality = *written;
    // Resized pixels are not the source's, however they are stored.
    output.lossless = chosen->isLossless() && !output.resize;
    return output;
}

// What the settings ask of a written output beyond its contents, while it is still private: its
// permissions, then its modification time, last, since rewriting the file would renew it. The
// not-smaller rule judges the file as it finally stands.
static Expected<qint64> finishOutput(OutputInMaking &output, const CompressionSettings &settings)
{
    const SourceFile &source = *output.profile.source;
    if (!output.file.takePermissionsOf(source.status()))
        return failure(Failure(Failure::writeFailed));
    EarlierOutputs::mark(output.file.descriptor(), source, settings);
    // A date that cannot be kept is not worth the output: the file is still right.
    if (settings.keepModificationDate && !output.file.setModificationTime(source.status().st_mtim))
        qCCritical(lcCompression).noquote()
            << QStringLiteral("Modification time of %1 not kept: %2")
                   .arg(output.outputURL.toLocalFile(), QString::fromLocal8Bit(std::strerror(errno)));
    const qint64 outputBytes = output.file.size();
    if (outputBytes < 0)
        return failure(Failure(Failure::outputStatFailed));
    return outputBytes;
}

// Whether the output decodes whole, as it must before its source is let go.
static bool decodes(const PrivateFile &file)
{
    const auto image = ImageSource::fromBytes(file.readAll());
    const auto decoded = image ? image->createImageAtIndex0() : std::nullopt;
    return decoded && !decoded->damaged;
}

CompressionResult CompressionService::compressFile(const BatchFile &file, const EncoderTable &encoders,
                                                   const CompressionSettings &settings,
                                                   const OutputNamer &nameOutput) const
{
    const QUrl &sourceURL = file.url;
    const qint64 originalBytes = readFileSize(sourceURL).value_or(0);
    auto output = encode(m_formatDetector, file, encoders, settings, nameOutput, m_stop.get_token());
    if (!output)
        return CompressionResult::failed(sourceURL, originalBytes, output.error());
    const qint64 sourceBytes = output->profile.source->size();
    const auto outputBytes = finishOutput(*output, settings);
    if (!outputBytes)
        return CompressionResult::failed(sourceURL, sourceBytes, outputBytes.error());
    // Decided before the output has a name: nothing is ever removed from the source's folder.
    // An output in another format was asked for as such, and a resized one is what was asked
    // for, whatever its size: the source is too large a picture.
    const ImageFormat::Kind sourceKind = output->profile.format.kind();
    const ImageFormat::Kind outputKind = output->profile.outputFormat.kind();
    if (sourceKind == outputKind && !output->resize && *outputBytes >= sourceBytes)
        return CompressionResult::failed(sourceURL, sourceBytes, Failure(Failure::notSmaller));
    if (!output->profile.source->isUnchanged())
        return CompressionResult::failed(sourceURL, sourceBytes, Failure(Failure::sourceChanged));
    // Once the service stops, nothing more appears in the folder: an encoder that cannot be
    // stopped (libavif's) has finished, but its output stays unnamed and goes with the file.
    if (m_stop.stop_requested())
        return CompressionResult::failed(sourceURL, sourceBytes, stopped(output->profile));
    const auto succeeded = [&](const QUrl &outputURL) {
        CompressionResult result =
            CompressionResult::success(sourceURL, sourceBytes, {outputURL, *outputBytes, output->lossless});
        if (sourceKind != outputKind)
            result.conversion = FormatConversion{sourceKind, outputKind};
        result.resize = output->resize;
        result.chosenQuality = output->chosenQuality;
        return result;
    };
    if (settings.outputPlacement == OutputPlacement::replaceSource) {
        if (!decodes(output->file))
            return CompressionResult::failed(sourceURL, sourceBytes, Failure(Failure::outputDecodeFailed));
        const auto replaced = replaceSource(output->file, *output->profile.source, output->outputURL,
                                            [&] { return nameOutput.retry(output->profile, output->folderURL); });
        if (!replaced)
            return CompressionResult::failed(sourceURL, sourceBytes, replaced.error());
        CompressionResult result = succeeded(replaced->outputURL);
        result.trashedSourceURL = replaced->trashedSourceURL;
        return result;
    }
    // Published without replacing anything: a name that another program took meanwhile passes
    // the output on to the next free one.
    QUrl outputURL = output->outputURL;
    for (;;) {
        switch (output->file.publish(QFileInfo(outputURL.toLocalFile()).fileName())) {
        case PrivateFile::Publication::published:
            return succeeded(outputURL);
        case PrivateFile::Publication::nameTaken:
            outputURL = nameOutput.retry(output->profile, output->folderURL);
            continue;
        case PrivateFile::Publication::failed:
            return CompressionResult::failed(sourceURL, sourceBytes, Failure(Failure::writeFailed));
        }
    }
}

} // namespace pressel
