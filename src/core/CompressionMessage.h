// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace pressel {

// The texts of a result's message, in the source language (Chinese). A result keeps its
// message in the source language, so one result reads the same wherever it goes; the view and
// the command line translate it with translated() when they show it. Templates take their
// arguments as %1, %2.
namespace CompressionMessage {

inline constexpr char context[] = "CompressionMessage";

inline constexpr const char *readFailed = QT_TRANSLATE_NOOP("CompressionMessage", "图片读取失败");
inline constexpr const char *imageDecodeFailed = QT_TRANSLATE_NOOP("CompressionMessage", "无法解码图片内容");
inline constexpr const char *destinationCreateFailed = QT_TRANSLATE_NOOP("CompressionMessage", "导出器创建失败");
inline constexpr const char *writeFailed = QT_TRANSLATE_NOOP("CompressionMessage", "文件写入失败");
inline constexpr const char *outputStatFailed = QT_TRANSLATE_NOOP("CompressionMessage", "无法读取输出文件大小");
inline constexpr const char *notSmaller = QT_TRANSLATE_NOOP("CompressionMessage", "压缩后体积未变小，已保留原图");
inline constexpr const char *unsupportedFormat = QT_TRANSLATE_NOOP("CompressionMessage", "当前阶段暂不处理该格式：%1");
inline constexpr const char *heifUnsupported = QT_TRANSLATE_NOOP("CompressionMessage", "当前阶段暂不处理 HEIC / HEIF");
inline constexpr const char *tiffUnsupported = QT_TRANSLATE_NOOP("CompressionMessage", "当前阶段暂不处理 TIFF");
inline constexpr const char *fileMissing = QT_TRANSLATE_NOOP("CompressionMessage", "文件“%1”不存在。");
inline constexpr const char *folderCreateFailed = QT_TRANSLATE_NOOP("CompressionMessage", "无法创建文件夹“%1”。");
// %1 names the tool.
inline constexpr const char *toolStartFailed = QT_TRANSLATE_NOOP("CompressionMessage", "%1 启动失败：%2");
inline constexpr const char *toolScratchExists =
    QT_TRANSLATE_NOOP("CompressionMessage", "%1 启动失败：临时文件已存在：%2");
inline constexpr const char *toolRunFailed = QT_TRANSLATE_NOOP("CompressionMessage", "%1 执行失败：%2");
inline constexpr const char *unknownToolError = QT_TRANSLATE_NOOP("CompressionMessage", "未知错误");
inline constexpr const char *cjpegMissing =
    QT_TRANSLATE_NOOP("CompressionMessage", "未找到 mozjpeg 的 cjpeg，可继续回退到系统 JPEG 压缩");
inline constexpr const char *ppmFailed = QT_TRANSLATE_NOOP("CompressionMessage", "mozjpeg 输入预处理失败：%1");
inline constexpr const char *ppmNotMade =
    QT_TRANSLATE_NOOP("CompressionMessage", "mozjpeg 输入预处理失败：无法生成 PPM");
inline constexpr const char *pngquantMissing =
    QT_TRANSLATE_NOOP("CompressionMessage", "未找到 pngquant，可继续回退到系统 PNG 压缩");
inline constexpr const char *pngquantForeignProfile =
    QT_TRANSLATE_NOOP("CompressionMessage", "pngquant 不转换色彩配置文件：图片带有非 sRGB 的 ICC 配置文件");
inline constexpr const char *sourceChanged = QT_TRANSLATE_NOOP("CompressionMessage", "原图在压缩期间被改动，未保存输出");
inline constexpr const char *folderWithoutImages = QT_TRANSLATE_NOOP("CompressionMessage", "文件夹中没有可压缩的图片");
inline constexpr const char *folderLimitReached =
    QT_TRANSLATE_NOOP("CompressionMessage", "文件夹中的图片超过 10000 张，只处理了前 10000 张");

// The source-language text of a template, its %1, %2 filled in.
QString text(const char *sourceTemplate, const QStringList &arguments = {});

// The message in the application's language: the source message itself when no translation
// is installed or the message is none of the texts above (a tool's own diagnostic, say).
QString translated(const QString &sourceMessage);

} // namespace CompressionMessage

} // namespace pressel
