#pragma once

#include <string>
#include <vector>

namespace tunevale::test::server
{

// Serves this test program's tests to launchers on the local socket at path. Returns only in a
// process forked for one test, with the arguments to run it with; its standard streams, working
// folder and environment are the launcher's by then. The server itself leaves when the socket is
// another live server's, or after a while without requests.
std::vector<std::string> serveTests(const char* path);

} // namespace tunevale::test::server
