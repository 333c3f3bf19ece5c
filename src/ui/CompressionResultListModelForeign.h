#pragma once

#include "CompressionResultListModel.h"

#include <QQmlEngine>

namespace pressel {

// The rows of the window as a QML type; only the batch controller makes one.
struct CompressionResultListModelForeign {
    Q_GADGET
    QML_FOREIGN(CompressionResultListModel)
    QML_NAMED_ELEMENT(CompressionResultListModel)
    QML_UNCREATABLE("The batch controller owns its rows.")
};

} // namespace pressel
