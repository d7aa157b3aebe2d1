#include "catalog/NameOrder.h"

bool NameSortsBefore(const QString& foldedA, const QString& a, const QString& foldedB, const QString& b)
{
    const int folded = foldedA.compare(foldedB);
    return folded != 0 ? folded < 0 : a < b;
}
