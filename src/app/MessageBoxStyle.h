#pragma once

#include <QMessageBox>

// How a platform message-box style (type, icon and default-button bits)
// looks as a QMessageBox. Only the OK and Yes/No types are used; any other
// type shows an OK button.
struct MessageBoxLook {
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton;
};

MessageBoxLook MessageBoxLookFor(unsigned style);

// The platform answer (kIdOk, kIdYes, kIdNo) for the button that closed a
// box of the given style; a Yes/No box closed otherwise answers No.
int MessageAnswerFor(unsigned style, QMessageBox::StandardButton clicked);
