// SPDX-License-Identifier: GPL-3.0-or-later
#include "CompressionResultListModel.h"

#include "DisplayFormat.h"
#include "ResultStatus.h"

#include <QFileInfo>

namespace pressel {

int CompressionResultListModel::rowCount(const QModelIndex &parent) const
{
    // A flat list: only the invisible root has children.
    return parent.isValid() ? 0 : count();
}

QVariant CompressionResultListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const CompressionResult &result = m_results.at(index.row());
    // An absent value is an invalid QVariant, which QML reads as undefined.
    switch (role) {
    case IdRole:
        return result.id.toString(QUuid::WithoutBraces);
    case SourceURLRole:
        return result.sourceURL;
    case SourcePathRole:
        return result.sourceURL.toLocalFile();
    case FileNameRole:
        return QFileInfo(result.sourceURL.toLocalFile()).fileName();
    case OutputURLRole:
        return result.outputURL ? QVariant(*result.outputURL) : QVariant();
    case OutputPathRole:
        return result.outputURL ? QVariant(result.outputURL->toLocalFile()) : QVariant();
    case OriginalBytesRole:
        return result.originalBytes;
    case CompressedBytesRole:
        return result.compressedBytes ? QVariant(*result.compressedBytes) : QVariant();
    case StatusRole:
        return ResultStatus::of(result.status);
    case MessageRole:
        return result.failure ? QVariant(result.failure->text()) : QVariant();
    case ConversionRole:
        return result.conversion ? QVariant(result.conversion->text()) : QVariant();
    case LosslessRole:
        return result.lossless;
    case ResizeRole:
        return result.resize ? QVariant(DisplayFormat::pixelResize(result.resize->from, result.resize->to))
                             : QVariant();
    case ChosenQualityRole:
        return result.chosenQuality ? QVariant(*result.chosenQuality) : QVariant();
    case OriginalURLRole:
        return result.trashedSourceURL.value_or(result.sourceURL);
    default:
        return {};
    }
}

QHash<int, QByteArray> CompressionResultListModel::roleNames() const
{
    return {
        {IdRole, "id"},
        {SourceURLRole, "sourceURL"},
        {SourcePathRole, "sourcePath"},
        {FileNameRole, "fileName"},
        {OutputURLRole, "outputURL"},
        {OutputPathRole, "outputPath"},
        {OriginalBytesRole, "originalBytes"},
        {CompressedBytesRole, "compressedBytes"},
        {StatusRole, "status"},
        {MessageRole, "message"},
        {ConversionRole, "conversion"},
        {LosslessRole, "lossless"},
        {ResizeRole, "resize"},
        {ChosenQualityRole, "chosenQuality"},
        {OriginalURLRole, "originalURL"},
    };
}

void CompressionResultListModel::clear()
{
    const int previousCount = count();
    // A reset even of an empty list: every write of the rows is announced.
    beginResetModel();
    m_results.clear();
    endResetModel();
    if (previousCount != count())
        emit countChanged();
}

void CompressionResultListModel::insert(int row, const CompressionResult &result)
{
    beginInsertRows({}, row, row);
    m_results.insert(row, result);
    endInsertRows();
    emit countChanged();
}

} // namespace pressel
