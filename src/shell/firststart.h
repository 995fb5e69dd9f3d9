#pragma once

#include <QString>
#include <QStringList>

// Where the program works when the desktop menu starts it. The menu entry passes
// kDataFolderOption: the program then works in the user's data folder (created when
// missing) and, while that holds no ledger (no data.mdb, no database.conf, no server
// named with --database), offers to create or copy one. Without the option the program
// works in the folder it was started in, as it always has.
namespace FirstStart {

inline constexpr const char *kDataFolderOption = "--data-folder";

// $XDG_DATA_HOME/quillmora, usually ~/.local/share/quillmora.
QString dataFolder();

enum class Outcome {
    Continue, // go on and open the ledger of the working folder
    Quit,     // the user chose not to set up a ledger
    Failed,   // the data folder cannot be used; the error box has been shown
};

Outcome prepare(const QStringList &arguments);

} // namespace FirstStart
