#pragma once

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tunevale::test
{

struct CliResult {
    int exitCode = -1; // -1 when the program could not start or did not end in time
    std::string out;   // standard output
    std::string err;   // standard error
};

// A run of the built tunevale-cli in a home of its own: settings store, state and cache folders,
// a folder of sources, and optionally encoders on PATH that record their arguments.
class CliHarness
{
public:
    CliHarness();
    ~CliHarness();
    CliHarness(const CliHarness&) = delete;
    CliHarness& operator=(const CliHarness&) = delete;

    static std::string program();

    std::filesystem::path in(const std::string& name) const { return m_dir / "in" / name; }
    std::filesystem::path out() const { return m_dir / "out"; }
    const TempDir& dir() const { return m_dir; }
    std::filesystem::path storeFile() const { return m_dir / "config" / "Tunevale" / "registry.ini"; }

    // Writes one stored output setting, as the window saves it.
    void store(const std::string& name, const std::string& value) const;

    // Puts a `lame` and an `oggenc` first on PATH that write each call's arguments, one per line,
    // then read the audio and write a small output file.
    void useRecordingEncoders();
    // The arguments of each call of a recording encoder ("lame" or "oggenc"), in call order.
    std::vector<std::vector<std::string>> calls(const std::string& encoder) const;
    // Leaves no encoder to be found on PATH.
    void hideEncoders();

    // Runs tunevale-cli with the arguments in the folder cwd (this process's when empty); standard
    // output is not a terminal.
    CliResult run(const std::vector<std::string>& arguments, const std::filesystem::path& cwd = {}) const;
    // Runs tunevale-cli on a pseudo-terminal; out holds what the terminal received.
    CliResult runOnTerminal(const std::vector<std::string>& arguments) const;

private:
    TempDir m_dir;
    std::string m_oldPath;
    std::string m_oldHome;
};

// Runs python's expression over each JSON line of json (e: the line's object), in the order the
// lines came or, with sortedLines, in their sorted order; one line of output per JSON line.
inline std::string eachJsonLine(const CliHarness& cli, const std::string& json, const std::string& expression,
                                bool sortedLines = false)
{
    writeFile(cli.dir() / "events.json", json);
    const std::string lines =
        sortedLines ? "sorted(open(sys.argv[1], encoding='utf-8'))" : "open(sys.argv[1], encoding='utf-8')";
    const auto read = runProgram({"python3", "-c",
                                  "import json, sys\n"
                                  "for text in " +
                                      lines +
                                      ":\n"
                                      "    e = json.loads(text)\n"
                                      "    print(" +
                                      expression + ")\n",
                                  (cli.dir() / "events.json").string()});
    EXPECT_EQ(read.exitCode, 0) << read.output;
    return read.output;
}

} // namespace tunevale::test
