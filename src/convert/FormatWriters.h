#pragma once

#include "Engine.h"
#include "JobContext.h"

#include <array>
#include <functional>
#include <optional>
#include <string>

namespace tunevale
{

class ErrorLog;
class WmaBitrateListView;
enum class FileFormat;
struct OutputSettings;

// The output extension of a member of optFileFormat: "wav", "wma", "mp3", "ogg", "mp3".
std::string outputExtension(FileFormat format);

// Hands a job to the writer of the chosen format, with the options read from the settings at the
// moment the job starts. Holds what the writers share: the engine, the error log, the WMA tag names.
class FormatWriters
{
public:
    // The encoder program and arguments for an MP3, OGG or "Ipod Default" job; nothing when the
    // settings choose none of the three modes.
    using EncoderCommandBuilder =
        std::function<std::optional<EncoderCommand>(const OutputSettings& settings, const std::string& outFile)>;

    FormatWriters(Engine& engine, ErrorLog& log, std::array<std::string, 8> wmaTagNames,
                  EncoderCommandBuilder encoderCommand, WmaBitrateListView* bitrateView = nullptr);

    // Converts one job; the job's Status ends with the writer's word. A job for which the
    // settings give no encoder command is left untouched (nothing returned).
    std::optional<JobOutcome> convert(const OutputSettings& settings, FileFormat format, const std::string& origfile,
                                      const std::string& outFile, JobContext& context);

    Engine& engine() { return m_engine; }

private:
    Engine& m_engine;
    ErrorLog& m_log;
    std::array<std::string, 8> m_wmaTagNames;
    EncoderCommandBuilder m_encoderCommand;
    WmaBitrateListView* m_bitrateView;
};

} // namespace tunevale
