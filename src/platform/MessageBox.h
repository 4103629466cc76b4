#pragma once

#include <string>

namespace tunevale
{

enum class MessageIcon { None, Information, Exclamation, Critical, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// Modal message box shown to the user; UI thread only; texts are UTF-8 and may hold "\r\n".
class MessageBox
{
public:
    virtual ~MessageBox() = default;
    virtual MessageAnswer show(const std::string& text, const std::string& title, MessageIcon icon,
                               MessageButtons buttons) = 0;
};

} // namespace tunevale
