#include "LogCapture.h"

#include "Logging.h"

#include <QMutex>

using namespace pressel;

using namespace Qt::StringLiterals;

namespace {

QMutex captureMutex;
QList<LogLine> capturedLines;
QStringList capturedComponents;
QtMessageHandler previousHandler = nullptr;

void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QString prefix = QString::fromLatin1(pressel::bundleIdentifier) + u'.';
    const QString category = QString::fromUtf8(context.category ? context.category : "");
    const QString component = category.startsWith(prefix) ? category.mid(prefix.size()) : QString();
    {
        const QMutexLocker locker(&captureMutex);
        if (!component.isEmpty() && (capturedComponents.isEmpty() || capturedComponents.contains(component))) {
            capturedLines.append({type, component, message});
            return;
        }
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

LogCapture::LogCapture(const QStringList &components)
{
    const QMutexLocker locker(&captureMutex);
    capturedLines.clear();
    capturedComponents = components;
    previousHandler = qInstallMessageHandler(handle);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previousHandler);
    const QMutexLocker locker(&captureMutex);
    capturedLines.clear();
}

QList<LogLine> LogCapture::lines() const
{
    const QMutexLocker locker(&captureMutex);
    return capturedLines;
}

QStringList LogCapture::messages(const QString &component) const
{
    QStringList messages;
    for (const LogLine &line : lines()) {
        if (line.category == component)
            messages.append(line.message);
    }
    return messages;
}

QString describe(const QList<LogLine> &lines)
{
    QStringList text;
    for (const LogLine &line : lines)
        text.append(u"[%1 %2] %3"_s.arg(QString::number(int(line.type)), line.category, line.message));
    return text.join(u'\n');
}
