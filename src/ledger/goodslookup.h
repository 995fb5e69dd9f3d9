#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class Connection;

// The goods boxes of a sale, as the entry panel shows them.
struct GoodsDetails
{
    QString category;      // a
    QString goodsName;     // b
    QString model;         // d
    QString unit;          // h
    QString purchasePrice; // 1
    QString salePrice;     // 2

    bool operator==(const GoodsDetails &) const = default;
};

// Finds what a shop sold before, so a scanned code or a chosen name fills a sale's goods
// boxes. Nothing of its own is stored: it reads the latest sale through the look-up
// indexes (Schema::addLookupIndexes).
class GoodsLookup
{
public:
    explicit GoodsLookup(Connection &connection) : m_connection(connection) {}

    // The goods of the latest sale of this code; blanks around it are not part of it.
    std::optional<GoodsDetails> latestByCode(const QString &code) const;
    // The goods of the latest sale of this goods name.
    std::optional<GoodsDetails> latestByName(const QString &name) const;
    // Every goods name sold, once each.
    QStringList soldNames() const;

private:
    std::optional<GoodsDetails> latestBy(const char *field, const QString &value) const;

    Connection &m_connection;
};

// The names offered as an operator types into the goods name box: those that start with
// the typed text, then those whose pinyin initials do ("zq" finds 足球), in pinyin order.
class GoodsNameMatcher
{
public:
    GoodsNameMatcher() = default;
    explicit GoodsNameMatcher(const QStringList &names);

    QStringList matching(const QString &typed) const;
    bool isEmpty() const { return m_names.isEmpty(); }

private:
    QStringList m_names; // pinyin order
    QStringList m_initials;
};
