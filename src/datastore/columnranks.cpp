#include "columnranks.h"

#include "sortorder.h"

#include <QDate>
#include <cmath>
#include <cstdint>

namespace ColumnRanks {

std::vector<int> sortedPositions(std::vector<double> ranks, bool descending)
{
    std::vector<std::uint64_t> keys(ranks.size());
    for (size_t i = 0; i < ranks.size(); ++i)
        keys[i] = descending ? ~SortOrder::orderedBits(ranks[i]) : SortOrder::orderedBits(ranks[i]);
    SortOrder::giveBack(ranks); // before the sort takes its work space
    return SortOrder::stableOrderOf(std::move(keys));
}

int DistinctTexts::idOf(const QVariant &value)
{
    const QString text = value.typeId() == QMetaType::QDate ? value.toDate().toString(Qt::ISODate) : value.toString();
    auto found = m_ids.constFind(text);
    if (found != m_ids.constEnd())
        return found.value();
    const int id = int(m_texts.size());
    m_ids.insert(text, id);
    m_texts << text;
    return id;
}

void DistinctTexts::toRanks(std::vector<double> &values) const
{
    const std::vector<double> rankOf = SortOrder::pinyinRanks(m_texts);
    for (double &value : values) {
        if (!std::isnan(value))
            value = rankOf[size_t(value)];
    }
}

void RankBuilder::add(const QVariant &value)
{
    if (!value.isValid()) {
        m_numbers.push_back(std::nan(""));
        m_textIndex.push_back(-1);
    } else if (m_type == FieldType::Number || m_type == FieldType::Integer
               || value.typeId() == QMetaType::Double || value.typeId() == QMetaType::LongLong) {
        m_numbers.push_back(value.toDouble());
        m_textIndex.push_back(-1);
    } else {
        const QString text = value.typeId() == QMetaType::QDate ? value.toDate().toString(Qt::ISODate)
                                                                 : value.toString();
        auto found = m_distinct.find(text);
        if (found == m_distinct.end())
            found = m_distinct.insert(text, int(m_distinct.size()));
        m_numbers.push_back(0);
        m_textIndex.push_back(found.value());
    }
}

std::vector<double> RankBuilder::ranks()
{
    if (m_distinct.isEmpty())
        return std::move(m_numbers);
    QStringList texts(m_distinct.size());
    for (auto it = m_distinct.cbegin(); it != m_distinct.cend(); ++it)
        texts[it.value()] = it.key();
    const std::vector<double> rankOfText = SortOrder::pinyinRanks(texts);
    for (size_t i = 0; i < m_numbers.size(); ++i) {
        if (m_textIndex[i] >= 0)
            m_numbers[i] = rankOfText[m_textIndex[i]];
    }
    return std::move(m_numbers);
}

} // namespace ColumnRanks
