#include "InspectAhead.h"

#include <atomic>
#include <memory>
#include <thread>
#include <unordered_map>

namespace tunevale
{

InspectSource inspectAhead(const std::vector<ScannedFile>& scan, const std::vector<OutputRecord>& rows,
                           const SyncOptions& options, InspectSource inspect, unsigned threads)
{
    std::unordered_map<std::string, FileStamp> stamps;
    for (const auto& row : rows)
        stamps.emplace(row.source, row.sourceStamp);
    const auto isAudio = options.isAudio ? options.isAudio : isMirroredAudio;
    std::vector<const ScannedFile*> wanted;
    for (const auto& file : scan) {
        const auto row = stamps.find(file.path);
        if (isAudio(file.path) && (row == stamps.end() || row->second != file.stamp))
            wanted.push_back(&file);
    }

    auto read = std::make_shared<std::vector<std::optional<SourceFacts>>>(wanted.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < wanted.size(); i = next++)
            (*read)[i] = inspect(wanted[i]->path);
    };
    std::vector<std::thread> workers;
    for (unsigned i = 1; i < threads && i < wanted.size(); ++i)
        workers.emplace_back(work);
    work();
    for (auto& worker : workers)
        worker.join();

    auto index = std::make_shared<std::unordered_map<std::string, std::size_t>>();
    for (std::size_t i = 0; i < wanted.size(); ++i)
        index->emplace(wanted[i]->path, i);
    return [read, index, inspect = std::move(inspect)](const std::string& source) -> std::optional<SourceFacts> {
        const auto found = index->find(source);
        return found != index->end() ? (*read)[found->second] : inspect(source);
    };
}

} // namespace tunevale
