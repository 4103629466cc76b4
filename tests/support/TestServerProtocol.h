#pragma once

// What the test launcher and a test program's server say to each other over a local socket: the
// launcher sends one request (its standard input, output and error as descriptors, and a block of
// NUL-ended strings: the working folder, the argument count and the arguments, then the
// environment), the server answers with the test process's wait status once it has ended.

#include <cerrno>
#include <cstdint>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace tunevale::test::server
{

// The option that makes a test program serve the tests on a socket instead of running them.
inline constexpr const char* ServeOption = "--serve-tests";

inline bool writeAll(int fd, const void* data, std::size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

inline bool readAll(int fd, void* data, std::size_t size)
{
    char* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t got = ::read(fd, bytes, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

// The request's strings as one block.
inline std::string requestBlock(const std::string& folder, const std::vector<std::string>& arguments,
                                const std::vector<std::string>& environment)
{
    std::string block = folder + '\0' + std::to_string(arguments.size()) + '\0';
    for (const std::string& argument : arguments)
        block += argument + '\0';
    for (const std::string& variable : environment)
        block += variable + '\0';
    return block;
}

} // namespace tunevale::test::server
