#pragma once

#include "connection.h"
#include "datagrid.h"
#include "datamodule.h"
#include "ledgergrid.h"
#include "testworkspace.h"

#include <QDate>
#include <QVariant>

// One sales record for a fixture; numbers left invalid are stored as nulls.
struct Sale
{
    QString category;
    QString name;
    QVariant total;  // "6"
    QVariant profit; // "4"
    QVariant owed;   // "5"
    QDate day = QDate(2014, 3, 12);
    QString flag = QStringLiteral("1");
    QString code = QStringLiteral("SP1");
    QString model = {};
};

inline void addSale(Connection &connection, const Sale &sale)
{
    connection.execute(QStringLiteral("insert into data (a,b,c,d,\"1\",\"2\",\"3\",\"6\",\"4\",\"5\",e,f,h,z,day1,o) "
                                      "values (?,?,?,?,1,2,1,?,?,?,'','','','',?,?)"),
                       {sale.category, sale.name, sale.code, sale.model, sale.total, sale.profit, sale.owed,
                        sale.day, sale.flag});
}

// A fresh data.mdb with the ledger grid attached to its ledger dataset, shown at the
// main window's width. Members go in the reverse order of their creation.
struct LedgerGridFixture
{
    LedgerGridFixture() : LedgerGridFixture(QString()) {}
    // On the server at `serverAddress` (a PrivateServer's); empty: the engine under test.
    explicit LedgerGridFixture(const QString &serverAddress)
        : workspace(workspaceOn(serverAddress)), data(workspace.dataSource()), controller(configured(grid))
    {
        controller.attach(data.ADOQuery15);
        grid.resize(929, 300);
        grid.show();
    }

    TestWorkspace workspace;
    Tdmfm data;
    DataGrid grid;
    LedgerController controller;

private:
    static TestWorkspace workspaceOn(const QString &serverAddress)
    {
        if (serverAddress.isEmpty())
            return TestWorkspace();
        return TestWorkspace(TestWorkspace::Database::Fresh, serverAddress);
    }
    static DataGrid &configured(DataGrid &grid)
    {
        LedgerGrid::configure(grid);
        return grid;
    }
};
