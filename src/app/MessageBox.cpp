#include "app/MessageBoxStyle.h"
#include "app/SchemaDlg.h"

namespace {

constexpr unsigned kTypeMask = 0x0F;
constexpr unsigned kTypeYesNo = 0x04;
constexpr unsigned kIconMask = 0xF0;
constexpr unsigned kDefaultSecond = 0x100;

bool IsYesNo(unsigned style)
{
    return (style & kTypeMask) == kTypeYesNo;
}

} // namespace

MessageBoxLook MessageBoxLookFor(unsigned style)
{
    MessageBoxLook look{QMessageBox::NoIcon, QMessageBox::Ok, QMessageBox::Ok};
    switch (style & kIconMask) {
    case 0x10: look.icon = QMessageBox::Critical; break;
    case 0x20: look.icon = QMessageBox::Question; break;
    case 0x30: look.icon = QMessageBox::Warning; break;
    case 0x40: look.icon = QMessageBox::Information; break;
    default: break;
    }
    if (IsYesNo(style)) {
        look.buttons = QMessageBox::Yes | QMessageBox::No;
        look.defaultButton = (style & kDefaultSecond) ? QMessageBox::No : QMessageBox::Yes;
    }
    return look;
}

int MessageAnswerFor(unsigned style, QMessageBox::StandardButton clicked)
{
    if (!IsYesNo(style))
        return kIdOk;
    return clicked == QMessageBox::Yes ? kIdYes : kIdNo;
}

void CSchemaDlg::SetMessageAnswerer(MessageAnswerer answerer)
{
    m_answerer = std::move(answerer);
}

int CSchemaDlg::MessageBox(const QString& text, const QString& caption, unsigned style)
{
    // A closing window asks and tells nothing; a question gets its "no".
    if (m_closing)
        return MessageAnswerFor(style, QMessageBox::NoButton);
    if (m_answerer)
        return m_answerer(text, caption, style);
    const MessageBoxLook look = MessageBoxLookFor(style);
    QMessageBox box(look.icon, caption, text, look.buttons, this);
    box.setDefaultButton(look.defaultButton);
    box.exec();
    return MessageAnswerFor(style, box.standardButton(box.clickedButton()));
}
