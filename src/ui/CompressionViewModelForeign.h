#pragma once

#include "CompressionViewModel.h"

#include <QQmlEngine>

namespace pressel {

// The batch controller as a QML type; the application makes the one instance.
struct CompressionViewModelForeign {
    Q_GADGET
    QML_FOREIGN(CompressionViewModel)
    QML_NAMED_ELEMENT(CompressionViewModel)
    QML_UNCREATABLE("The application owns the batch controller.")
};

} // namespace pressel
