#include "PlanText.h"

#include <array>

namespace tunevale
{

namespace
{

enum class Word { Convert, Retag, Move, Delete, Gone, Unchanged, UserChanged, Unreadable, Copy, Count };

constexpr std::array<const char*, static_cast<std::size_t>(Word::Count)> Words = {
    "convert", "retag", "move", "delete", "gone", "unchanged", "user-changed", "unreadable", "copy"};

Word wordOf(const PlannedOutput& planned)
{
    switch (planned.action) {
    case SyncAction::Convert:
        return Word::Convert;
    case SyncAction::Retag:
        return Word::Retag;
    case SyncAction::Move:
        return Word::Move;
    case SyncAction::Unchanged:
        return Word::Unchanged;
    case SyncAction::Gone:
        return planned.deleteOutput ? Word::Delete : Word::Gone;
    case SyncAction::UserChanged:
        return Word::UserChanged;
    case SyncAction::Unreadable:
        return Word::Unreadable;
    case SyncAction::Copy:
        return Word::Copy;
    }
    return Word::Unchanged;
}

std::string lineOf(const PlannedOutput& planned, Word word)
{
    std::string line = std::string(Words[static_cast<std::size_t>(word)]) + ' ';
    switch (word) {
    case Word::Move:
        line += planned.previousOutput + " -> " + planned.output;
        break;
    case Word::Convert:
    case Word::Copy:
        line += planned.source + " -> " + planned.output;
        break;
    case Word::Delete:
    case Word::UserChanged:
        line += planned.output;
        break;
    default:
        line += planned.source;
        break;
    }
    return line + '\n';
}

} // namespace

std::string planText(const SyncPlan& plan)
{
    std::array<std::size_t, static_cast<std::size_t>(Word::Count)> counts{};
    std::string text;
    for (const auto* list : {&plan.outputs, &plan.copies})
        for (const auto& planned : *list) {
            const auto word = wordOf(planned);
            ++counts[static_cast<std::size_t>(word)];
            text += lineOf(planned, word);
        }
    std::string summary;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        summary += summary.empty() ? "" : ", ";
        summary += std::to_string(counts[i]) + ' ' + Words[i];
    }
    return text + summary + '\n';
}

} // namespace tunevale
