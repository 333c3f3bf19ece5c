// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionResultStatus.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace pressel {

// How a row's file ended, as the views compare it: ResultStatus.Success, .Skipped, .Failed.
namespace ResultStatus {
Q_NAMESPACE
QML_ELEMENT

enum Value { Success, Skipped, Failed };
Q_ENUM_NS(Value)

constexpr Value of(CompressionResultStatus status)
{
    switch (status) {
    case CompressionResultStatus::success:
        return Success;
    case CompressionResultStatus::skipped:
        return Skipped;
    case CompressionResultStatus::failed:
        break;
    }
    return Failed;
}

} // namespace ResultStatus

} // namespace pressel
