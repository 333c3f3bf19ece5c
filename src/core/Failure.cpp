// SPDX-License-Identifier: GPL-3.0-or-later
#include "Failure.h"

#include <QCoreApplication>

namespace pressel {

namespace {

struct ReasonRow {
    Failure::Reason reason;
    const char *name;
    const char *sourceTemplate; // %1, %2: the arguments
    CompressionResultStatus status;
};

using S = CompressionResultStatus;

// Every reason, its name and its words: adding a reason is a row here.
constexpr ReasonRow reasons[] = {
    {Failure::readFailed, "readFailed", QT_TRANSLATE_NOOP("Failure", "图片读取失败"), S::failed},
    {Failure::imageDecodeFailed, "imageDecodeFailed", QT_TRANSLATE_NOOP("Failure", "无法解码图片内容"), S::failed},
    {Failure::destinationCreateFailed, "destinationCreateFailed", QT_TRANSLATE_NOOP("Failure", "导出器创建失败"),
     S::failed},
    {Failure::writeFailed, "writeFailed", QT_TRANSLATE_NOOP("Failure", "文件写入失败"), S::failed},
    {Failure::outputStatFailed, "outputStatFailed", QT_TRANSLATE_NOOP("Failure", "无法读取输出文件大小"), S::failed},
    {Failure::notSmaller, "notSmaller", QT_TRANSLATE_NOOP("Failure", "压缩后体积未变小，已保留原图"), S::skipped},
    {Failure::unsupportedFormat, "unsupportedFormat", QT_TRANSLATE_NOOP("Failure", "当前阶段暂不处理该格式：%1"),
     S::skipped},
    {Failure::heifUnsupported, "heifUnsupported", QT_TRANSLATE_NOOP("Failure", "当前阶段暂不处理 HEIC / HEIF"),
     S::skipped},
    {Failure::tiffUnsupported, "tiffUnsupported", QT_TRANSLATE_NOOP("Failure", "当前阶段暂不处理 TIFF"), S::skipped},
    {Failure::fileMissing, "fileMissing", QT_TRANSLATE_NOOP("Failure", "文件“%1”不存在。"), S::failed},
    {Failure::folderCreateFailed, "folderCreateFailed", QT_TRANSLATE_NOOP("Failure", "无法创建文件夹“%1”。"),
     S::failed},
    {Failure::toolStartFailed, "toolStartFailed", QT_TRANSLATE_NOOP("Failure", "%1 启动失败：%2"), S::failed},
    {Failure::toolRunFailed, "toolRunFailed", QT_TRANSLATE_NOOP("Failure", "%1 执行失败：%2"), S::failed},
    {Failure::cjpegMissing, "cjpegMissing",
     QT_TRANSLATE_NOOP("Failure", "未找到 mozjpeg 的 cjpeg，可继续回退到系统 JPEG 压缩"), S::skipped},
    {Failure::pngquantMissing, "pngquantMissing",
     QT_TRANSLATE_NOOP("Failure", "未找到 pngquant，可继续回退到系统 PNG 压缩"), S::skipped},
    {Failure::ppmFailed, "ppmFailed", QT_TRANSLATE_NOOP("Failure", "mozjpeg 输入预处理失败：%1"), S::failed},
    {Failure::ppmNotMade, "ppmNotMade", QT_TRANSLATE_NOOP("Failure", "mozjpeg 输入预处理失败：无法生成 PPM"),
     S::failed},
    {Failure::pngquantForeignProfile, "pngquantForeignProfile",
     QT_TRANSLATE_NOOP("Failure", "pngquant 不转换色彩配置文件：图片带有非 sRGB 的 ICC 配置文件"), S::failed},
    {Failure::folderWithoutImages, "folderWithoutImages", QT_TRANSLATE_NOOP("Failure", "文件夹中没有可压缩的图片"),
     S::failed},
    {Failure::folderLimitReached, "folderLimitReached",
     QT_TRANSLATE_NOOP("Failure", "文件夹中的图片超过 10000 张，只处理了前 10000 张"), S::failed},
    {Failure::sourceChanged, "sourceChanged", QT_TRANSLATE_NOOP("Failure", "原图在压缩期间被改动，未保存输出"),
     S::failed},
    {Failure::imageDamaged, "imageDamaged", QT_TRANSLATE_NOOP("Failure", "图片已损坏（数据不完整）"), S::failed},
    {Failure::emptyFile, "emptyFile", QT_TRANSLATE_NOOP("Failure", "文件是空的"), S::failed},
    {Failure::isFolder, "isFolder",
     QT_TRANSLATE_NOOP("Failure", "这是一个文件夹：用 -r 压缩其中的图片，或在窗口中打开"), S::failed},
    {Failure::folderNotWritable, "folderNotWritable", QT_TRANSLATE_NOOP("Failure", "无法写入文件夹“%1”"), S::failed},
    {Failure::earlierOutput, "earlierOutput", QT_TRANSLATE_NOOP("Failure", "这是 Pressel 之前的输出"), S::skipped},
    {Failure::alreadyCompressed, "alreadyCompressed", QT_TRANSLATE_NOOP("Failure", "已用相同设置压缩过"),
     S::skipped},
    {Failure::encodeFailed, "encodeFailed", QT_TRANSLATE_NOOP("Failure", "无法编码为 %1"), S::failed},
    {Failure::animatedImage, "animatedImage", QT_TRANSLATE_NOOP("Failure", "这是动画图片，不做转换"),
     S::failed},
    // Lossless JPEG has no in-process encoder behind it: nothing else may write the file.
    {Failure::jpegtranMissing, "jpegtranMissing",
     QT_TRANSLATE_NOOP("Failure", "未找到 mozjpeg 的 jpegtran，无法做无损压缩"), S::failed},
    {Failure::trashFailed, "trashFailed", QT_TRANSLATE_NOOP("Failure", "回收站无法接收原图，原图未改动：%1"), S::failed},
    {Failure::outputDecodeFailed, "outputDecodeFailed",
     QT_TRANSLATE_NOOP("Failure", "输出无法解码，原图未改动"), S::failed},
    {Failure::targetSizeUnreachable, "targetSizeUnreachable",
     QT_TRANSLATE_NOOP("Failure", "最低质量也超过目标大小 %1，未保存输出"), S::failed},
    {Failure::sourceIsLink, "sourceIsLink", QT_TRANSLATE_NOOP("Failure", "原图是符号链接，不做替换；它指向的文件未改动"),
     S::failed},
};

// A tool that said nothing usable.
constexpr const char *unknownToolError = QT_TRANSLATE_NOOP("Failure", "未知错误");

const ReasonRow &rowOf(Failure::Reason reason)
{
    static_assert(std::size(reasons) == Failure::sourceIsLink + 1, "a row for every reason");
    Q_ASSERT(reasons[reason].reason == reason);
    return reasons[reason];
}

// One pass, so that an argument holding "%2" (a tool's words may) is never taken for a placeholder.
QString filled(const QString &text, const QStringList &arguments)
{
    switch (arguments.size()) {
    case 0:
        return text;
    case 1:
        return text.arg(arguments.at(0));
    default:
        return text.arg(arguments.at(0), arguments.at(1));
    }
}

QString words(const Failure &failure, QString (*language)(const char *))
{
    QStringList arguments = failure.arguments();
    if (failure.reason() == Failure::toolRunFailed && arguments.value(1).isEmpty())
        arguments = QStringList{arguments.value(0), language(unknownToolError)};
    return filled(language(rowOf(failure.reason()).sourceTemplate), arguments);
}

QString source(const char *text)
{
    return QString::fromUtf8(text);
}

QString translated(const char *text)
{
    return QCoreApplication::translate("Failure", text);
}

} // namespace

QString Failure::reasonName() const
{
    return QString::fromLatin1(rowOf(m_reason).name);
}

CompressionResultStatus Failure::status() const
{
    return rowOf(m_reason).status;
}

QString Failure::sourceText() const
{
    return words(*this, source);
}

QString Failure::text() const
{
    return words(*this, translated);
}

} // namespace pressel
