#include "JobContext.h"

#include "Engine.h"
#include "EngineErrorText.h"
#include "ErrorLog.h"

#include <charconv>

namespace tunevale
{

void reportProgress(JobContext& context, std::uint64_t position, std::uint64_t length)
{
    if (position == EngineFailure64 || length == EngineFailure64 || length == 0)
        return;
    const float fraction = static_cast<float>(position) / static_cast<float>(length);
    context.setProgress(fraction * 100.0f);
}

int engineFailureCode(Engine& engine)
{
    const int code = engine.ErrorGetCode();
    return code > 0 ? code : EngineCode::Unknown;
}

JobResult engineFailure(int code, const std::string& origfile, ErrorLog* log, const std::string& detail)
{
    if (log)
        log->append(code, origfile, detail);
    std::string reason = EngineErrorText(code);
    if (reason.empty())
        reason = "engine error " + std::to_string(code);
    if (const std::string said = joinedLines(detail); !said.empty())
        reason += ": " + said;
    return JobResult::error(std::move(reason));
}

std::string secondsText(double seconds)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed, 1);
    return std::string(buffer, result.ptr) + " s";
}

bool sourceDamaged(int code)
{
    return code == EngineCode::Truncated || code == EngineCode::Corrupt || code == EngineCode::CdReadError;
}

JobResult damagedSource(Engine& engine, std::uint32_t stream, int code, const std::string& origfile, ErrorLog& log)
{
    // A CD track names the sectors it could not read.
    if (const std::string where = engine.ErrorGetMessage(); !where.empty())
        return engineFailure(code, origfile, &log, where);
    const double decoded = engine.ChannelBytes2Seconds(stream, engine.ChannelGetPosition(stream, 0));
    const double stated = engine.ChannelBytes2Seconds(stream, engine.ChannelGetLength(stream, 0));
    return engineFailure(code, origfile, &log, "decoded " + secondsText(decoded) + " of " + secondsText(stated));
}

} // namespace tunevale
