#pragma once

class Dataset;

// Reloads every record of table data into the ledger dataset and makes the last one
// current, so the grid shows the end of the list. A reload that fails leaves the
// ledger's rows as they were.
void showAllRecords(Dataset &ledger);
