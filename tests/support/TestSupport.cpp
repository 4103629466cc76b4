#include "TestSupport.h"
#include "FixtureCache.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <mutex>
#include <poll.h>
#include <random>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tunevale::test
{

TempDir::TempDir()
{
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        m_path = base / ("tunevale-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(m_path))
            break;
    }
}

TempDir::~TempDir()
{
    std::error_code error;
    // Give back any permission a test removed, so that everything can be deleted.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     error);
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, error);
    std::filesystem::remove_all(m_path, error);
}

bool eventually(const std::function<bool()>& condition, int timeoutMs, int pollMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
    return condition();
}

ProgramResult runProgram(const std::vector<std::string>& argv, int timeoutSeconds)
{
    ProgramResult result;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return result;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);

    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        return result;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    char buffer[4096];
    for (;;) {
        pollfd fd{pipeFds[0], POLLIN, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            break;
        }
        if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0)
            continue;
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        result.output.append(buffer, static_cast<size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

ProgramResult runFfmpeg(const std::vector<std::string>& arguments)
{
    std::vector<std::string> argv{"ffmpeg", "-nostdin", "-v", "error", "-y"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    ProgramResult result;
    const auto run = [&] {
        result = runProgram(argv);
        return result.exitCode == 0;
    };
    const auto cache = FixtureCache::ofThisBuild();
    if (cache ? cache->make(arguments, run) : run())
        result.exitCode = 0; // also when the file came from the cache
    return result;
}

ProgramResult runProgramOnFile(const std::vector<std::string>& argv, const std::filesystem::path& file)
{
    const auto cache = FixtureCache::ofThisBuild();
    const auto program = argv.empty() ? std::nullopt : FixtureCache::programKey(argv.front());
    if (!cache || !program)
        return runProgram(argv);
    // The file counts by its contents and its extension, every other argument as it is written.
    std::string key = *program + "file " + std::to_string(contentHash(readFile(file))) + file.extension().string();
    for (std::size_t i = 1; i < argv.size(); ++i)
        key += '\n' + (argv[i] == file.string() ? std::string("<file>") : argv[i]);
    if (const auto kept = cache->answer(key))
        return {0, *kept};
    ProgramResult result = runProgram(argv);
    if (result.exitCode == 0)
        cache->keepAnswer(key, result.output);
    return result;
}

void ffmpeg(const std::vector<std::string>& arguments)
{
    const ProgramResult result = runFfmpeg(arguments);
    ASSERT_EQ(result.exitCode, 0) << result.output;
}

std::filesystem::path makeTone(const std::filesystem::path& file, double seconds, int rate, int channels,
                               const std::vector<std::string>& encoding)
{
    std::ostringstream source;
    source << "sine=frequency=440:sample_rate=" << rate << ":duration=" << seconds;
    std::vector<std::string> args{"-f", "lavfi", "-i", source.str(), "-ac", std::to_string(channels)};
    args.insert(args.end(), encoding.begin(), encoding.end());
    args.push_back(file.string());
    ffmpeg(args);
    return file;
}

std::string readFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary);
    out << bytes;
}

std::filesystem::path writeScript(const std::filesystem::path& file, const std::string& body)
{
    writeFile(file, "#!/bin/sh\n" + body + "\n");
    std::filesystem::permissions(file, std::filesystem::perms::owner_all);
    return file;
}

std::vector<int> childProcesses()
{
    std::vector<int> children;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // Processes come and go while the folder is read; reading the stat of one that has just
        // gone fails with ESRCH (a stream would throw), and it is no child any more.
        std::string stat(512, '\0');
        const int fd = ::open((entry.path() / "stat").c_str(), O_RDONLY | O_CLOEXEC);
        const ssize_t got = fd < 0 ? -1 : ::read(fd, stat.data(), stat.size() - 1);
        if (fd >= 0)
            ::close(fd);
        stat.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        const auto close = stat.rfind(')');
        char state = 0;
        int parent = 0;
        if (close != std::string::npos && std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent) == 2 &&
            parent == ::getpid())
            children.push_back(std::stoi(name));
    }
    return children;
}

namespace
{

// What ffprobe says of a file's first audio stream and of its container, as ffprobe's JSON; null
// when ffprobe failed. Absent values are written as the default writer shows them ("N/A").
QJsonObject probeAll(const std::filesystem::path& file)
{
    const auto result =
        runProgram({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_optional_fields", "always",
                    "-show_entries", "stream:stream_tags:format:format_tags", "-of", "json", file.string()});
    if (result.exitCode != 0)
        return {};
    // ffprobe warns on standard error, which shares the pipe: the JSON is the outermost braces.
    const auto begin = result.output.find('{');
    const auto end = result.output.rfind('}');
    if (begin == std::string::npos || end == std::string::npos)
        return {};
    return QJsonDocument::fromJson(QByteArray::fromStdString(result.output.substr(begin, end - begin + 1))).object();
}

// What ffprobe says of the file, kept in the build's fixture cache by the file's contents: test
// programs probe the same outputs run after run (the encoders write the same bytes), and starting
// ffprobe costs more than most of their checks.
QJsonObject probedThroughCache(const std::filesystem::path& file, std::uint64_t contents)
{
    const auto cache = FixtureCache::ofThisBuild();
    const auto program = FixtureCache::programKey("ffprobe");
    if (!cache || !program)
        return probeAll(file);
    // The name's extension is part of the key: ffprobe guesses some formats by it.
    const std::string key = *program + "probe " + std::to_string(contents) + ' ' + file.extension().string();
    QJsonObject all;
    if (const auto kept = cache->answer(key))
        all = QJsonDocument::fromJson(QByteArray::fromStdString(*kept)).object();
    if (all.isEmpty()) {
        all = probeAll(file);
        if (!all.isEmpty())
            cache->keepAnswer(key, QJsonDocument(all).toJson(QJsonDocument::Compact).toStdString());
    }
    // The one path-dependent value: the name the file was probed under.
    QJsonObject format = all.value("format").toObject();
    if (format.contains("filename")) {
        format["filename"] = QString::fromStdString(file.string());
        all["format"] = format;
    }
    return all;
}

// Tests ask several entries of one file: ffprobe runs once for each contents of each file.
QJsonObject probed(const std::filesystem::path& file)
{
    static std::mutex mutex;
    static std::map<std::string, QJsonObject> known;
    const std::uint64_t contents = contentHash(readFile(file));
    const std::string key = std::filesystem::absolute(file).string() + '\n' + std::to_string(contents);
    {
        std::lock_guard lock(mutex);
        if (const auto found = known.find(key); found != known.end())
            return found->second;
    }
    const QJsonObject all = probedThroughCache(file, contents);
    std::lock_guard lock(mutex);
    known[key] = all;
    return all;
}

// A value as ffprobe's default writer prints it.
std::string text(const QJsonValue& value)
{
    if (value.isString())
        return value.toString().toStdString();
    if (value.isDouble())
        return QString::number(value.toInteger()).toStdString();
    return {};
}

} // namespace

std::string ffprobe(const std::filesystem::path& file, const std::string& entry)
{
    const auto colon = entry.find('=');
    const std::string section = entry.substr(0, colon);
    const QString name = QString::fromStdString(entry.substr(colon + 1));
    const QJsonObject all = probed(file);
    const QJsonArray streams = all.value("streams").toArray();
    const QJsonObject stream = streams.isEmpty() ? QJsonObject() : streams.first().toObject();
    const QJsonObject format = all.value("format").toObject();
    if (section == "stream")
        return text(stream.value(name));
    if (section == "format")
        return text(format.value(name));
    // Tags are picked as ffprobe picks them: whatever the case of their names.
    const QJsonObject tags = (section == "stream_tags" ? stream : format).value("tags").toObject();
    std::string values;
    for (auto it = tags.begin(); it != tags.end(); ++it) {
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            values += (values.empty() ? "" : "\n") + text(it.value());
    }
    // The default writer's line ends are not part of a value.
    while (!values.empty() && (values.back() == '\n' || values.back() == '\r'))
        values.pop_back();
    return values;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        result.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

std::vector<std::string> namesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace tunevale::test
