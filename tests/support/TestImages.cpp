#include "TestImages.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>

namespace TestImages {

QImage photo(int width, int height, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double fx = double(x) / width;
            const double fy = double(y) / height;
            const int grain = int(random.bounded(24)) - 12;
            const int r = int(120 + 100 * std::sin(fx * 6.0 + fy * 2.0)) + grain;
            const int g = int(110 + 90 * std::cos(fy * 5.0 - fx)) + grain;
            const int b = int(100 + 80 * std::sin((fx + fy) * 4.0)) + grain;
            line[x] = qRgb(qBound(0, r, 255), qBound(0, g, 255), qBound(0, b, 255));
        }
    }
    return image;
}

QImage transparentGraphic(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(230, 120, 30));
    painter.setPen(QPen(QColor(40, 90, 200), 4));
    painter.drawEllipse(QRectF(width * 0.1, height * 0.1, width * 0.8, height * 0.8));
    painter.end();
    return image;
}

QImage noise(int width, int height, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = 0xff000000u | (random.generate() & 0xffffffu);
    }
    return image;
}

void write(const QImage &image, const QString &path, const char *format, int quality)
{
    QImageWriter writer(path, format);
    if (quality >= 0)
        writer.setQuality(quality);
    if (!writer.write(image))
        QFAIL(qPrintable(QStringLiteral("cannot write %1: %2").arg(path, writer.errorString())));
}

QByteArray sha256(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

QMap<QString, QByteArray> fingerprint(const QString &folder)
{
    QMap<QString, QByteArray> prints;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        prints.insert(path, sha256(path));
    }
    return prints;
}

double meanColourError(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return 255.0;
    const QImage ca = a.convertToFormat(QImage::Format_RGB32);
    const QImage cb = b.convertToFormat(QImage::Format_RGB32);
    double total = 0;
    for (int y = 0; y < ca.height(); ++y) {
        const auto *la = reinterpret_cast<const QRgb *>(ca.constScanLine(y));
        const auto *lb = reinterpret_cast<const QRgb *>(cb.constScanLine(y));
        for (int x = 0; x < ca.width(); ++x) {
            total += std::abs(qRed(la[x]) - qRed(lb[x])) + std::abs(qGreen(la[x]) - qGreen(lb[x]))
                + std::abs(qBlue(la[x]) - qBlue(lb[x]));
        }
    }
    return total / (3.0 * ca.width() * ca.height());
}

} // namespace TestImages
