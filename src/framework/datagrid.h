#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QModelIndex>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

class QAbstractItemModel;
class QHeaderView;
class QTableView;

// The sort marker a column title shows. The numbers are the ones the column layout
// file stores.
enum class SortMarker { None = 0, Down = 1, Up = 2 };

// The fixed description of one grid column: which model column it shows and how it
// looks. Invalid colours and empty fonts fall back to the grid's defaults.
struct GridColumn
{
    QString field;
    QString title;
    int defaultWidth = 64;
    Qt::Alignment alignment = Qt::AlignCenter;
    QColor cellColor;
    std::optional<QFont> cellFont;
    QColor titleBackground;
    QColor titleColor;
    std::optional<QFont> titleFont;
    // A fixed footer text; live footer texts are set with DataGrid::setFooterText.
    QString footerText;
    Qt::Alignment footerAlignment = Qt::AlignCenter;
    QColor footerBackground;
    QColor footerColor;
    std::optional<QFont> footerFont;
};

// How one cell, title or footer is drawn, with every default resolved; printing uses
// the same looks as the screen.
struct GridLook
{
    QColor background;
    QColor foreground;
    QFont font;
    Qt::Alignment alignment = Qt::AlignCenter;
};

// A read-only data grid over a table model: whole-row selection with a current-record
// indicator, titles that act as buttons and carry one sort marker, alternating row
// colours, a footer row that follows the columns' widths, order and visibility, and
// column widths fitted to the grid's width in proportion to each column's base width.
//
// Column i of the model is the column given i-th to setColumns(). Everything that
// takes a "position" counts in the columns' current (visual) order, which the operator
// changes by dragging titles.
class DataGrid : public QWidget
{
    Q_OBJECT

public:
    explicit DataGrid(QWidget *parent = nullptr);
    ~DataGrid() override;

    // The model's column i is shown by columns[i]. Resets order, widths, visibility,
    // markers and footer texts.
    void setColumns(const QList<GridColumn> &columns);
    void setModel(QAbstractItemModel *model);
    QAbstractItemModel *model() const;
    QTableView *view() const { return m_view; }
    QHeaderView *titleHeader() const;
    QWidget *footerBar() const;

    // --- columns, by position in the current order
    int columnCount() const { return int(m_columns.size()); }
    const GridColumn &columnAt(int position) const;
    QString fieldAt(int position) const;
    int positionOfField(const QString &field) const; // -1 when absent
    int logicalIndexAt(int position) const;
    int positionOfLogical(int logical) const;
    void moveColumn(int from, int to);

    int columnWidthAt(int position) const;
    // With fitting on this sets the base width and fits again.
    void setColumnWidthAt(int position, int width);
    int baseWidthAt(int position) const;
    bool isColumnVisibleAt(int position) const;
    void setColumnVisibleAt(int position, bool visible);
    SortMarker sortMarkerAt(int position) const;
    // A marker on one column removes the markers of all others; a marked column has
    // sort rank 1, unmarked ones 0.
    void setSortMarkerAt(int position, SortMarker marker);
    int sortRankAt(int position) const;
    void setSortRankAt(int position, int rank);
    int dropDownRowsAt(int position) const;
    void setDropDownRowsAt(int position, int rows);
    int dropDownWidthAt(int position) const;
    void setDropDownWidthAt(int position, int width);

    // 0 means the default height from the font, and one line.
    int rowHeightSetting() const { return m_rowHeight; }
    void setRowHeightSetting(int height);
    int rowLines() const { return m_rowLines; }
    void setRowLines(int lines);
    void setTitleHeight(int height);
    // The hint shown as a tooltip over the grid and in the status bar.
    void setHint(const QString &hint);

    // Batches layout changes: fitting waits until the last resume.
    void suspendLayout();
    void resumeLayout();
    // Off puts back every column's base width; on makes the current widths the base
    // widths and fits them to the grid's width.
    bool autoFitColumns() const { return m_autoFit; }
    void setAutoFitColumns(bool on);

    // --- footers
    QString footerTextAt(int position) const;
    void setFooterText(const QString &field, const QString &text);
    void clearFooterTexts();

    // --- looks
    void setTitleBackground(const QColor &color);
    void setFooterBackground(const QColor &color);
    void setRowColors(const QColor &odd, const QColor &even);
    // The background of a data row: by its 1-based record number, odd or even.
    QColor rowBackground(int row) const;
    GridLook titleLook(int position) const;
    GridLook cellLook(int row, int position) const;
    GridLook footerLook(int position) const;
    QString cellText(int row, int position) const;
    // The texts as drawn at the current widths: a text that does not fit ends (or,
    // right-aligned, starts) with an ellipsis, and its tooltip shows it whole.
    QString shownCellText(int row, int position) const;
    QString shownFooterText(int position) const;
    QString shownTitle(int position) const;

    // --- records
    int rowCount() const;
    int currentRow() const;
    void setCurrentRow(int row);

    // The marker cycle of a title click: none and up become down, down becomes up;
    // with Ctrl an up marker is removed instead.
    static SortMarker nextMarker(SortMarker before, Qt::KeyboardModifiers modifiers);
    // Called by a titleClicked handler that failed: the clicked column keeps its marker.
    void rejectTitleClick() { m_titleClickRejected = true; }
    // A title click as the mouse makes it (tests and keyboard use).
    void clickTitle(int position, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

signals:
    // Raised before the clicked column's marker moves.
    void titleClicked(int position, SortMarker markerBeforeClick, Qt::KeyboardModifiers modifiers);
    // A left click on a data cell.
    void clicked(const QModelIndex &index);
    void doubleClicked(const QModelIndex &index);
    void currentRowChanged(int row);
    // Order, widths, visibility or markers changed.
    void columnLayoutChanged();

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class GridTitleHeader;
    friend class GridIndicatorHeader;
    friend class GridCellDelegate;
    friend class GridFooterBar;
    friend class GridTableView;

    struct ColumnState
    {
        int baseWidth = 64;
        int hiddenWidth = 64; // the width while hidden
        bool visible = true;
        SortMarker marker = SortMarker::None;
        int sortRank = 0;
        int dropDownRows = 7;
        int dropDownWidth = 0;
    };

    int requireLogical(int position) const;
    void fitColumns();
    void applyBaseWidths();
    void applyRowHeight();
    void onSectionResized(int logical, int oldSize, int newSize);
    void setSectionWidth(int logical, int width);
    int availableWidth() const;
    GridLook titleLookLogical(int logical) const;
    GridLook footerLookLogical(int logical) const;
    QString footerTextLogical(int logical) const;
    QString shownFooterLogical(int logical) const;
    QString shownTitleLogical(int logical) const;
    QFont resolvedFont(const std::optional<QFont> &font) const;
    void updateFooter();

    QTableView *m_view = nullptr;
    class GridTitleHeader *m_title = nullptr;
    class GridIndicatorHeader *m_indicator = nullptr;
    class GridFooterBar *m_footer = nullptr;
    QList<GridColumn> m_columns;
    std::vector<ColumnState> m_state;
    QList<QString> m_footerTexts; // by logical index; null when not set
    QColor m_titleBackground{0xA6, 0xCA, 0xF0};
    QColor m_footerBackground{0xFF, 0xB3, 0xB3};
    // Titles, rows and footers have backgrounds of their own that no skin changes, so
    // their text keeps the dark window-text colour under every skin.
    QColor m_textColor{Qt::black};
    QColor m_oddRow{Qt::white};
    QColor m_evenRow{0xEE, 0xEE, 0xEE};
    int m_rowHeight = 0;
    int m_rowLines = 0;
    int m_suspended = 0;
    bool m_autoFit = true;
    bool m_applyingWidths = false;
    bool m_titleClickRejected = false;
};
