// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextElider.h"

#include <QFontMetricsF>
#include <QTextLayout>

namespace pressel {

QString TextElider::elide(const QString &text, const QFont &font, qreal width, int maximumLineCount) const
{
    if (text.isEmpty() || width <= 0 || maximumLineCount < 1)
        return text;

    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);

    int lineCount = 0;
    int lastLineStart = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (++lineCount == maximumLineCount)
            lastLineStart = line.textStart();
        if (lineCount > maximumLineCount)
            break;
    }
    layout.endLayout();
    if (lineCount <= maximumLineCount)
        return text;

    const QFontMetricsF metrics(font);
    return text.left(lastLineStart) + metrics.elidedText(text.mid(lastLineStart), Qt::ElideRight, width);
}

} // namespace pressel
