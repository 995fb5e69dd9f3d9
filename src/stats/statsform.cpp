#include "statsform.h"

TForm4::TForm4(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("销售统计"));
    resize(800, 500);
}
