#include "datagrid.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

constexpr int kMinimumColumnWidth = 4;
constexpr int kIndicatorWidth = 12;
// Room kept free at each side of a cell's text, and for a title's sort marker.
constexpr int kTextPadding = 2;
constexpr int kMarkerRoom = 12;

// A text that does not fit its width is cut where its alignment pushes it out: a
// right-aligned value loses its start, any other its end. The ellipsis stands where
// characters are missing, so a cut number never reads as another number.
QString fittedText(const QFontMetrics &metrics, const QString &text, int width, Qt::Alignment alignment)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    return metrics.elidedText(text, alignment & Qt::AlignRight ? Qt::ElideLeft : Qt::ElideRight, std::max(0, width));
}

void drawBevel(QPainter *painter, const QRect &rect, const QPalette &palette)
{
    painter->setPen(palette.color(QPalette::Light));
    painter->drawLine(rect.topLeft(), rect.topRight());
    painter->drawLine(rect.topLeft(), rect.bottomLeft());
    painter->setPen(palette.color(QPalette::Dark));
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->drawLine(rect.topRight(), rect.bottomRight());
}

void drawMarker(QPainter *painter, const QRect &rect, SortMarker marker, const QColor &color)
{
    if (marker == SortMarker::None)
        return;
    const int size = std::min(8, rect.height() - 6);
    if (size < 3)
        return;
    const int right = rect.right() - 4;
    const int left = right - size;
    const int top = rect.center().y() - size / 4;
    QPainterPath arrow;
    if (marker == SortMarker::Down) {
        arrow.moveTo(left, top);
        arrow.lineTo(right, top);
        arrow.lineTo((left + right) / 2.0, top + size / 2.0);
    } else {
        arrow.moveTo(left, top + size / 2.0);
        arrow.lineTo(right, top + size / 2.0);
        arrow.lineTo((left + right) / 2.0, top);
    }
    arrow.closeSubpath();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(arrow, color);
    painter->restore();
}

} // namespace

// ------------------------------------------------------------------ pieces

class GridTableView final : public QTableView
{
public:
    explicit GridTableView(DataGrid *grid) : QTableView(grid), m_grid(grid) {}

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override
    {
        QTableView::currentChanged(current, previous);
        if (current.row() != previous.row()) {
            verticalHeader()->viewport()->update();
            emit m_grid->currentRowChanged(current.row());
        }
    }

private:
    DataGrid *m_grid;
};

// Titles drawn in the column's own colours, with the column's sort marker; a click
// reports the modifiers held at the time.
class GridTitleHeader final : public QHeaderView
{
public:
    explicit GridTitleHeader(DataGrid *grid) : QHeaderView(Qt::Horizontal, grid), m_grid(grid)
    {
        setSectionsClickable(true);
        setSectionsMovable(true);
        setHighlightSections(false);
        setSortIndicatorShown(false);
        setMinimumSectionSize(kMinimumColumnWidth);
        setDefaultAlignment(Qt::AlignCenter);
    }

    Qt::KeyboardModifiers lastModifiers = Qt::NoModifier;

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        lastModifiers = event->modifiers();
        QHeaderView::mousePressEvent(event);
    }

    void mouseReleaseEvent(QMouseEvent *event) override
    {
        lastModifiers = event->modifiers();
        QHeaderView::mouseReleaseEvent(event);
    }

    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        if (!rect.isValid() || logicalIndex < 0 || logicalIndex >= m_grid->columnCount())
            return;
        const GridLook look = m_grid->titleLookLogical(logicalIndex);
        painter->save();
        painter->fillRect(rect, look.background);
        drawBevel(painter, rect, palette());
        painter->setFont(look.font);
        painter->setPen(look.foreground);
        const SortMarker marker = m_grid->m_state[logicalIndex].marker;
        QRect textRect = rect.adjusted(kTextPadding, 0, -kTextPadding - (marker == SortMarker::None ? 0 : kMarkerRoom), 0);
        painter->drawText(textRect, int(look.alignment), m_grid->shownTitleLogical(logicalIndex));
        drawMarker(painter, rect, marker, look.foreground);
        painter->restore();
    }

private:
    DataGrid *m_grid;
};

// The indicator column: a triangle at the current record.
class GridIndicatorHeader final : public QHeaderView
{
public:
    explicit GridIndicatorHeader(DataGrid *grid) : QHeaderView(Qt::Vertical, grid), m_grid(grid)
    {
        setSectionResizeMode(QHeaderView::Fixed);
        setFixedWidth(kIndicatorWidth);
        setSectionsClickable(false);
        setHighlightSections(false);
    }

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        painter->save();
        painter->fillRect(rect, palette().color(QPalette::Button));
        drawBevel(painter, rect, palette());
        if (logicalIndex == m_grid->currentRow()) {
            const int size = std::min(rect.height() - 6, 6);
            const QPointF tip(rect.right() - 2, rect.center().y() + 0.5);
            QPainterPath arrow;
            arrow.moveTo(tip.x() - size, tip.y() - size);
            arrow.lineTo(tip);
            arrow.lineTo(tip.x() - size, tip.y() + size);
            arrow.closeSubpath();
            painter->setRenderHint(QPainter::Antialiasing);
            painter->fillPath(arrow, palette().color(QPalette::WindowText));
        }
        painter->restore();
    }

private:
    DataGrid *m_grid;
};

// Cells: the row's alternating background, the column's font and colour, centred
// text, and the selection drawn over the background.
class GridCellDelegate final : public QStyledItemDelegate
{
public:
    explicit GridCellDelegate(DataGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const int position = m_grid->positionOfLogical(index.column());
        if (position < 0)
            return;
        const GridLook look = m_grid->cellLook(index.row(), position);
        painter->save();
        QColor foreground = look.foreground;
        if (option.state & QStyle::State_Selected) {
            painter->fillRect(option.rect, option.palette.color(QPalette::Active, QPalette::Highlight));
            foreground = option.palette.color(QPalette::Active, QPalette::HighlightedText);
        } else {
            painter->fillRect(option.rect, look.background);
        }
        painter->setFont(look.font);
        painter->setPen(foreground);
        const QRect textRect = option.rect.adjusted(kTextPadding, 0, -kTextPadding, 0);
        painter->drawText(textRect, int(look.alignment | Qt::AlignVCenter),
                          m_grid->shownCellText(index.row(), position));
        painter->restore();
    }

private:
    DataGrid *m_grid;
};

// The footer row under the data rows, aligned with the title sections.
class GridFooterBar final : public QWidget
{
public:
    explicit GridFooterBar(DataGrid *grid) : QWidget(grid), m_grid(grid)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    QSize sizeHint() const override { return {100, m_grid->fontMetrics().height() + 6}; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Button));
        QTableView *view = m_grid->m_view;
        const QHeaderView *header = view->horizontalHeader();
        const int origin = view->viewport()->mapTo(m_grid, QPoint(0, 0)).x() - x();
        const QRect area = rect();
        painter.setClipRect(QRect(origin, 0, view->viewport()->width(), area.height()));
        for (int logical = 0; logical < m_grid->columnCount(); ++logical) {
            if (header->isSectionHidden(logical))
                continue;
            const QRect cell(origin + header->sectionViewportPosition(logical), 0, header->sectionSize(logical),
                             area.height());
            const GridLook look = m_grid->footerLookLogical(logical);
            painter.fillRect(cell, look.background);
            drawBevel(&painter, cell, palette());
            painter.setFont(look.font);
            painter.setPen(look.foreground);
            painter.drawText(cell.adjusted(kTextPadding, 0, -kTextPadding, 0), int(look.alignment | Qt::AlignVCenter),
                             m_grid->shownFooterLogical(logical));
        }
    }

private:
    DataGrid *m_grid;
};

// ------------------------------------------------------------------ DataGrid

DataGrid::DataGrid(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_view = new GridTableView(this);
    m_view->setObjectName(QStringLiteral("gridView"));
    m_title = new GridTitleHeader(this);
    m_indicator = new GridIndicatorHeader(this);
    m_view->setHorizontalHeader(m_title);
    m_view->setVerticalHeader(m_indicator);
    m_view->setItemDelegate(new GridCellDelegate(this));
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setShowGrid(true);
    m_view->setWordWrap(false);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setCornerButtonEnabled(false);
    layout->addWidget(m_view, 1);

    m_footer = new GridFooterBar(this);
    m_footer->setObjectName(QStringLiteral("gridFooter"));
    m_footer->setFixedHeight(m_footer->sizeHint().height());
    layout->addWidget(m_footer);

    setTitleHeight(18);
    applyRowHeight();

    connect(m_title, &QHeaderView::sectionResized, this,
            [this](int logical, int oldSize, int newSize) { onSectionResized(logical, oldSize, newSize); });
    connect(m_title, &QHeaderView::sectionMoved, this, [this] {
        m_footer->update();
        emit columnLayoutChanged();
    });
    connect(m_title, &QHeaderView::sectionClicked, this,
            [this](int logical) { clickTitle(positionOfLogical(logical), m_title->lastModifiers); });
    connect(m_view->horizontalScrollBar(), &QScrollBar::valueChanged, m_footer, qOverload<>(&QWidget::update));
    connect(m_view, &QAbstractItemView::clicked, this, &DataGrid::clicked);
    connect(m_view, &QAbstractItemView::doubleClicked, this, &DataGrid::doubleClicked);
    m_view->viewport()->installEventFilter(this);
    m_title->viewport()->installEventFilter(this);
    m_footer->installEventFilter(this);
}

DataGrid::~DataGrid() = default;

void DataGrid::setColumns(const QList<GridColumn> &columns)
{
    m_columns = columns;
    m_state.assign(columns.size(), ColumnState());
    for (int i = 0; i < columns.size(); ++i) {
        m_state[i].baseWidth = std::max(kMinimumColumnWidth, columns[i].defaultWidth);
        m_state[i].hiddenWidth = m_state[i].baseWidth;
    }
    m_footerTexts = QList<QString>(columns.size());
    if (QAbstractItemModel *current = model()) {
        // Rebuild the sections for the new column list.
        m_view->setModel(nullptr);
        setModel(current);
    }
}

void DataGrid::setModel(QAbstractItemModel *model)
{
    if (QAbstractItemModel *previous = m_view->model())
        disconnect(previous, nullptr, this, nullptr);
    m_view->setModel(model);
    if (!model)
        return;
    connect(model, &QAbstractItemModel::modelReset, this, [this] { m_indicator->viewport()->update(); });
    for (int logical = 0; logical < columnCount(); ++logical)
        m_title->setSectionHidden(logical, !m_state[logical].visible);
    applyRowHeight();
    if (m_autoFit)
        fitColumns();
    else
        applyBaseWidths();
    m_footer->update();
}

QAbstractItemModel *DataGrid::model() const
{
    return m_view->model();
}

QHeaderView *DataGrid::titleHeader() const
{
    return m_title;
}

QWidget *DataGrid::footerBar() const
{
    return m_footer;
}

int DataGrid::requireLogical(int position) const
{
    const int logical = logicalIndexAt(position);
    if (logical < 0)
        throw std::out_of_range("grid column position out of range");
    return logical;
}

int DataGrid::logicalIndexAt(int position) const
{
    if (position < 0 || position >= columnCount())
        return -1;
    if (!model())
        return position;
    return m_title->logicalIndex(position);
}

int DataGrid::positionOfLogical(int logical) const
{
    if (logical < 0 || logical >= columnCount())
        return -1;
    if (!model())
        return logical;
    return m_title->visualIndex(logical);
}

const GridColumn &DataGrid::columnAt(int position) const
{
    return m_columns.at(requireLogical(position));
}

QString DataGrid::fieldAt(int position) const
{
    return columnAt(position).field;
}

int DataGrid::positionOfField(const QString &field) const
{
    for (int logical = 0; logical < columnCount(); ++logical) {
        if (m_columns[logical].field == field)
            return positionOfLogical(logical);
    }
    return -1;
}

void DataGrid::moveColumn(int from, int to)
{
    requireLogical(from);
    requireLogical(to);
    if (from == to)
        return;
    m_title->moveSection(from, to);
}

int DataGrid::columnWidthAt(int position) const
{
    const int logical = requireLogical(position);
    if (!m_state[logical].visible || !model())
        return m_state[logical].visible ? m_state[logical].baseWidth : m_state[logical].hiddenWidth;
    return m_title->sectionSize(logical);
}

void DataGrid::setColumnWidthAt(int position, int width)
{
    const int logical = requireLogical(position);
    width = std::max(kMinimumColumnWidth, width);
    if (m_autoFit) {
        m_state[logical].baseWidth = width;
        m_state[logical].hiddenWidth = width;
        fitColumns();
    } else {
        setSectionWidth(logical, width);
    }
    emit columnLayoutChanged();
}

int DataGrid::baseWidthAt(int position) const
{
    return m_state[requireLogical(position)].baseWidth;
}

void DataGrid::setSectionWidth(int logical, int width)
{
    if (!m_state[logical].visible || !model()) {
        m_state[logical].hiddenWidth = width;
        if (!model())
            m_state[logical].baseWidth = width;
        return;
    }
    const bool applying = m_applyingWidths;
    m_applyingWidths = true;
    m_title->resizeSection(logical, width);
    m_applyingWidths = applying;
    m_footer->update();
}

bool DataGrid::isColumnVisibleAt(int position) const
{
    return m_state[requireLogical(position)].visible;
}

void DataGrid::setColumnVisibleAt(int position, bool visible)
{
    const int logical = requireLogical(position);
    ColumnState &state = m_state[logical];
    if (state.visible == visible)
        return;
    if (!visible && model())
        state.hiddenWidth = m_title->sectionSize(logical);
    state.visible = visible;
    if (model()) {
        const bool applying = m_applyingWidths;
        m_applyingWidths = true;
        m_title->setSectionHidden(logical, !visible);
        if (visible && !m_autoFit)
            m_title->resizeSection(logical, state.hiddenWidth);
        m_applyingWidths = applying;
    }
    fitColumns();
    m_footer->update();
    emit columnLayoutChanged();
}

SortMarker DataGrid::sortMarkerAt(int position) const
{
    return m_state[requireLogical(position)].marker;
}

void DataGrid::setSortMarkerAt(int position, SortMarker marker)
{
    const int logical = requireLogical(position);
    for (int i = 0; i < columnCount(); ++i) {
        if (i == logical)
            continue;
        m_state[i].marker = SortMarker::None;
        m_state[i].sortRank = 0;
    }
    m_state[logical].marker = marker;
    m_state[logical].sortRank = marker == SortMarker::None ? 0 : 1;
    m_title->viewport()->update();
    emit columnLayoutChanged();
}

int DataGrid::sortRankAt(int position) const
{
    return m_state[requireLogical(position)].sortRank;
}

void DataGrid::setSortRankAt(int position, int rank)
{
    m_state[requireLogical(position)].sortRank = rank;
}

int DataGrid::dropDownRowsAt(int position) const
{
    return m_state[requireLogical(position)].dropDownRows;
}

void DataGrid::setDropDownRowsAt(int position, int rows)
{
    m_state[requireLogical(position)].dropDownRows = rows;
}

int DataGrid::dropDownWidthAt(int position) const
{
    return m_state[requireLogical(position)].dropDownWidth;
}

void DataGrid::setDropDownWidthAt(int position, int width)
{
    m_state[requireLogical(position)].dropDownWidth = width;
}

void DataGrid::setRowHeightSetting(int height)
{
    m_rowHeight = std::max(0, height);
    applyRowHeight();
}

void DataGrid::setRowLines(int lines)
{
    m_rowLines = std::max(0, lines);
    applyRowHeight();
}

void DataGrid::applyRowHeight()
{
    const QFontMetrics metrics(font());
    int height = m_rowHeight;
    if (height <= 0)
        height = std::max(1, m_rowLines) * metrics.lineSpacing() + 4;
    m_indicator->setMinimumSectionSize(1);
    m_indicator->setDefaultSectionSize(height);
}

void DataGrid::setTitleHeight(int height)
{
    m_title->setFixedHeight(height);
}

void DataGrid::setHint(const QString &hint)
{
    for (QWidget *widget : {static_cast<QWidget *>(this), static_cast<QWidget *>(m_view), m_view->viewport(),
                            static_cast<QWidget *>(m_title), static_cast<QWidget *>(m_footer)}) {
        widget->setToolTip(hint);
        widget->setStatusTip(hint);
    }
}

void DataGrid::suspendLayout()
{
    ++m_suspended;
}

void DataGrid::resumeLayout()
{
    if (m_suspended > 0 && --m_suspended == 0) {
        fitColumns();
        m_footer->update();
        emit columnLayoutChanged();
    }
}

void DataGrid::setAutoFitColumns(bool on)
{
    if (on == m_autoFit)
        return;
    m_autoFit = on;
    if (on) {
        for (int logical = 0; logical < columnCount(); ++logical) {
            ColumnState &state = m_state[logical];
            const int width = state.visible && model() ? m_title->sectionSize(logical) : state.hiddenWidth;
            state.baseWidth = std::max(kMinimumColumnWidth, width);
            state.hiddenWidth = state.baseWidth;
        }
        m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        fitColumns();
    } else {
        m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        applyBaseWidths();
    }
    emit columnLayoutChanged();
}

void DataGrid::applyBaseWidths()
{
    for (int logical = 0; logical < columnCount(); ++logical) {
        m_state[logical].hiddenWidth = m_state[logical].baseWidth;
        setSectionWidth(logical, m_state[logical].baseWidth);
    }
}

int DataGrid::availableWidth() const
{
    return m_view->viewport()->width();
}

// The visible columns share the viewport's width in proportion to their base widths;
// the rounding error goes to the columns so the sum is exact and nothing scrolls.
void DataGrid::fitColumns()
{
    if (!m_autoFit || m_suspended > 0 || !model())
        return;
    std::vector<int> visible;
    double total = 0;
    for (int position = 0; position < columnCount(); ++position) {
        const int logical = m_title->logicalIndex(position);
        if (m_state[logical].visible) {
            visible.push_back(logical);
            total += m_state[logical].baseWidth;
        }
    }
    const int available = availableWidth();
    if (visible.empty() || total <= 0 || available <= 0)
        return;
    double cumulative = 0;
    int previousEdge = 0;
    for (int logical : visible) {
        cumulative += m_state[logical].baseWidth;
        const int edge = int(std::lround(available * cumulative / total));
        setSectionWidth(logical, std::max(kMinimumColumnWidth, edge - previousEdge));
        previousEdge = edge;
    }
    m_footer->update();
}

// A border dragged while fitting is on: the columns left of it keep their widths, the
// dragged one takes the new width and the ones right of it share what is left in
// their proportions. The widths then become the base widths.
void DataGrid::onSectionResized(int logical, int, int newSize)
{
    m_footer->update();
    if (m_applyingWidths)
        return;
    if (!m_autoFit) {
        if (logical >= 0 && logical < columnCount())
            m_state[logical].baseWidth = newSize;
        emit columnLayoutChanged();
        return;
    }
    const int available = availableWidth();
    const int draggedPosition = m_title->visualIndex(logical);
    int left = 0;
    std::vector<int> right;
    double rightBase = 0;
    for (int position = 0; position < columnCount(); ++position) {
        const int other = m_title->logicalIndex(position);
        if (!m_state[other].visible || other == logical)
            continue;
        if (position < draggedPosition) {
            left += m_title->sectionSize(other);
        } else {
            right.push_back(other);
            rightBase += m_state[other].baseWidth;
        }
    }
    m_applyingWidths = true;
    if (right.empty()) {
        // The last column always fills the grid.
        m_title->resizeSection(logical, std::max(kMinimumColumnWidth, available - left));
    } else {
        const int maximum = available - left - kMinimumColumnWidth * int(right.size());
        const int width = std::clamp(newSize, kMinimumColumnWidth, std::max(kMinimumColumnWidth, maximum));
        if (width != newSize)
            m_title->resizeSection(logical, width);
        const int rest = available - left - width;
        double cumulative = 0;
        int previousEdge = 0;
        for (int other : right) {
            cumulative += m_state[other].baseWidth;
            const int edge = int(std::lround(rest * cumulative / rightBase));
            m_title->resizeSection(other, std::max(kMinimumColumnWidth, edge - previousEdge));
            previousEdge = edge;
        }
    }
    m_applyingWidths = false;
    for (int other = 0; other < columnCount(); ++other) {
        if (m_state[other].visible)
            m_state[other].baseWidth = m_title->sectionSize(other);
    }
    m_footer->update();
    emit columnLayoutChanged();
}

QString DataGrid::footerTextAt(int position) const
{
    return footerTextLogical(requireLogical(position));
}

QString DataGrid::footerTextLogical(int logical) const
{
    const QString &live = m_footerTexts.at(logical);
    return live.isNull() ? m_columns[logical].footerText : live;
}

void DataGrid::setFooterText(const QString &field, const QString &text)
{
    for (int logical = 0; logical < columnCount(); ++logical) {
        if (m_columns[logical].field == field)
            m_footerTexts[logical] = text.isNull() ? QStringLiteral("") : text;
    }
    m_footer->update();
}

void DataGrid::clearFooterTexts()
{
    m_footerTexts = QList<QString>(columnCount());
    m_footer->update();
}

void DataGrid::setTitleBackground(const QColor &color)
{
    m_titleBackground = color;
    m_title->viewport()->update();
}

void DataGrid::setFooterBackground(const QColor &color)
{
    m_footerBackground = color;
    m_footer->update();
}

void DataGrid::setRowColors(const QColor &odd, const QColor &even)
{
    m_oddRow = odd;
    m_evenRow = even;
    m_view->viewport()->update();
}

QColor DataGrid::rowBackground(int row) const
{
    return (row + 1) % 2 == 1 ? m_oddRow : m_evenRow;
}

GridLook DataGrid::titleLookLogical(int logical) const
{
    const GridColumn &column = m_columns[logical];
    return {column.titleBackground.isValid() ? column.titleBackground : m_titleBackground,
            column.titleColor.isValid() ? column.titleColor : m_textColor,
            resolvedFont(column.titleFont), Qt::AlignCenter};
}

GridLook DataGrid::footerLookLogical(int logical) const
{
    const GridColumn &column = m_columns[logical];
    return {column.footerBackground.isValid() ? column.footerBackground : m_footerBackground,
            column.footerColor.isValid() ? column.footerColor : m_textColor,
            resolvedFont(column.footerFont), column.footerAlignment};
}

GridLook DataGrid::titleLook(int position) const
{
    return titleLookLogical(requireLogical(position));
}

GridLook DataGrid::cellLook(int row, int position) const
{
    const GridColumn &column = m_columns[requireLogical(position)];
    return {rowBackground(row), column.cellColor.isValid() ? column.cellColor : m_textColor,
            resolvedFont(column.cellFont), column.alignment};
}

GridLook DataGrid::footerLook(int position) const
{
    return footerLookLogical(requireLogical(position));
}

QString DataGrid::cellText(int row, int position) const
{
    const int logical = requireLogical(position);
    if (!model())
        return {};
    return model()->data(model()->index(row, logical), Qt::DisplayRole).toString();
}

QFont DataGrid::resolvedFont(const std::optional<QFont> &font) const
{
    // A column's own font takes what it leaves open (hinting, say) from the grid's,
    // as a painter would; texts are measured and drawn with the same font.
    return font ? font->resolve(this->font()) : this->font();
}

QString DataGrid::shownCellText(int row, int position) const
{
    const int logical = requireLogical(position);
    const GridLook look = cellLook(row, position);
    const int grid = m_view->showGrid() ? 1 : 0;
    return fittedText(QFontMetrics(look.font), cellText(row, position),
                      m_title->sectionSize(logical) - grid - 2 * kTextPadding, look.alignment);
}

QString DataGrid::shownFooterText(int position) const
{
    return shownFooterLogical(requireLogical(position));
}

QString DataGrid::shownTitle(int position) const
{
    return shownTitleLogical(requireLogical(position));
}

QString DataGrid::shownFooterLogical(int logical) const
{
    const GridLook look = footerLookLogical(logical);
    return fittedText(QFontMetrics(look.font), footerTextLogical(logical),
                      m_title->sectionSize(logical) - 2 * kTextPadding, look.alignment);
}

QString DataGrid::shownTitleLogical(int logical) const
{
    const GridLook look = titleLookLogical(logical);
    const int marker = m_state[logical].marker == SortMarker::None ? 0 : kMarkerRoom;
    return fittedText(QFontMetrics(look.font), m_columns[logical].title,
                      m_title->sectionSize(logical) - 2 * kTextPadding - marker, look.alignment);
}

int DataGrid::rowCount() const
{
    return model() ? model()->rowCount() : 0;
}

int DataGrid::currentRow() const
{
    return m_view->currentIndex().row();
}

void DataGrid::setCurrentRow(int row)
{
    if (!model() || row < 0 || row >= model()->rowCount())
        return;
    int column = m_view->currentIndex().column();
    if (column < 0 || m_title->isSectionHidden(column)) {
        column = 0;
        for (int position = 0; position < columnCount(); ++position) {
            const int logical = m_title->logicalIndex(position);
            if (!m_title->isSectionHidden(logical)) {
                column = logical;
                break;
            }
        }
    }
    const QModelIndex index = model()->index(row, column);
    m_view->setCurrentIndex(index);
    m_view->scrollTo(index);
}

SortMarker DataGrid::nextMarker(SortMarker before, Qt::KeyboardModifiers modifiers)
{
    switch (before) {
    case SortMarker::None:
        return SortMarker::Down;
    case SortMarker::Down:
        return SortMarker::Up;
    case SortMarker::Up:
        return modifiers.testFlag(Qt::ControlModifier) ? SortMarker::None : SortMarker::Down;
    }
    return SortMarker::None;
}

void DataGrid::clickTitle(int position, Qt::KeyboardModifiers modifiers)
{
    const int logical = requireLogical(position);
    const SortMarker before = m_state[logical].marker;
    m_titleClickRejected = false;
    emit titleClicked(position, before, modifiers);
    if (!m_titleClickRejected)
        setSortMarkerAt(positionOfLogical(logical), nextMarker(before, modifiers));
    m_titleClickRejected = false;
}

void DataGrid::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitColumns();
}

bool DataGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view->viewport() && event->type() == QEvent::Resize) {
        fitColumns();
        m_footer->update();
    }
    if (event->type() == QEvent::ToolTip) {
        // Over a text shown cut the tooltip gives the whole text; elsewhere the
        // grid's hint.
        const QPoint pos = static_cast<QHelpEvent *>(event)->pos();
        const QPoint global = static_cast<QHelpEvent *>(event)->globalPos();
        QString whole;
        QRect area;
        if (watched == m_view->viewport()) {
            const QModelIndex index = m_view->indexAt(pos);
            const int position = index.isValid() ? positionOfLogical(index.column()) : -1;
            if (position >= 0 && shownCellText(index.row(), position) != cellText(index.row(), position)) {
                whole = cellText(index.row(), position);
                area = m_view->visualRect(index);
            }
        } else if (watched == m_title->viewport() || watched == m_footer) {
            const int origin = watched == m_footer ? m_view->viewport()->mapTo(this, QPoint(0, 0)).x() - m_footer->x() : 0;
            const int logical = m_title->logicalIndexAt(pos.x() - origin);
            if (logical >= 0) {
                const bool footer = watched == m_footer;
                const QString full = footer ? footerTextLogical(logical) : m_columns[logical].title;
                if ((footer ? shownFooterLogical(logical) : shownTitleLogical(logical)) != full) {
                    whole = full;
                    area = QRect(origin + m_title->sectionViewportPosition(logical), 0, m_title->sectionSize(logical),
                                 static_cast<QWidget *>(watched)->height());
                }
            }
        }
        if (!whole.isEmpty()) {
            QToolTip::showText(global, whole, static_cast<QWidget *>(watched), area);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
