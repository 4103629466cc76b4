#include "JobReporter.h"

#include "Job.h"
#include "TerminalText.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace tunevale
{

namespace
{

// Redrawn at most this often unless a job has ended meanwhile: a terminal need not see every chunk.
constexpr auto kStatusInterval = std::chrono::milliseconds(200);

std::string clockText(double seconds)
{
    const long total = std::lround(std::max(0.0, seconds));
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

QString text(const std::string& s)
{
    return QString::fromStdString(s);
}

// A path as JSON carries it: as text, and when that text cannot hold its bytes (not UTF-8), the
// exact bytes too, in base64 under name + "_bytes", so that a script can still find the file.
void insertPath(QJsonObject& object, const char* name, const std::string& path)
{
    object.insert(QLatin1String(name), text(path));
    if (!isValidUtf8(path))
        object.insert(QLatin1String(name) + QLatin1String("_bytes"),
                      QString::fromLatin1(QByteArray::fromStdString(path).toBase64()));
}

QJsonValue rounded(double value, double scale)
{
    return std::isfinite(value) ? QJsonValue(std::round(value * scale) / scale) : QJsonValue(QJsonValue::Null);
}

QJsonObject loudnessObject(const JobLoudness& loudness)
{
    QJsonObject object;
    object.insert(QStringLiteral("integrated"),
                  loudness.integrated ? rounded(*loudness.integrated, 100) : QJsonValue());
    object.insert(QStringLiteral("range"), rounded(loudness.range, 100));
    object.insert(QStringLiteral("peak"), rounded(loudness.peakDb, 100));
    object.insert(QStringLiteral("peakKind"), loudness.peakKind == PeakKind::True ? "true" : "sample");
    object.insert(QStringLiteral("trackGain"), rounded(loudness.trackGain, 100));
    object.insert(QStringLiteral("trackPeak"), rounded(loudness.trackPeak, 1e6));
    object.insert(QStringLiteral("appliedGain"), rounded(loudness.appliedGain, 100));
    return object;
}

} // namespace

const char* outcomeText(JobReport::Outcome outcome)
{
    switch (outcome) {
    case JobReport::Outcome::Complete:
        return "Complete";
    case JobReport::Outcome::Error:
        return "Error";
    case JobReport::Outcome::Cancelled:
        return "Cancelled";
    case JobReport::Outcome::Refused:
        return "Refused";
    case JobReport::Outcome::Waiting:
        return "Waiting";
    case JobReport::Outcome::UpToDate:
        return JobStatus::UpToDate;
    case JobReport::Outcome::Kept:
        return "Kept";
    }
    return "Error";
}

std::string statusText(const BatchProgress& progress)
{
    std::string line = std::to_string(progress.done) + "/" + std::to_string(progress.total) + " done";
    if (!progress.measuring.empty()) {
        line += "  measuring";
        for (const double percent : progress.measuring)
            line += " " + std::to_string(static_cast<int>(percent)) + "%";
    }
    double doneShare = static_cast<double>(progress.done);
    for (const double percent : progress.running) {
        line += "  " + std::to_string(static_cast<int>(percent)) + "%";
        doneShare += percent / 100.0;
    }
    line += "  " + clockText(progress.elapsed) + " elapsed";
    if (doneShare > 0 && progress.total > 0) {
        const double left = progress.elapsed * (static_cast<double>(progress.total) - doneShare) / doneShare;
        line += ", about " + clockText(left) + " left";
    }
    return line;
}

JobReporter::JobReporter(std::FILE* out, Style style, bool failuresOnly, bool liveStatus)
    : m_out(out), m_style(style), m_failuresOnly(failuresOnly),
      m_liveStatus(liveStatus && style == Style::Lines && !failuresOnly)
{
}

void JobReporter::jobEnded(const JobReport& report)
{
    const bool succeeded =
        report.outcome == JobReport::Outcome::Complete || report.outcome == JobReport::Outcome::UpToDate;
    if (m_failuresOnly && succeeded)
        return;
    clearStatus();
    if (m_style == Style::Json) {
        QJsonObject object;
        insertPath(object, "source", report.source);
        insertPath(object, "output", report.output);
        // Lower case, words joined by "-": "complete", "up-to-date".
        object.insert(
            QStringLiteral("status"),
            QString::fromLatin1(outcomeText(report.outcome)).toLower().replace(QLatin1Char(' '), QLatin1Char('-')));
        object.insert(QStringLiteral("seconds"), report.seconds);
        object.insert(QStringLiteral("error"), text(report.error));
        object.insert(QStringLiteral("warning"), text(report.warning));
        if (!report.action.empty())
            object.insert(QStringLiteral("action"), text(report.action));
        if (report.verified)
            object.insert(QStringLiteral("verified"), true);
        if (report.loudness)
            object.insert(QStringLiteral("loudness"), loudnessObject(*report.loudness));
        if (!report.accurateRip.empty())
            object.insert(QStringLiteral("accuraterip"), text(report.accurateRip));
        std::fprintf(m_out, "%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
    } else {
        const std::string& detail = succeeded ? report.output : report.error;
        const std::string warning = report.warning.empty() ? "" : "\twarning: " + escapedText(report.warning);
        const std::string action = report.action.empty() ? "" : report.action + '\t';
        const std::string accurateRip =
            report.accurateRip.empty() ? "" : "\tAccurateRip: " + escapedText(report.accurateRip);
        std::fprintf(m_out, "%s\t%s%s\t%s%s%s\n", outcomeText(report.outcome), action.c_str(),
                     escapedText(report.source).c_str(), escapedText(detail).c_str(), warning.c_str(),
                     accurateRip.c_str());
    }
    std::fflush(m_out);
}

void JobReporter::progress(const BatchProgress& progress)
{
    if (!m_liveStatus)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!m_shownStatus.empty() && progress.done == m_shownDone && now - m_shownAt < kStatusInterval)
        return;
    const std::string line = statusText(progress);
    if (line == m_shownStatus)
        return;
    std::fprintf(m_out, "\r\033[K%s", line.c_str());
    std::fflush(m_out);
    m_shownStatus = line;
    m_shownDone = progress.done;
    m_shownAt = now;
}

void JobReporter::finish()
{
    clearStatus();
}

void JobReporter::clearStatus()
{
    if (m_shownStatus.empty())
        return;
    std::fprintf(m_out, "\r\033[K");
    std::fflush(m_out);
    m_shownStatus.clear();
}

} // namespace tunevale
