#include "app/SchemaDlg.h"

// The listings, the description updates and the export fill these in.

void CSchemaDlg::OnExport() {}
