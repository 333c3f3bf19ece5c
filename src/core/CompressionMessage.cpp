// SPDX-License-Identifier: GPL-3.0-or-later
#include "CompressionMessage.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <vector>

namespace pressel {

namespace CompressionMessage {

namespace {

constexpr std::array catalogue{
    readFailed,        imageDecodeFailed, destinationCreateFailed, writeFailed,
    outputStatFailed,  notSmaller,        unsupportedFormat,       heifUnsupported,
    tiffUnsupported,   fileMissing,       folderCreateFailed,      toolStartFailed,
    toolScratchExists, toolRunFailed,     unknownToolError,        cjpegMissing,
    ppmFailed,         ppmNotMade,        pngquantMissing,         pngquantForeignProfile,
};

// A template as a pattern over whole messages: its fixed text literally, each %n a group.
struct Pattern {
    const char *sourceTemplate;
    QRegularExpression expression;
    qsizetype fixedLength;
};

std::vector<Pattern> makePatterns()
{
    static const QRegularExpression placeholder(QStringLiteral("%[1-9]"));
    std::vector<Pattern> patterns;
    for (const char *sourceTemplate : catalogue) {
        const QString source = QString::fromUtf8(sourceTemplate);
        QString expression = QStringLiteral("^");
        qsizetype fixedLength = 0;
        qsizetype at = 0;
        for (auto match = placeholder.globalMatch(source); match.hasNext();) {
            const auto found = match.next();
            expression += QRegularExpression::escape(source.mid(at, found.capturedStart() - at));
            fixedLength += found.capturedStart() - at;
            // The last argument takes the rest (a tool's diagnostic may hold anything).
            expression += match.hasNext() ? QStringLiteral("(.*?)") : QStringLiteral("(.*)");
            at = found.capturedEnd();
        }
        expression += QRegularExpression::escape(source.mid(at)) + u'$';
        fixedLength += source.size() - at;
        patterns.push_back({sourceTemplate,
                            QRegularExpression(expression, QRegularExpression::DotMatchesEverythingOption),
                            fixedLength});
    }
    // The most specific template first: "…启动失败：临时文件已存在：%2" before "…启动失败：%2".
    std::stable_sort(patterns.begin(), patterns.end(),
                     [](const Pattern &a, const Pattern &b) { return a.fixedLength > b.fixedLength; });
    return patterns;
}

QString translatedTemplate(const char *sourceTemplate)
{
    return QCoreApplication::translate(context, sourceTemplate);
}

// An argument is translated only when it is itself one of the fixed texts ("未知错误"): names,
// paths and a tool's own words stay as they are.
QString translatedArgument(const QString &argument)
{
    for (const char *sourceTemplate : catalogue) {
        if (argument == QString::fromUtf8(sourceTemplate))
            return translatedTemplate(sourceTemplate);
    }
    return argument;
}

QString filled(QString text, const QStringList &arguments)
{
    // One pass, so that an argument holding "%2" is never taken for a placeholder.
    switch (arguments.size()) {
    case 0:
        return text;
    case 1:
        return text.arg(arguments.at(0));
    default:
        return text.arg(arguments.at(0), arguments.at(1));
    }
}

} // namespace

QString text(const char *sourceTemplate, const QStringList &arguments)
{
    return filled(QString::fromUtf8(sourceTemplate), arguments);
}

QString translated(const QString &sourceMessage)
{
    static const std::vector<Pattern> patterns = makePatterns();
    for (const Pattern &pattern : patterns) {
        const auto match = pattern.expression.match(sourceMessage);
        if (!match.hasMatch())
            continue;
        QStringList arguments;
        for (int group = 1; group <= match.lastCapturedIndex(); ++group)
            arguments << translatedArgument(match.captured(group));
        return filled(translatedTemplate(pattern.sourceTemplate), arguments);
    }
    return sourceMessage;
}

} // namespace CompressionMessage

} // namespace pressel
