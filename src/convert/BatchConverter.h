#pragma once

#include "ConversionFlags.h"

#include <functional>
#include <optional>
#include <string>

namespace tunevale
{

class EventPump;
class FormatWriters;
class JobList;
class MessageBox;
struct OutputSettings;

// One conversion run over the job list (ConvertFiles): every waiting or cancelled job, or only the
// ticked ones, in table order, each handed to the writer of the chosen format. UI thread.
class BatchConverter
{
public:
    // The output path for a source and extension: a name, "" when none could be given (the job
    // ends "Error"), or nothing when the output folder could not be created (the job is skipped
    // and keeps its Status).
    using OutputNamer =
        std::function<std::optional<std::string>(const std::string& source, const std::string& extension)>;

    BatchConverter(JobList& jobs, const OutputSettings& settings, FormatWriters& writers, EventPump& events,
                   ConversionFlags& flags, OutputNamer outputName, std::function<void()> stopPreview);

    // Runs one pass; true when at least one job was started. bConverting is true throughout.
    bool ConvertFiles(bool bSelectedOnly);

private:
    bool takes(std::size_t row, bool bSelectedOnly) const;
    void convertRow(std::size_t row);

    JobList& m_jobs;
    const OutputSettings& m_settings;
    FormatWriters& m_writers;
    EventPump& m_events;
    ConversionFlags& m_flags;
    OutputNamer m_outputName;
    std::function<void()> m_stopPreview;
};

// The output namer of the window: GetOutputFileName with the settings of the run.
BatchConverter::OutputNamer outputNamer(const OutputSettings& settings, MessageBox& messages);

} // namespace tunevale
