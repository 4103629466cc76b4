#pragma once

#include "CRegister.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace tunevale::test
{

// A settings store of its own in a fresh temporary folder, laid out as below the config folder.
class RegistryFileTest : public ::testing::Test
{
protected:
    TempDir dir;
    std::filesystem::path file = dir / "Tunevale" / "registry.ini";
    CRegister reg{file};
};

} // namespace tunevale::test
