#include "app/SchemaDlg.h"

// The listings, the description updates and the export fill these in.

void CSchemaDlg::OnConnect() {}
void CSchemaDlg::OnItemChangedDatabaseList() {}
void CSchemaDlg::OnItemChangedTableList() {}
void CSchemaDlg::OnColumnSelected() {}
void CSchemaDlg::OnUpdateTableDescription() {}
void CSchemaDlg::OnUpdateColumnDescription() {}
void CSchemaDlg::OnExport() {}
