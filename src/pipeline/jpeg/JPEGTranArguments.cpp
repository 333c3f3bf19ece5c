// SPDX-License-Identifier: GPL-3.0-or-later
#include "JPEGTranArguments.h"

namespace pressel {

namespace {

struct Turn {
    QStringList arguments;
    bool movesRightEdge;  // the partial blocks on the right edge would have to move
    bool movesBottomEdge; // the partial blocks on the bottom edge would have to move
};

// The transformation that shows a picture stored with EXIF orientation 2-8 upright, and the
// edges whose partial blocks it moves (libjpeg's transupp: jtransform_perfect_transform).
Turn uprightTurn(int orientation)
{
    const auto turn = [](std::initializer_list<QString> arguments, bool right, bool bottom) {
        return Turn{QStringList(arguments), right, bottom};
    };
    switch (orientation) {
    case 2:
        return turn({QStringLiteral("-flip"), QStringLiteral("horizontal")}, true, false);
    case 3:
        return turn({QStringLiteral("-rotate"), QStringLiteral("180")}, true, true);
    case 4:
        return turn({QStringLiteral("-flip"), QStringLiteral("vertical")}, false, true);
    case 5:
        return turn({QStringLiteral("-transpose")}, false, false);
    case 6:
        return turn({QStringLiteral("-rotate"), QStringLiteral("90")}, false, true);
    case 7:
        return turn({QStringLiteral("-transverse")}, true, true);
    case 8:
        return turn({QStringLiteral("-rotate"), QStringLiteral("270")}, true, false);
    default:
        return turn({}, false, false);
    }
}

} // namespace

JPEGTranArguments jpegtranArguments(MetadataPolicy policy, const JPEGFrame &frame)
{
    JPEGTranArguments result;
    result.arguments = {QStringLiteral("-copy"), QStringLiteral("all"), QStringLiteral("-optimize"),
                        QStringLiteral("-progressive")};
    const int orientation = frame.orientation >= 1 && frame.orientation <= 8 ? frame.orientation : 1;
    result.remainingOrientation = orientation;
    if (policy != MetadataPolicy::strip || orientation == 1)
        return result;
    const Turn turn = uprightTurn(orientation);
    const bool partialRight = frame.mcuSize.width() <= 0 || frame.size.width() % frame.mcuSize.width() != 0;
    const bool partialBottom = frame.mcuSize.height() <= 0 || frame.size.height() % frame.mcuSize.height() != 0;
    if ((turn.movesRightEdge && partialRight) || (turn.movesBottomEdge && partialBottom))
        return result;
    result.arguments << QStringLiteral("-perfect") << turn.arguments;
    result.remainingOrientation = 1;
    return result;
}

} // namespace pressel
