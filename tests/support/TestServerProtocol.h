#pragma once

// What the test launcher and a test program's server say to each other over a local socket: the
// launcher sends one request (its standard input, output and error as descriptors, and a block of
// NUL-ended strings: the working folder, the argument count and the arguments, then the
// environment), the server answers with the test process's wait status once it has ended.

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace tunevale::test::server
{

// The option that makes a test program serve the tests on a socket instead of running them.
inline constexpr const char* ServeOption = "--serve-tests";

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

// The first part of a request: the length of its strings, which carries the three descriptors.
class RequestHead
{
public:
    std::uint32_t length = 0;
    int streams[3] = {-1, -1, -1};

    RequestHead()
    {
        m_message.msg_iov = &m_part;
        m_message.msg_iovlen = 1;
        m_message.msg_control = m_control;
        m_message.msg_controllen = sizeof m_control;
    }
    RequestHead(const RequestHead&) = delete;
    RequestHead& operator=(const RequestHead&) = delete;

    bool send(int fd)
    {
        cmsghdr* header = CMSG_FIRSTHDR(&m_message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof streams);
        std::memcpy(CMSG_DATA(header), streams, sizeof streams);
        return ::sendmsg(fd, &m_message, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof length);
    }
    bool receive(int fd)
    {
        if (::recvmsg(fd, &m_message, MSG_CMSG_CLOEXEC) != static_cast<ssize_t>(sizeof length))
            return false;
        const cmsghdr* header = CMSG_FIRSTHDR(&m_message);
        if (!header || header->cmsg_type != SCM_RIGHTS || header->cmsg_len != CMSG_LEN(sizeof streams))
            return false;
        std::memcpy(streams, CMSG_DATA(header), sizeof streams);
        return true;
    }

private:
    iovec m_part{&length, sizeof length};
    alignas(cmsghdr) char m_control[CMSG_SPACE(3 * sizeof(int))]{};
    msghdr m_message{};
};

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
