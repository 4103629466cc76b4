// The main function of every test program: runs the tests its arguments choose, or serves them to
// the test launcher (see TestLauncher.cpp).

#include "TestServer.h"
#include "TestServerProtocol.h"

#include <gtest/gtest.h>

#include <cstring>

int main(int argc, char** argv)
{
    std::vector<std::string> served;
    std::vector<char*> servedArguments;
    if (argc == 3 && std::strcmp(argv[1], tunevale::test::server::ServeOption) == 0) {
        served = tunevale::test::server::serveTests(argv[2]);
        for (std::string& argument : served)
            servedArguments.push_back(argument.data());
        servedArguments.push_back(nullptr);
        argc = static_cast<int>(served.size());
        argv = servedArguments.data();
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
