#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>
#include <vector>

#include "dataset.h"

// A table model over a dataset: one model column per named field, one model row per
// record in the dataset's current order. It holds no values of its own: a cell is
// read from the dataset when a view draws it, so a million records cost nothing here.
class DatasetTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit DatasetTableModel(const QStringList &fields, QObject *parent = nullptr);

    // Follows the dataset's reloads, sorts and edits; nullptr shows no rows.
    void setDataset(Dataset *dataset);
    Dataset *dataset() const { return m_dataset; }
    const QStringList &fields() const { return m_fields; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void resolveFields();

    QStringList m_fields;
    QPointer<Dataset> m_dataset;
    std::vector<int> m_fieldIndex; // dataset field per model column; -1 when absent
    int m_rows = 0;
};
