#pragma once

#include "MessageBox.h"

class QWidget;

namespace tunevale
{

// Message boxes as QMessageBox dialogs, modal over the main window.
class QtMessageBox : public MessageBox
{
public:
    explicit QtMessageBox(QWidget* owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget* owner) { m_owner = owner; }

    MessageAnswer show(const std::string& text, const std::string& title, MessageIcon icon,
                       MessageButtons buttons) override;

private:
    QWidget* m_owner;
};

} // namespace tunevale
