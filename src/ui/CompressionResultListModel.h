// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CompressionResult.h"

#include <QAbstractListModel>
#include <QList>
#include <QtQml/qqmlregistration.h>

namespace pressel {

// The rows of the window: the results of the batch shown, in file order. Views build only the
// rows they show.
class CompressionResultListModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The batch controller owns its rows.")
    Q_PROPERTY(int count READ count NOTIFY countChanged FINAL)

public:
    enum Role {
        IdRole = Qt::UserRole + 1, // text form of the result's UUID
        SourceURLRole,             // url
        SourcePathRole,            // text
        FileNameRole,              // text: last path component of the source
        OutputURLRole,             // url, or undefined
        OutputPathRole,            // text, or undefined
        OriginalBytesRole,         // number
        CompressedBytesRole,       // number, or undefined when absent
        StatusRole,                // a ResultStatus::Value
        MessageRole,               // text, or undefined when absent
        ConversionRole,            // text such as "HEIC → JPEG", or undefined when the format stayed
        LosslessRole,              // bool: the output holds the source's very pixels
        ResizeRole,                // text "4032×3024 → 1920×1440", or undefined when not resized
        ChosenQualityRole,         // number: the quality chosen for the file, or undefined
        OriginalURLRole,           // url: the source's picture, in the Trash once it was replaced
    };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return int(m_results.size()); }
    const QList<CompressionResult> &results() const { return m_results; }

    // Empties the list; observers are told even when it was empty already.
    void clear();
    void insert(int row, const CompressionResult &result);

signals:
    void countChanged();

private:
    QList<CompressionResult> m_results;
};

} // namespace pressel
