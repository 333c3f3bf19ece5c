#pragma once

#include <QMetaType>

namespace pressel {

// How one file's processing ended; the views choose how to show it.
enum class CompressionResultStatus { success, skipped, failed };

} // namespace pressel
