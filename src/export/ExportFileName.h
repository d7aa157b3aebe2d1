#pragma once

#include <QString>

// The name the export writes to once the save dialog has answered. With the
// text filter chosen, a name that does not end in ".txt" gets it: the
// default name "host-database" often holds dots ("127.0.0.1-shop"), which
// the dialog's default suffix takes for a suffix of its own.
QString ExportFileName(const QString& chosen, bool textFilter);
