// SPDX-License-Identifier: GPL-3.0-or-later
#include "MessageTranslation.h"

#include "CompressionMessage.h"

namespace pressel {

QString MessageTranslation::translated(const QString &sourceMessage) const
{
    return CompressionMessage::translated(sourceMessage);
}

} // namespace pressel
