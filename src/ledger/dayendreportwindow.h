#pragma once

#include "dayendreport.h"
#include "worksheet.h"

#include <QWidget>

class Connection;
class DataGrid;
class QComboBox;
class QDateEdit;
class QPushButton;
class QStandardItemModel;

// "日结报表": the day-end figures of a day (today when opened) or range, for all
// operators or one; per operator with the totals in the footer, and the ten goods
// sold most below. Printing takes the operators' figures through the ledger's print
// preview; the export writes both through the ledger's export types. A cashier sees
// no profit. The figures are DayEndReport's.
class DayEndReportWindow : public QWidget
{
    Q_OBJECT

public:
    DayEndReportWindow(QWidget *owner, Connection &connection, bool showProfit, const QString &vendorAddress);

    // Computes the figures for the days and operator chosen and shows them.
    void refresh();
    void printReport();
    void exportReport();

    const DayEndReport::Report &report() const { return m_report; }

    // The sheet the export writes.
    WorksheetContent sheet() const;

    QDateEdit *fromEdit = nullptr;
    QDateEdit *toEdit = nullptr;
    QComboBox *operatorChoice = nullptr;
    QPushButton *runButton = nullptr;
    QPushButton *printButton = nullptr;
    QPushButton *exportButton = nullptr;
    DataGrid *operatorsGrid = nullptr;
    DataGrid *goodsGrid = nullptr;

private:
    DayEndReport::Filter filter() const;

    Connection &m_connection;
    bool m_showProfit;
    QString m_vendorAddress;
    QStandardItemModel *m_operators = nullptr;
    QStandardItemModel *m_goods = nullptr;
    DayEndReport::Report m_report;
};
