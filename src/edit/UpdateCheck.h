#pragma once

#include "edit/DescriptionUpdate.h"

#include <QStringList>

// Compares what the server holds after a write with what was typed;
// `changes` names the column's facts that differ after the write ("NAME=
// before\nNAME=after" each), when there are any.
UpdateResult Checked(const QString& stored, const QString& typed, const QStringList& changes = {});
