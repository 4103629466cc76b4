#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tunevale::bench
{

// Starts argv[0], looked up on PATH, with the arguments argv; -1 when it could not be started.
// With quiet, its standard output and error go to /dev/null.
pid_t startProgram(const std::vector<std::string>& argv, bool quiet = false);

// Waits for a started program; true when it exited with 0.
bool waitForProgram(pid_t pid);

// Starts a program and waits for it; true when it exited with 0.
bool runProgram(const std::vector<std::string>& argv, bool quiet = false);

// Makes one minute of pink noise and a tone as 16-bit 44.1 kHz or 24-bit 96 kHz FLAC with ffmpeg;
// seed picks the noise and the tone (440 + 10 * seed Hz), so that sources differ. True on success.
bool makeNoiseAndToneFlac(const std::string& path, bool hires, int seed);

} // namespace tunevale::bench
