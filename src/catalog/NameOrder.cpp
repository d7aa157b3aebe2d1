#include "catalog/NameOrder.h"

#include <algorithm>
#include <utility>
#include <vector>

bool NameSortsBefore(const QString& foldedA, const QString& a, const QString& foldedB, const QString& b)
{
    const int folded = foldedA.compare(foldedB);
    return folded != 0 ? folded < 0 : a < b;
}

QStringList SortedNames(const QStringList& names)
{
    std::vector<std::pair<QString, QString>> keyed;
    keyed.reserve(size_t(names.size()));
    for (const QString& name : names)
        keyed.emplace_back(name.toCaseFolded(), name);
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& x, const auto& y) {
        return NameSortsBefore(x.first, x.second, y.first, y.second);
    });
    QStringList sorted;
    sorted.reserve(names.size());
    for (auto& entry : keyed)
        sorted.append(std::move(entry.second));
    return sorted;
}
