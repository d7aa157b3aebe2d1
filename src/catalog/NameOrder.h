#pragma once

#include <QString>

// The order of the window's lists: names compared without regard to letter
// case ("bare" before "Customers"), names equal but for case by their own
// text. The folded forms are passed in so a sort folds each name once.
bool NameSortsBefore(const QString& foldedA, const QString& a, const QString& foldedB, const QString& b);

