#pragma once

#include <QMetaType>

// How one file's processing ended; the views choose how to show it.
enum class CompressionResultStatus { success, skipped, failed };
