#include "app/AboutDlg.h"

#include "app/DialogUnits.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    const CDialogUnits du(font());
    setWindowTitle(QStringLiteral("About Velmora"));
    setFixedSize(du.X(235), du.Y(55));

    // A static icon keeps the icon's own 32x32 size; only its place is in
    // dialog units.
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/velmora.png")).pixmap(32, 32));
    icon->setGeometry(du.X(11), du.Y(17), 32, 32);

    auto* text = new QLabel(QStringLiteral("Velmora Version 23.16.10.23"), this);
    text->setGeometry(du.Rect(40, 10, 119, 8));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setGeometry(du.Rect(178, 7, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
