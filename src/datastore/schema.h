#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

class Connection;
class DataSource;

// The file the application works on, and how a new one is laid out.
namespace Schema {

inline constexpr const char *kDatabaseFileName = "data.mdb";
// The data module's password for the encrypted file.
QByteArray databaseKey();

// Each user's role (username, role); see UserRoles. Made with a new ledger and added
// when an older one is opened; not among tables(), which a ledger must hold.
inline constexpr const char *kUserRoles = "user_roles";
// The payments customers made on what they owed: one row per payment (time, customer,
// amount, operator, terminal), and one row per sale it reduced with the amount taken
// from that sale (keyed like the sale's origin: by the sale's row key, or by its row in
// the recycle bin while it is there).
inline constexpr const char *kPayments = "payments";
inline constexpr const char *kPaymentSales = "payment_sales";

// The ledger's tables, in alphabetical order.
const QStringList &tables();
// The tables a ledger holds beside those: the recycle bin, the history of changes,
// the users' roles, the sales' origins and the customers' payments. A ledger made before one of them gets it
// when opened; a backup may lack them, but holds no table outside both lists.
const QStringList &addedTables();

// Creates the three tables and their index in an empty database, with the recycle bin
// and the history of changes beside them (SaleJournal).
void createTables(Connection &connection);

// The same inside a transaction the caller holds.
void addTables(Connection &connection);
// On a server: the index of each ledger grid column that a sort counts and reads its
// runs through. Made after a ledger's rows are loaded, which is quicker than keeping
// them up during the load; a ledger without them gets each at its first sort.
void addSortIndexes(Connection &connection);
// After rows were copied in with their ids: new session rows continue after them.
void continueKeys(Connection &connection);

// How many characters of a goods code or name the look-up indexes hold; a look-up
// compares this prefix first (see addLookupIndexes), then the whole text.
inline constexpr int kLookupPrefix = 100;
// The indexes that find the latest sale of a goods code or name; made when missing.
void addLookupIndexes(Connection &connection);

// Opens an existing ledger: the one place that decides whether a file is one. A file
// that cannot be opened, an empty file, and a database without the three tables are
// all refused with DatabaseOpenError, and the file is left as it was. Whatever asks
// about a file of another kind must ask before this. A ledger without the recycle bin
// and history tables gets them here.
std::unique_ptr<Connection> openLedger(const QString &path);
// The same for either engine: a server that cannot be reached, refuses the login or
// lacks the tables is refused with DatabaseOpenError in the client library's words.
std::unique_ptr<Connection> openLedger(const DataSource &source);

} // namespace Schema
