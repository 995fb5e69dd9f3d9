#include "datasettablemodel.h"

#include "apperror.h"
#include "dataset.h"

DatasetTableModel::DatasetTableModel(const QStringList &fields, QObject *parent)
    : QAbstractTableModel(parent), m_fields(fields), m_fieldIndex(fields.size(), -1)
{
}

void DatasetTableModel::setDataset(Dataset *dataset)
{
    if (m_dataset)
        disconnect(m_dataset, nullptr, this, nullptr);
    beginResetModel();
    m_dataset = dataset;
    resolveFields();
    endResetModel();
    if (!dataset)
        return;
    // The dataset reports a change once it has happened; the row count the model
    // reports is kept apart, so views see a consistent count between begin and end.
    connect(dataset, &Dataset::reset, this, [this] {
        beginResetModel();
        resolveFields();
        endResetModel();
    });
    connect(dataset, &Dataset::rowRemoved, this, [this](int row) {
        beginRemoveRows({}, row, row);
        m_rows = m_dataset->isOpen() ? m_dataset->recordCount() : 0;
        endRemoveRows();
    });
    connect(dataset, &Dataset::rowAppended, this, [this](int row) {
        beginInsertRows({}, row, row);
        m_rows = m_dataset->recordCount();
        endInsertRows();
    });
    connect(dataset, &Dataset::rowChanged, this,
            [this](int row) { emit dataChanged(index(row, 0), index(row, columnCount() - 1)); });
    connect(dataset, &QObject::destroyed, this, [this] {
        beginResetModel();
        m_rows = 0;
        endResetModel();
    });
}

void DatasetTableModel::resolveFields()
{
    const bool open = m_dataset && m_dataset->isOpen();
    m_rows = open ? m_dataset->recordCount() : 0;
    for (int i = 0; i < m_fields.size(); ++i)
        m_fieldIndex[i] = open ? m_dataset->fieldIndex(m_fields[i]) : -1;
}

int DatasetTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int DatasetTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_fields.size());
}

QVariant DatasetTableModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || !m_dataset || !m_dataset->isOpen())
        return {};
    const int field = m_fieldIndex[index.column()];
    if (field < 0 || index.row() >= m_dataset->recordCount())
        return {};
    // Cells are read while the grid paints, where an error must not escape: a row that
    // cannot be read now (a lost server connection) shows blank until the next
    // command, which reports the fault or connects again.
    try {
        return m_dataset->displayTextAt(index.row(), field);
    } catch (const DatabaseError &) {
        return {};
    }
}

QVariant DatasetTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section >= 0 && section < m_fields.size())
        return m_fields[section];
    return {};
}
