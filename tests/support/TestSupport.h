#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tunevale::test
{

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

struct ProgramResult {
    int exitCode = -1;  // -1 when the program could not start or was killed
    std::string output; // standard output and standard error together
};

// Polls condition every pollMs until it holds or timeoutMs has passed; its last answer.
bool eventually(const std::function<bool()>& condition, int timeoutMs, int pollMs = 10);

// Runs a program with an argument vector (no shell), waiting at most timeoutSeconds.
ProgramResult runProgram(const std::vector<std::string>& argv, int timeoutSeconds = 120);

// Runs a program that only reads file (named among its arguments) and prints what it finds; a
// successful answer is kept in the build's fixture cache for the same file contents and arguments.
ProgramResult runProgramOnFile(const std::vector<std::string>& argv, const std::filesystem::path& file);

// Runs ffmpeg quietly with the given arguments and "-y"; an output file that an earlier run made
// from the same inputs comes from the build's fixture cache instead (exit code 0, no output).
ProgramResult runFfmpeg(const std::vector<std::string>& arguments);
// runFfmpeg, failing the calling test when ffmpeg fails.
void ffmpeg(const std::vector<std::string>& arguments);

// Writes a sine tone made by ffmpeg: seconds long, at rate and channel count, encoded by the
// arguments given (for example {"-c:a", "flac"}); the format follows the file's extension.
std::filesystem::path makeTone(const std::filesystem::path& file, double seconds, int rate = 44100, int channels = 2,
                               const std::vector<std::string>& encoding = {});

// The names in a folder, sorted.
std::vector<std::string> namesIn(const std::filesystem::path& folder);

// Reads a whole file.
std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, const std::string& bytes);
// Writes a /bin/sh script with the given body and makes it executable by its owner.
std::filesystem::path writeScript(const std::filesystem::path& file, const std::string& body);

// The lines of a text, without their line ends (a last line without one is left out).
std::vector<std::string> lines(const std::string& text);

// The process ids whose parent is this process, zombies included, read from /proc.
std::vector<int> childProcesses();

// The value of one ffprobe entry such as "stream=codec_name" or "format=duration" for the first
// audio stream ("" when absent).
std::string ffprobe(const std::filesystem::path& file, const std::string& entry);

} // namespace tunevale::test
