// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextElider.h"

#include <QTextLayout>

namespace pressel {

namespace {

int lineCount(const QString &text, const QFont &font, qreal width, int maximumLineCount)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    int count = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid() && count <= maximumLineCount; line = layout.createLine()) {
        line.setLineWidth(width);
        ++count;
    }
    layout.endLayout();
    return count;
}

} // namespace

QString TextElider::elide(const QString &text, const QFont &font, qreal width, int maximumLineCount) const
{
    if (text.isEmpty() || width <= 0 || maximumLineCount < 1
        || lineCount(text, font, width, maximumLineCount) <= maximumLineCount)
        return text;

    // The most characters that fit around "…", as many from the end as from the start: a path's
    // file name ("-1.jpg") matters as much as its folders.
    const auto cut = [&](qsizetype kept) -> QString {
        return text.left(kept - kept / 2) + u'…' + text.right(kept / 2);
    };
    qsizetype fits = 0, tooMany = text.size();
    while (tooMany - fits > 1) {
        const qsizetype kept = (fits + tooMany) / 2;
        (lineCount(cut(kept), font, width, maximumLineCount) <= maximumLineCount ? fits : tooMany) = kept;
    }
    return cut(fits);
}

} // namespace pressel
