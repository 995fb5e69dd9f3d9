#pragma once

#include <QWidget>

// The sales statistics window "销售统计": profit per month of a year and per day of a
// month. Created at start-up and only hidden when closed.
class TForm4 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm4(QWidget *parent = nullptr);
};
