#include "customerdebtsmodel.h"

#include "datetext.h"

#include <QCollator>
#include <algorithm>

namespace {

const char *const kFields[] = {"name", "mobile", "owed", "sales", "oldest", "newest"};

} // namespace

CustomerDebtsModel::CustomerDebtsModel(QObject *parent) : QAbstractTableModel(parent)
{
}

QList<GridColumn> CustomerDebtsModel::columns()
{
    struct Design
    {
        const char *title;
        int width;
    };
    static const Design designs[] = {{"客户名称", 110}, {"手 机", 100},        {"欠款金额", 80},
                                     {"欠款笔数", 64},  {"最早欠款日期", 90}, {"最近欠款日期", 90}};
    const QColor teal(0x00, 0x80, 0x80);
    QList<GridColumn> result;
    for (int column = 0; column < ColumnCount; ++column) {
        GridColumn gridColumn;
        gridColumn.field = QString::fromLatin1(kFields[column]);
        gridColumn.title = QString::fromUtf8(designs[column].title);
        gridColumn.defaultWidth = designs[column].width;
        result << gridColumn;
    }
    result[Owed].footerBackground = teal;
    result[Owed].footerColor = Qt::white;
    result[Name].footerBackground = teal;
    result[Name].footerColor = Qt::white;
    return result;
}

void CustomerDebtsModel::setDebts(QList<CustomerDebt> debts)
{
    beginResetModel();
    m_debts = std::move(debts);
    refilter();
    endResetModel();
}

void CustomerDebtsModel::setSearch(const QString &search)
{
    if (search == m_search)
        return;
    beginResetModel();
    m_search = search;
    refilter();
    endResetModel();
}

void CustomerDebtsModel::refilter()
{
    m_shown.clear();
    m_shown.reserve(m_debts.size());
    for (int i = 0; i < m_debts.size(); ++i) {
        if (CustomerDebts::matches(m_debts[i], m_search))
            m_shown.push_back(i);
    }
}

void CustomerDebtsModel::sortBy(Column column, bool descending)
{
    // Texts in Chinese pinyin order, as the ledger sorts them: each text's collation key
    // is made once, not once per comparison.
    std::vector<QCollatorSortKey> keys;
    if (column == Name || column == Mobile) {
        QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
        keys.reserve(m_debts.size());
        for (const CustomerDebt &debt : m_debts)
            keys.push_back(collator.sortKey(column == Name ? debt.listName() : debt.customer.mobile));
    }
    auto less = [&](int a, int b) {
        const CustomerDebt &x = m_debts[a];
        const CustomerDebt &y = m_debts[b];
        switch (column) {
        case Owed:
            return x.owedUnits < y.owedUnits;
        case Sales:
            return x.sales < y.sales;
        case Oldest:
            return x.oldest < y.oldest;
        case Newest:
            return x.newest < y.newest;
        default:
            return keys[a].compare(keys[b]) < 0;
        }
    };
    std::vector<int> order(m_debts.size());
    for (int i = 0; i < int(order.size()); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return descending ? less(b, a) : less(a, b); });
    QList<CustomerDebt> sorted;
    sorted.reserve(m_debts.size());
    for (int index : order)
        sorted.append(m_debts[index]);
    beginResetModel();
    m_debts = std::move(sorted);
    refilter();
    endResetModel();
}

CustomerDebts::Units CustomerDebtsModel::shownTotalUnits() const
{
    CustomerDebts::Units total = 0;
    for (int index : m_shown)
        total += m_debts.at(index).owedUnits;
    return total;
}

QString CustomerDebtsModel::text(const CustomerDebt &debt, int column)
{
    switch (column) {
    case Name:
        return debt.listName();
    case Mobile:
        return debt.customer.mobile;
    case Owed:
        return debt.owedText();
    case Sales:
        return QString::number(debt.sales);
    case Oldest:
        return DateText::date(debt.oldest);
    case Newest:
        return DateText::date(debt.newest);
    default:
        return {};
    }
}

int CustomerDebtsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : shownCount();
}

int CustomerDebtsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CustomerDebtsModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= shownCount())
        return {};
    return text(shownAt(index.row()), index.column());
}

QVariant CustomerDebtsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section >= 0 && section < ColumnCount)
        return QString::fromLatin1(kFields[section]);
    return {};
}
