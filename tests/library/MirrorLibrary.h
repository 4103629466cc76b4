#pragma once

#include "LibraryRecords.h"
#include "SyncPlan.h"
#include "TaggedSources.h"
#include "TestSupport.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <sys/stat.h>

namespace tunevale::test
{

// A generated music library: 3 artists x 2 albums x 4 FLAC tracks with tags and covers, each track
// a tone of its own; both albums of the first artist have the same track names; the names and tags
// hold Unicode and characters FAT refuses; one album has a cover.jpg beside its tracks.
inline const std::filesystem::path& generatedLibrary()
{
    static TempDir dir;
    static const std::filesystem::path root = [] {
        const auto source = dir / "library";
        const auto cover = dir / "cover.jpg";
        makeCover(cover, "blue");
        const std::string artists[] = {"A Ünï: One?", "Second \"Band\"", "三番目"};
        int frequency = 300;
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 2; ++b) {
                const std::string album =
                    a == 0 ? "Album " + std::to_string(b + 1) : "Disc <" + std::to_string(b) + ">";
                const auto folder = source / artists[a] / album;
                std::filesystem::create_directories(folder);
                for (int t = 1; t <= 4; ++t) {
                    const std::string title = a == 0
                                                  ? "Intro " + std::to_string(t)
                                                  : "Song|" + std::to_string(a) + std::to_string(b) + std::to_string(t);
                    SourceTags tags;
                    tags.title = title;
                    tags.artist = artists[a];
                    tags.album = album;
                    tags.track = static_cast<unsigned>(t);
                    tags.trackTotal = 4;
                    tags.date = "2020";
                    auto arguments =
                        std::vector<std::string>{"-f",
                                                 "lavfi",
                                                 "-i",
                                                 "sine=frequency=" + std::to_string(frequency += 37) + ":duration=0.2",
                                                 "-i",
                                                 cover.string(),
                                                 "-map",
                                                 "0",
                                                 "-map",
                                                 "1",
                                                 "-c:v",
                                                 "copy",
                                                 "-disposition:v",
                                                 "attached_pic"};
                    const auto metadata = metadataArguments(tags);
                    arguments.insert(arguments.end(), metadata.begin(), metadata.end());
                    arguments.push_back((folder / ("0" + std::to_string(t) + " " + title + ".flac")).string());
                    ffmpeg(arguments);
                }
                if (a == 1 && b == 0)
                    std::filesystem::copy_file(cover, folder / "cover.jpg");
            }
        return source;
    }();
    return root;
}

// A source and its mirror in a fresh temporary folder, and a stand-in for the sync that carries out
// a plan on real files: outputs are written (their bytes name the source), moved, retagged
// (rewritten) or deleted, and the rows that a sync would store are kept.
class Mirror
{
public:
    Mirror()
    {
        std::filesystem::copy(generatedLibrary(), source, std::filesystem::copy_options::recursive);
        std::filesystem::create_directories(dest);
    }

    std::filesystem::path file(const std::string& relative) const { return source / relative; }

    StampInMirror stampInMirror() const
    {
        return [this](const std::string& output) -> std::optional<FileStamp> {
            struct stat status {
            };
            if (::stat((dest / output).c_str(), &status) != 0)
                return std::nullopt;
            return FileStamp{static_cast<std::uint64_t>(status.st_size),
                             status.st_mtim.tv_sec * 1'000'000'000LL + status.st_mtim.tv_nsec};
        };
    }

    void apply(const SyncPlan& plan, const SyncOptions& options)
    {
        for (const auto& planned : plan.outputs)
            applyOutput(planned, options);
        for (const auto& planned : plan.copies)
            applyCopy(planned);
    }

    std::vector<OutputRecord> outputRows() const
    {
        std::vector<OutputRecord> rows;
        for (const auto& [source, row] : m_outputs)
            rows.push_back(row);
        return rows;
    }
    std::vector<CopyRecord> copyRows() const
    {
        std::vector<CopyRecord> rows;
        for (const auto& [source, row] : m_copies)
            rows.push_back(row);
        return rows;
    }

    TempDir dir;
    const std::filesystem::path source = dir / "source";
    const std::filesystem::path dest = dir / "dest";

private:
    void write(const std::string& output, const std::string& bytes)
    {
        std::filesystem::create_directories((dest / output).parent_path());
        writeFile(dest / output, bytes);
    }

    void applyOutput(const PlannedOutput& planned, const SyncOptions& options)
    {
        auto row = m_outputs[planned.source];
        switch (planned.action) {
        case SyncAction::Convert:
            write(planned.output, "encoded " + planned.source);
            if (!planned.previousOutput.empty())
                std::filesystem::remove(dest / planned.previousOutput);
            break;
        case SyncAction::Move:
            row = m_outputs[planned.previousSource];
            m_outputs.erase(planned.previousSource);
            std::filesystem::create_directories((dest / planned.output).parent_path());
            std::filesystem::rename(dest / planned.previousOutput, dest / planned.output);
            if (planned.retag)
                write(planned.output, readFile(dest / planned.output) + " retagged");
            break;
        case SyncAction::Retag:
            if (!planned.previousOutput.empty()) {
                std::filesystem::create_directories((dest / planned.output).parent_path());
                std::filesystem::rename(dest / planned.previousOutput, dest / planned.output);
            }
            write(planned.output, readFile(dest / planned.output) + " retagged");
            break;
        case SyncAction::Unchanged:
            if (!planned.refreshRecord)
                return;
            break;
        case SyncAction::Gone:
            if (planned.deleteOutput)
                std::filesystem::remove(dest / planned.output);
            if (planned.forgetRecord)
                m_outputs.erase(planned.source);
            return;
        default:
            return;
        }
        row.source = planned.source;
        row.sourceStamp = planned.sourceStamp;
        row.audioIdentity = planned.facts.audioIdentity;
        row.tagsHash = planned.facts.tagsHash;
        row.settings = options.settings;
        row.output = planned.output;
        row.outputStamp = *stampInMirror()(planned.output);
        m_outputs[planned.source] = row;
    }

    void applyCopy(const PlannedOutput& planned)
    {
        if (planned.action == SyncAction::Copy) {
            std::filesystem::create_directories((dest / planned.output).parent_path());
            std::filesystem::copy_file(source / planned.source, dest / planned.output,
                                       std::filesystem::copy_options::overwrite_existing);
            m_copies[planned.source] = {planned.source, planned.sourceStamp, planned.output,
                                        *stampInMirror()(planned.output)};
        } else if (planned.action == SyncAction::Gone) {
            if (planned.deleteOutput)
                std::filesystem::remove(dest / planned.output);
            if (planned.forgetRecord)
                m_copies.erase(planned.source);
        }
    }

    std::map<std::string, OutputRecord> m_outputs;
    std::map<std::string, CopyRecord> m_copies;
};

} // namespace tunevale::test
