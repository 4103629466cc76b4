#include "RunOutcomeLabel.h"

#include "RunOutcome.h"
#include "Theme.h"

namespace tunevale
{

namespace
{

QColor colourOf(JobState state)
{
    switch (state) {
    case JobState::Complete:
    case JobState::UpToDate:
        return theme::StatusGreen;
    case JobState::WaitingConversion:
        return theme::C4;
    default:
        return theme::StatusRed;
    }
}

} // namespace

RunOutcomeLabel::RunOutcomeLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::RichText);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void RunOutcomeLabel::showOutcome(const RunSummary& summary)
{
    QStringList parts;
    for (const RunOutcomePart& part : runOutcomeParts(summary))
        parts << QStringLiteral("<b style=\"color:%1\">%2</b>")
                     .arg(colourOf(part.state).name(), QString::fromStdString(part.text).toHtmlEscaped());
    setText(QStringLiteral("Last run: ") + parts.join(QStringLiteral(", ")));
}

} // namespace tunevale
