#pragma once

#include "Engine.h"
#include "JobContext.h"

#include <array>
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
    FormatWriters(Engine& engine, ErrorLog& log, std::array<std::string, 8> wmaTagNames,
                  WmaBitrateListView* bitrateView = nullptr);

    // Converts one job; the job's Status ends with the writer's word. An MP3/OGG job for which the
    // settings choose no encoder mode is left untouched (nothing returned).
    std::optional<JobOutcome> convert(const OutputSettings& settings, FileFormat format, const std::string& origfile,
                                      const std::string& outFile, JobContext& context);

    Engine& engine() { return m_engine; }

private:
    Engine& m_engine;
    ErrorLog& m_log;
    std::array<std::string, 8> m_wmaTagNames;
    WmaBitrateListView* m_bitrateView;
};

} // namespace tunevale
