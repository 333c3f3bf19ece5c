// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThunarAction.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace pressel {

namespace {

const QString rootName = QStringLiteral("actions");

// The action as Thunar writes its own: one element a line, indented by a tab.
QString actionElement()
{
    QString text;
    QXmlStreamWriter writer(&text);
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(-1);
    writer.writeStartElement(QStringLiteral("action"));
    writer.writeTextElement(QStringLiteral("icon"), QStringLiteral("pressel"));
    writer.writeTextElement(QStringLiteral("name"), QCoreApplication::translate("ThunarAction", "使用 Pressel 压缩"));
    writer.writeTextElement(QStringLiteral("submenu"), QString());
    writer.writeTextElement(QStringLiteral("unique-id"), QString::fromLatin1(ThunarAction::uniqueId));
    writer.writeTextElement(QStringLiteral("command"), QStringLiteral("pressel %F"));
    writer.writeTextElement(QStringLiteral("description"), QString());
    writer.writeTextElement(QStringLiteral("range"), QString());
    writer.writeTextElement(QStringLiteral("patterns"), QStringLiteral("*"));
    writer.writeEmptyElement(QStringLiteral("image-files"));
    writer.writeEmptyElement(QStringLiteral("directories"));
    writer.writeEndElement();
    // The writer opens with a line break of its own.
    return text.trimmed() + u'\n';
}

} // namespace

QString ThunarAction::configurationFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Thunar/uca.xml");
}

ThunarAction::Outcome ThunarAction::refuse(const QString &reason)
{
    m_lastError = reason;
    return Refused;
}

ThunarAction::Outcome ThunarAction::add()
{
    m_lastError.clear();
    const QString path = configurationFile();
    const QFileInfo info(path);
    if (info.isSymLink())
        return refuse(tr("%1 是符号链接，未作改动").arg(path));

    // The new text is the old one with the action spliced in before the root's end tag, so
    // every other byte stays where it was.
    QString text;
    qsizetype insertAt = -1;
    QByteArray bytes;
    if (info.exists()) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return refuse(tr("无法读取 %1：%2").arg(path, file.errorString()));
        bytes = file.readAll();
    }
    // An empty file holds no actions to keep.
    if (!bytes.trimmed().isEmpty()) {
        text = QString::fromUtf8(bytes);
        if (text.toUtf8() != bytes)
            return refuse(tr("%1 不是 UTF-8 文本，未作改动").arg(path));
        QXmlStreamReader reader(text);
        int depth = 0;
        while (!reader.atEnd()) {
            reader.readNext();
            if (reader.isStartElement()) {
                if (depth == 0 && reader.qualifiedName() != rootName)
                    return refuse(tr("%1 不是 Thunar 的自定义动作文件，未作改动").arg(path));
                // Read whole, so it opens no level.
                if (reader.qualifiedName() == u"unique-id") {
                    if (reader.readElementText() == QLatin1StringView(uniqueId))
                        return AlreadyThere;
                    continue;
                }
                ++depth;
            } else if (reader.isEndElement() && --depth == 0) {
                // characterOffset() stands just past the root's end tag, or past its "/>".
                const qsizetype end = qsizetype(reader.characterOffset());
                insertAt = text.lastIndexOf(u'<', end - 1);
                if (text.sliced(insertAt, end - insertAt).endsWith(QStringLiteral("/>"))) {
                    text.replace(insertAt, end - insertAt, QStringLiteral("<actions>\n</actions>"));
                    insertAt += rootName.size() + 3;
                }
            }
        }
        if (reader.hasError())
            return refuse(tr("%1 不是有效的 XML，未作改动").arg(path));
        if (insertAt < 0)
            return refuse(tr("%1 不是有效的 XML，未作改动").arg(path));
    } else {
        text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n");
        insertAt = text.indexOf(QStringLiteral("</actions>"));
    }
    text.insert(insertAt, actionElement());

    if (!QDir().mkpath(info.absolutePath()))
        return refuse(tr("无法创建文件夹 %1").arg(info.absolutePath()));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        return refuse(tr("无法写入 %1：%2").arg(path, file.errorString()));
    return Added;
}

} // namespace pressel
