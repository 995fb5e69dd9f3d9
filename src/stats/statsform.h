#pragma once

#include <QWidget>
#include <memory>

class Dataset;
class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;
class SalesBarChart;

// The sales statistics window "销售统计": the profit per month of a year and per day of
// a month, as two bar charts on two pages. Created at start-up and only hidden when
// closed; each showing resets the boxes to today's year and month and reruns both
// queries.
class TForm4 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm4(QWidget *parent = nullptr);
    ~TForm4() override;

    // Runs the monthly query for ComboBox1 and redraws DBChart1 (Button1).
    void runMonthlyQuery();
    // Runs the daily query for ComboBox2/ComboBox3 and redraws DBChart3 (Button2).
    void runDailyQuery();

    QTabWidget *PageControl1 = nullptr;
    QWidget *TabSheet1 = nullptr; // "月销售报表"
    QWidget *TabSheet2 = nullptr; // "日销售报表"
    SalesBarChart *DBChart1 = nullptr;
    SalesBarChart *DBChart3 = nullptr;
    QComboBox *ComboBox1 = nullptr;
    QComboBox *ComboBox2 = nullptr;
    QComboBox *ComboBox3 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;

    // The window's own queries on the shared connection (absent without a data module).
    std::unique_ptr<Dataset> ADOQuery1;
    std::unique_ptr<Dataset> ADOQuery2;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *buildPage(SalesBarChart *chart);
};
