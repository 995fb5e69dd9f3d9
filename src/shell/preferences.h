#pragma once

#include <QDate>
#include <QString>
#include <QVariant>
#include <optional>

class DataGrid;

// The skin the operator chose, remembered per user in the settings value "skin" of
// Vantrel/quillmora, and restored at start.
namespace SkinPreference {

// Applies stored skin `index` and remembers it.
void choose(int index);
// Applies the remembered skin; a missing or unusable value leaves the look alone.
void restore();
// The skin a stored value names: exactly "0" … "5" as text ("5" names no stored skin
// and so changes nothing when applied); anything else, blanks or another type
// included, names none.
std::optional<int> indexFromStored(const QVariant &value);

} // namespace SkinPreference

// The ledger grid's column layout in the section "test" of quillmora.ini in the
// user's configuration folder, the same keys and numbers as the Windows version's file.
namespace LayoutPreference {

QString filePath();
inline const QString kSection = QStringLiteral("test");

// "保存列宽"; raises AppError("Unable to write to <file>").
void save(const DataGrid &grid);
// "读取列宽", also the first thing the main window does when shown.
void restore(DataGrid &grid);

} // namespace LayoutPreference

// When a user still on the initial password was last reminded of it: at most once a
// day per user, kept with this user's settings.
namespace PasswordReminder {

bool due(const QString &userName, const QDate &today);
void reminded(const QString &userName, const QDate &today);

} // namespace PasswordReminder
