#pragma once

#include <QString>
#include <QStyledItemDelegate>

class CSettingsFile;
class QTreeWidget;

// Paints the cells of one of the window's lists in the row colours of the
// settings file (keys prefix + "Row0"/"Row1" + "BkColor"/"TextColor"), the
// first selected row white on blue, with thin grid lines. The list is flat:
// a cell's row is its display position. The settings object and the path
// belong to the window, which outlives the delegate; the delegate installs
// itself on the list and is owned by it.
class CRowColourDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    CRowColourDelegate(const CSettingsFile* settings, const QString* settingsPath, QString prefix,
                       QTreeWidget* list);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    int FirstSelectedRow() const;

    const CSettingsFile* m_settings;
    const QString* m_settingsPath;
    QString m_prefix;
    QTreeWidget* m_list;
};
