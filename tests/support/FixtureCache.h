#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunevale::test
{

// FNV-1a of the bytes: stable across runs and builds, unlike std::hash.
std::uint64_t contentHash(std::string_view bytes);

// Files made by ffmpeg, kept in a folder so that a later run with the same arguments, the same
// input files and the same ffmpeg is answered with a copy of the file instead of running again.
// Only runs whose one effect is their output file (the last argument) are kept.
class FixtureCache
{
public:
    explicit FixtureCache(std::filesystem::path folder);

    // The build's cache, or the folder named by $TUNEVALE_FIXTURE_CACHE; none when that is empty.
    static std::optional<FixtureCache> ofThisBuild();

    // The key of an ffmpeg run (its arguments after the program's name), or none when the run
    // reads a folder or refers to files other than its inputs and its output.
    static std::optional<std::string> keyOf(const std::vector<std::string>& arguments);

    // Makes the output of an ffmpeg run (its arguments after the program's name): a copy of the
    // file kept for the same run, or else what run() makes, kept when it succeeded and wrote
    // nothing else into the output's folder. False when run() failed.
    bool make(const std::vector<std::string>& arguments, const std::function<bool()>& run) const;

    // The identity of the program that runs under this name (its path on PATH, size and time), for
    // keys of answers; none when it is not found.
    static std::optional<std::string> programKey(const std::string& program);
    // A program's answer kept under key (what it printed of files named in the key by content),
    // or none; answer() and keepAnswer() let a later test program skip running it again.
    std::optional<std::string> answer(const std::string& key) const;
    void keepAnswer(const std::string& key, const std::string& text) const;

private:
    bool restore(const std::string& key, const std::filesystem::path& output) const;
    void keep(const std::string& key, const std::filesystem::path& output) const;
    void keepFile(const std::filesystem::path& kept,
                  const std::function<bool(const std::filesystem::path&)>& write) const;
    std::filesystem::path fileOf(const std::string& key, const std::filesystem::path& output) const;

    std::filesystem::path m_folder;
};

} // namespace tunevale::test
