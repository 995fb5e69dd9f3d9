// The sales ledger library; its classes arrive with the ledger grid and entry panel.
