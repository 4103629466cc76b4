#pragma once

#include "SourceTags.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QString>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

namespace tunevale::test
{

// Keys compare without regard to case, as ffprobe's own dictionary does.
struct CaseFree {
    bool operator()(const std::string& a, const std::string& b) const
    {
        return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) < 0;
    }
};
using ProbedTags = std::multimap<std::string, std::string, CaseFree>;

// Every tag of the container and of the first audio stream, as ffprobe shows them.
inline ProbedTags probeTags(const std::filesystem::path& file)
{
    ProbedTags tags;
    for (const std::string entries : {"format_tags", "stream_tags"}) {
        const auto result = runProgramOnFile({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                                              entries, "-of", "default=noprint_wrappers=1", file.string()},
                                             file);
        std::istringstream lines(result.output);
        for (std::string line; std::getline(lines, line);) {
            const auto equals = line.find('=');
            if (line.starts_with("TAG:") && equals != std::string::npos)
                tags.emplace(line.substr(4, equals - 4), line.substr(equals + 1));
        }
    }
    return tags;
}

// The one value of a key, "" when absent; a key given twice fails the test.
inline std::string probed(const ProbedTags& tags, const std::string& key)
{
    EXPECT_LE(tags.count(key), 1u) << key << " is there more than once";
    const auto found = tags.find(key);
    return found == tags.end() ? std::string() : found->second;
}

// The bytes of the file's attached picture as ffmpeg extracts them ("" when there is none).
inline std::string probedCover(const std::filesystem::path& file)
{
    TempDir dir;
    const auto out = dir / "cover.bin";
    runFfmpeg({"-i", file.string(), "-map", "0:v:0?", "-c", "copy", "-frames:v", "1", "-f", "rawvideo", out.string()});
    return std::filesystem::exists(out) ? readFile(out) : std::string();
}

// The PCM ffmpeg decodes from the file's audio.
inline std::string decodedAudio(const std::filesystem::path& file)
{
    TempDir dir;
    const auto out = dir / "pcm.raw";
    const auto result = runFfmpeg({"-i", file.string(), "-map", "0:a:0", "-f", "s16le", out.string()});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    return readFile(out);
}

// Compares picture bytes without printing them.
inline ::testing::AssertionResult sameBytes(const std::string& actual, const TagPicture& expected)
{
    if (actual.size() == expected.bytes.size() &&
        std::equal(actual.begin(), actual.end(), expected.bytes.begin(),
                   [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; }))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << actual.size() << " bytes, expected " << expected.bytes.size()
                                         << (actual.size() == expected.bytes.size() ? " (different)" : "");
}

} // namespace tunevale::test
