#include "BenchSupport.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace tunevale::bench
{

pid_t startProgram(const std::vector<std::string>& argv, bool quiet)
{
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

bool waitForProgram(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool runProgram(const std::vector<std::string>& argv, bool quiet)
{
    const pid_t pid = startProgram(argv, quiet);
    return pid >= 0 && waitForProgram(pid);
}

bool makeNoiseAndToneFlac(const std::string& path, bool hires, int seed)
{
    const std::string rate = hires ? "96000" : "44100";
    std::vector<std::string> command{
        "ffmpeg",
        "-nostdin",
        "-v",
        "error",
        "-y",
        "-f",
        "lavfi",
        "-i",
        "anoisesrc=color=pink:amplitude=0.2:sample_rate=" + rate + ":duration=60:seed=" + std::to_string(seed),
        "-f",
        "lavfi",
        "-i",
        "sine=frequency=" + std::to_string(440 + 10 * seed) + ":sample_rate=" + rate + ":duration=60",
        "-filter_complex",
        "amix=inputs=2:normalize=0",
        "-ac",
        "2",
        "-c:a",
        "flac"};
    if (hires)
        command.insert(command.end(), {"-sample_fmt", "s32", "-bits_per_raw_sample", "24"});
    else
        command.insert(command.end(), {"-sample_fmt", "s16"});
    command.push_back(path);
    return runProgram(command);
}

} // namespace tunevale::bench
