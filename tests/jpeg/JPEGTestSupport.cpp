#include "JPEGTestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QMutex>
#include <QMutexLocker>
#include <QTest>

namespace JPEGTestSupport {

QString buildDir()
{
    return qEnvironmentVariable("PRESSEL_BUILD_DIR");
}

QString bundledCJPEG()
{
    return buildDir() + QStringLiteral("/libexec/pressel/cjpeg");
}

QString presselCLI()
{
    return buildDir() + QStringLiteral("/bin/pressel-cli");
}

QString executablesFolder(const QString &root)
{
    return root + QStringLiteral("/libexec/pressel");
}

QString resourcesFolder(const QString &root)
{
    return root + QStringLiteral("/share/pressel");
}

ApplicationBundle bundleAt(const QString &root)
{
    QDir().mkpath(executablesFolder(root));
    QDir().mkpath(resourcesFolder(root));
    return ApplicationBundle(executablesFolder(root), resourcesFolder(root));
}

void writeFile(const QString &path, const QByteArray &bytes, bool executable)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        QFAIL(qPrintable(QStringLiteral("cannot write %1").arg(path)));
    file.write(bytes);
    file.close();
    QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    if (executable)
        permissions |= QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    file.setPermissions(permissions);
}

void writeScript(const QString &path, const QByteArray &body)
{
    writeFile(path, "#!/bin/sh\n" + body + '\n', true);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QByteArray shellQuoted(const QString &path)
{
    return '\'' + path.toUtf8() + '\'';
}

ImageProfile jpegProfile(const QString &path)
{
    ImageProfile profile;
    profile.sourceURL = QUrl::fromLocalFile(path);
    profile.format = ImageFormat::jpeg(QStringLiteral("jpg"));
    profile.fileSize = QFileInfo(path).size();
    return profile;
}

QByteArray jpegWithOrientation(const QImage &image, int orientation, int quality)
{
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.write(image);

    // APP1 "Exif": a big-endian TIFF header and one IFD with the single entry 0x0112
    // (orientation, SHORT, count 1).
    QByteArray tiff("MM\0\x2A\0\0\0\x08", 8);
    tiff += QByteArray("\0\x01", 2);
    tiff += QByteArray("\x01\x12\0\x03\0\0\0\x01", 8);
    tiff += char(0);
    tiff += char(orientation);
    tiff += QByteArray(2, '\0');
    tiff += QByteArray(4, '\0');
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(payload.size()) + 2;
    QByteArray segment("\xFF\xE1", 2);
    segment += char(length >> 8);
    segment += char(length & 0xFF);
    segment += payload;
    return encoded.left(2) + segment + encoded.mid(2);
}

QStringList entryNames(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

TemporaryFolderOverride::TemporaryFolderOverride(const QString &folder)
    : m_previous(qgetenv("TMPDIR"))
    , m_wasSet(qEnvironmentVariableIsSet("TMPDIR"))
{
    qputenv("TMPDIR", QFile::encodeName(folder));
}

TemporaryFolderOverride::~TemporaryFolderOverride()
{
    if (m_wasSet)
        qputenv("TMPDIR", m_previous);
    else
        qunsetenv("TMPDIR");
}

namespace {

QMutex captureMutex;
QList<LogLine> *capturedLines = nullptr;
QtMessageHandler previousHandler = nullptr;

} // namespace

LogCapture::LogCapture()
{
    QMutexLocker locker(&captureMutex);
    capturedLines = new QList<LogLine>;
    m_previous = qInstallMessageHandler(&LogCapture::handle);
    previousHandler = m_previous;
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    QMutexLocker locker(&captureMutex);
    delete capturedLines;
    capturedLines = nullptr;
}

QList<LogLine> LogCapture::lines() const
{
    QMutexLocker locker(&captureMutex);
    return capturedLines ? *capturedLines : QList<LogLine>{};
}

void LogCapture::handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QString category = QString::fromUtf8(context.category ? context.category : "");
    const QString prefix = QStringLiteral("com.korvane.Pressel.");
    const QString component = category.startsWith(prefix) ? category.mid(prefix.size()) : QString();
    if (component == u"JPEGCompression" || component == u"MozJPEG") {
        QMutexLocker locker(&captureMutex);
        if (capturedLines) {
            capturedLines->append({type, component, message});
            return;
        }
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

QString describe(const QList<LogLine> &lines)
{
    QStringList text;
    for (const LogLine &line : lines)
        text.append(QStringLiteral("[%1 %2] %3").arg(QString::number(int(line.type)), line.category, line.message));
    return text.join(u'\n');
}

} // namespace JPEGTestSupport
