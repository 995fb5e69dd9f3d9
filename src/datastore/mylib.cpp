#include "mylib.h"

#include "apperror.h"
#include "dataset.h"
#include "messageboxservice.h"

#include <QComboBox>
#include <QLineEdit>

namespace {

bool hasText(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() > 32)
            return true;
    }
    return false;
}

bool checkRequiredText(QWidget *control, const QString &text, const QString &message)
{
    if (hasText(text))
        return true;
    MessageBoxes::warning(control, message);
    if (!control->isVisibleTo(control->window()) || !control->isEnabled() || !control->window()->isVisible())
        throw AppError(QStringLiteral("Cannot focus a disabled or invisible window"));
    control->setFocus(Qt::OtherFocusReason);
    return false;
}

// The statement as a single line: its line breaks are joined with a blank, and
// every other character, blanks inside quotes included, stays as given.
QString singleLine(const QString &sql)
{
    QString line = sql;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

} // namespace

namespace mylib {

bool checkRequired(QLineEdit *edit, const QString &message)
{
    return checkRequiredText(edit, edit->text(), message);
}

bool checkRequired(QComboBox *combo, const QString &message)
{
    return checkRequiredText(combo, combo->currentText(), message);
}

void openSql(Dataset &query, const QString &sql, const QVariantList &parameters)
{
    query.close();
    query.setSql(singleLine(sql), parameters);
    query.open();
}

void reopenSql(Dataset &query, const QString &sql, const QVariantList &parameters)
{
    query.reopen(singleLine(sql), parameters);
}

void refreshSql(Dataset &query, const QString &sql, const QVariantList &parameters)
{
    query.refresh(singleLine(sql), parameters);
}

void execSql(Dataset &query, const QString &sql, const QVariantList &parameters)
{
    query.close();
    query.setSql(singleLine(sql), parameters);
    query.execute();
}

void openDistinctValues(Dataset &query, const QString &column, const QString &table)
{
    openSql(query, QStringLiteral("select %1 from %2 group by %1 order by %1").arg(column, table));
}

void fillComboBox(Dataset &query, const QString &column, const QString &table, QComboBox *combo)
{
    combo->clear();
    combo->setEditText(QString());
    openDistinctValues(query, column, table);
    const int rows = query.recordCount();
    query.first();
    for (int i = 0; i < rows; ++i) {
        combo->addItem(query.textValue(column));
        query.next();
    }
    combo->setCurrentIndex(-1);
}

} // namespace mylib
