#include "FixtureCache.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string_view>
#include <unistd.h>

namespace tunevale::test
{

std::uint64_t contentHash(std::string_view bytes)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char byte : bytes) {
        hash ^= byte;
        hash *= 1099511628211ull;
    }
    return hash;
}

namespace
{

namespace fs = std::filesystem;

std::string hex(std::uint64_t value)
{
    std::ostringstream text;
    text << std::hex << value;
    return text.str();
}

std::string contentsOf(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The program that runs under the name: a test may put another one first on PATH.
std::optional<fs::path> programOnPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const fs::path candidate = fs::path(folder.empty() ? "." : folder) / program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return fs::absolute(candidate);
    }
    return std::nullopt;
}

// The names in a folder with their sizes and times, to tell what a run wrote.
std::map<std::string, std::pair<std::uintmax_t, fs::file_time_type>> folderState(const fs::path& folder)
{
    std::map<std::string, std::pair<std::uintmax_t, fs::file_time_type>> state;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        std::error_code ignored;
        state[entry.path().filename()] = {entry.file_size(ignored), entry.last_write_time(ignored)};
    }
    return state;
}

} // namespace

FixtureCache::FixtureCache(std::filesystem::path folder) : m_folder(std::move(folder)) {}

std::optional<FixtureCache> FixtureCache::ofThisBuild()
{
    const char* chosen = std::getenv("TUNEVALE_FIXTURE_CACHE");
    const std::string folder = chosen ? chosen : TUNEVALE_FIXTURE_CACHE;
    if (folder.empty())
        return std::nullopt;
    return FixtureCache(folder);
}

std::optional<std::string> FixtureCache::keyOf(const std::vector<std::string>& arguments)
{
    if (arguments.empty())
        return std::nullopt;
    const fs::path output = arguments.back();
    if (!output.is_absolute() || !output.has_filename())
        return std::nullopt;
    const auto ffmpeg = programKey("ffmpeg");
    if (!ffmpeg)
        return std::nullopt;

    std::string key = *ffmpeg;
    std::error_code error;
    const std::string outputFolder = output.parent_path().string();
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const auto status = fs::status(argument, error);
        if (fs::is_regular_file(status)) {
            // An input counts by its contents: each test's copy lies in a folder of its own.
            key += "file " + hex(contentHash(contentsOf(argument))) + '\n';
            continue;
        }
        if (fs::exists(status) || argument.find(outputFolder) != std::string::npos)
            return std::nullopt;
        key += argument + '\n';
    }
    return key + output.filename().string();
}

std::optional<std::string> FixtureCache::programKey(const std::string& program)
{
    const auto found = programOnPath(program);
    if (!found)
        return std::nullopt;
    std::error_code error;
    const auto size = fs::file_size(*found, error);
    const auto time = fs::last_write_time(*found, error).time_since_epoch().count();
    if (error)
        return std::nullopt;
    return found->string() + '\n' + std::to_string(size) + '\n' + std::to_string(time) + '\n';
}

std::optional<std::string> FixtureCache::answer(const std::string& key) const
{
    std::error_code error;
    const fs::path kept = m_folder / (hex(contentHash(key)) + ".answer");
    if (!fs::is_regular_file(kept, error))
        return std::nullopt;
    return contentsOf(kept);
}

void FixtureCache::keepAnswer(const std::string& key, const std::string& text) const
{
    keepFile(m_folder / (hex(contentHash(key)) + ".answer"), [&](const fs::path& file) {
        std::ofstream out(file, std::ios::binary);
        out << text;
        return static_cast<bool>(out.flush());
    });
}

bool FixtureCache::make(const std::vector<std::string>& arguments, const std::function<bool()>& run) const
{
    const auto key = keyOf(arguments);
    if (!key)
        return run();
    const fs::path output = arguments.back();
    if (restore(*key, output))
        return true;
    auto before = folderState(output.parent_path());
    if (!run())
        return false;
    auto after = folderState(output.parent_path());
    before.erase(output.filename());
    after.erase(output.filename());
    if (before == after)
        keep(*key, output);
    return true;
}

bool FixtureCache::restore(const std::string& key, const std::filesystem::path& output) const
{
    std::error_code error;
    const fs::path kept = fileOf(key, output);
    if (!fs::is_regular_file(kept, error))
        return false;
    return fs::copy_file(kept, output, fs::copy_options::overwrite_existing, error) && !error;
}

void FixtureCache::keep(const std::string& key, const std::filesystem::path& output) const
{
    keepFile(fileOf(key, output), [&](const fs::path& file) {
        std::error_code error;
        return fs::copy_file(output, file, fs::copy_options::overwrite_existing, error) && !error;
    });
}

void FixtureCache::keepFile(const fs::path& kept, const std::function<bool(const fs::path&)>& write) const
{
    std::error_code error;
    fs::create_directories(m_folder, error);
    // Test programs run side by side: each writes a file of its own and renames it into place.
    fs::path partial = kept;
    partial += ".part" + std::to_string(std::random_device{}());
    if (write(partial))
        fs::rename(partial, kept, error);
    else
        error = std::make_error_code(std::errc::io_error);
    if (error)
        fs::remove(partial, error);
}

std::filesystem::path FixtureCache::fileOf(const std::string& key, const std::filesystem::path& output) const
{
    return m_folder / (hex(contentHash(key)) + "-" + output.filename().string());
}

} // namespace tunevale::test
