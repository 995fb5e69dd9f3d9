#pragma once

#include <QList>
#include <QString>
#include <optional>
#include <utility>

// A section of an INI text file, read and written the way Windows' private-profile
// functions treat it: section and key names match regardless of letter case, keys and
// values are trimmed, a value in matching quotes loses them, and writing a key
// replaces its line in place or adds it at the end of the section, leaving every
// other line of the file as it was.
//
// Written as plain text by our own code: keys such as "(Default)" and "DBGridEh1.4"
// stay exactly as Windows writes them, so files can move between the two.
namespace IniFile {

using Entries = QList<std::pair<QString, QString>>;

// The section's keys and values in file order; a missing file or section reads as empty.
Entries readSection(const QString &path, const QString &section);
// The value of a key in entries read by readSection.
std::optional<QString> find(const Entries &entries, const QString &key);

// Writes the keys into the section, creating the file and the section as needed.
// The file is replaced in one step, so a failure leaves it as it was. Raises
// AppError("Unable to write to <path>") when it cannot be written.
void writeValues(const QString &path, const QString &section, const Entries &values);

// The numbers of a value such as "0,64,0,1,0,7,0": blanks and commas both separate,
// empty fields between separators are skipped, and a field that is not a whole
// number reads as nothing.
QList<std::optional<int>> numberList(const QString &value);

} // namespace IniFile
