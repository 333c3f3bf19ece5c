#include "PNGTestSupport.h"

#include "Logging.h"

#include <QDir>
#include <QFile>
#include <QLinearGradient>
#include <QMutex>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <numbers>

namespace PNGTestSupport {

QImage screenshot(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(236, 238, 241));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient titleBar(0, 0, 0, 36);
    titleBar.setColorAt(0, QColor(70, 110, 180));
    titleBar.setColorAt(1, QColor(40, 70, 130));
    painter.fillRect(QRect(0, 0, width, 36), titleBar);
    painter.fillRect(QRect(0, 36, 180, height - 36), QColor(48, 52, 60));

    QFont font = painter.font();
    font.setPixelSize(14);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(12, 0, width - 24, 36), Qt::AlignVCenter, QStringLiteral("Pressel — Downloads"));
    for (int row = 0; row < 12; ++row) {
        painter.setPen(row == 3 ? QColor(255, 200, 80) : QColor(210, 214, 222));
        painter.drawText(QPoint(16, 64 + row * 26), QStringLiteral("Folder %1").arg(row + 1));
    }

    painter.setPen(QColor(30, 30, 30));
    for (int line = 0; line < 14; ++line) {
        painter.drawText(QPoint(200, 64 + line * 22),
                         QStringLiteral("%1  report-%2.pdf   %3 KB   modified today at 10:%4")
                             .arg(line + 1)
                             .arg(line * 7 + 3)
                             .arg(120 + line * 37)
                             .arg(line * 3 + 10));
    }

    const QColor buttonColours[] = {QColor(46, 160, 67), QColor(220, 60, 50), QColor(90, 90, 200)};
    for (int button = 0; button < 3; ++button) {
        const QRect rect(200 + button * 130, height - 60, 110, 34);
        QLinearGradient face(rect.topLeft(), rect.bottomLeft());
        face.setColorAt(0, buttonColours[button].lighter(130));
        face.setColorAt(1, buttonColours[button]);
        painter.setBrush(face);
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(rect, 6, 6);
        painter.setPen(Qt::white);
        painter.drawText(rect, Qt::AlignCenter, QStringLiteral("Button %1").arg(button + 1));
    }
    painter.end();
    return image;
}

QImage grainyGradient(int width, int height, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    const auto grain = [&random] {
        // Box-Muller: film grain is roughly normal, with a deviation of 24 levels here.
        const double u1 = random.generateDouble();
        const double u2 = random.generateDouble();
        return 24.0 * std::sqrt(-2.0 * std::log(1.0 - u1)) * std::cos(2.0 * std::numbers::pi * u2);
    };
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const double fy = double(y) / std::max(1, height - 1);
        for (int x = 0; x < width; ++x) {
            const double fx = double(x) / std::max(1, width - 1);
            const auto channel = [&](double topLeft, double topRight, double bottomLeft, double bottomRight) {
                const double value = topLeft * (1 - fx) * (1 - fy) + topRight * fx * (1 - fy) +
                                     bottomLeft * (1 - fx) * fy + bottomRight * fx * fy;
                return qBound(0, int(std::lround(value + grain())), 255);
            };
            const int r = channel(230, 250, 20, 30);
            const int g = channel(40, 220, 60, 160);
            const int b = channel(30, 40, 220, 60);
            line[x] = qRgb(r, g, b);
        }
    }
    return image;
}

QString buildDir()
{
    return QString::fromLocal8Bit(qgetenv("PRESSEL_BUILD_DIR"));
}

QString bundledPNGQuant()
{
    return buildDir() + QStringLiteral("/libexec/pressel/pngquant");
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
    QDir().mkpath(QFileInfo(path).path());
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
    writeFile(path, QByteArray("#!/bin/sh\n") + body + '\n', true);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

ImageProfile pngProfile(const QString &path)
{
    ImageProfile profile;
    profile.sourceURL = QUrl::fromLocalFile(path);
    profile.format = ImageFormat::png();
    profile.fileSize = QFileInfo(path).size();
    return profile;
}

QStringList fileNames(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

namespace {
QMutex captureMutex;
QList<LogLine> *capturedLines = nullptr;
QtMessageHandler previousHandler = nullptr;
} // namespace

LogCapture::LogCapture()
{
    const QMutexLocker locker(&captureMutex);
    capturedLines = new QList<LogLine>;
    previousHandler = qInstallMessageHandler(&LogCapture::handle);
    m_previous = previousHandler;
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    const QMutexLocker locker(&captureMutex);
    delete capturedLines;
    capturedLines = nullptr;
}

QList<LogLine> LogCapture::lines() const
{
    const QMutexLocker locker(&captureMutex);
    return *capturedLines;
}

void LogCapture::handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QString prefix = QString::fromLatin1(pressel::bundleIdentifier) + u'.';
    const QString category = QString::fromLatin1(context.category ? context.category : "");
    if (category == prefix + u"PNGCompression" || category == prefix + u"PNGQuant") {
        const QMutexLocker locker(&captureMutex);
        if (capturedLines) {
            capturedLines->append({type, category.mid(prefix.size()), message});
            return;
        }
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

QString describe(const QList<LogLine> &lines)
{
    QStringList texts;
    for (const LogLine &line : lines)
        texts.append(QStringLiteral("[%1 %2] %3").arg(line.category).arg(int(line.type)).arg(line.message));
    return texts.join(u'\n');
}

} // namespace PNGTestSupport
