#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtMessageHandler>

struct LogLine {
    QtMsgType type;
    QString category; // without the bundle identifier: "JPEGCompression", "DockDrop"
    QString message;
    friend bool operator==(const LogLine &, const LogLine &) = default;
};

// Records, from any thread, the lines of the named components ("MozJPEG", "DockDrop"), or of all
// the application's when none are named, while it lives; other lines go on to the handler that
// was there before. One capture at a time.
class LogCapture
{
public:
    explicit LogCapture(const QStringList &components = {});
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QList<LogLine> lines() const;
    // The messages of one component, in order.
    QStringList messages(const QString &component) const;
};

// Log lines as one readable text, for failure messages.
QString describe(const QList<LogLine> &lines);
