#include "MessageTranslation.h"

#include "CompressionMessage.h"

QString MessageTranslation::translated(const QString &sourceMessage) const
{
    return CompressionMessage::translated(sourceMessage);
}
