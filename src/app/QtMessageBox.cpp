#include "QtMessageBox.h"

#include <QMessageBox>

namespace tunevale
{

namespace
{

QMessageBox::Icon qtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons qtButtons(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MessageButtons::Ok:
        break;
    }
    return QMessageBox::Ok;
}

} // namespace

MessageAnswer QtMessageBox::show(const std::string& text, const std::string& title, MessageIcon icon,
                                 MessageButtons buttons)
{
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(qtIcon(icon), QString::fromStdString(title), shown, qtButtons(buttons), m_owner);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    case QMessageBox::Cancel:
        return MessageAnswer::Cancel;
    default:
        // Closing a box without a Cancel button counts as its only answer.
        return buttons == MessageButtons::YesNoCancel || buttons == MessageButtons::OkCancel ? MessageAnswer::Cancel
               : buttons == MessageButtons::YesNo                                            ? MessageAnswer::No
                                                                                             : MessageAnswer::Ok;
    }
}

} // namespace tunevale
