#pragma once

#include "MessageBox.h"

#include <deque>
#include <string>
#include <vector>

namespace tunevale::test
{

// Stands in for the window's message boxes: records each one instead of showing it. Questions take
// the queued answers in turn, then questionAnswer; a box with only OK can only answer Ok.
class RecordingMessageBox : public MessageBox
{
public:
    struct Shown {
        std::string text, title;
        MessageIcon icon;
        MessageButtons buttons;
    };
    std::vector<Shown> shown;
    std::deque<MessageAnswer> answers;
    MessageAnswer questionAnswer = MessageAnswer::Cancel;

    MessageAnswer show(const std::string& text, const std::string& title, MessageIcon icon,
                       MessageButtons buttons) override
    {
        shown.push_back({text, title, icon, buttons});
        if (buttons == MessageButtons::Ok)
            return MessageAnswer::Ok;
        if (answers.empty())
            return questionAnswer;
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<std::string> texts() const
    {
        std::vector<std::string> all;
        for (const Shown& box : shown)
            all.push_back(box.text);
        return all;
    }
};

} // namespace tunevale::test
