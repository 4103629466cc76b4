#pragma once

#include "EngineFactory.h"
#include "InitAudioEngine.h"

#include <gtest/gtest.h>

#include <memory>

namespace tunevale::test
{

// A real engine opened without a sound card (device 0), with every plug-in loaded or none.
// Tests that use it link tunevale_engine.
inline std::unique_ptr<Engine> decodingEngine(bool plugins = true)
{
    auto engine = makeEngine();
    EXPECT_TRUE(engine->Init(0, 44100, 0)) << engine->ErrorGetCode();
    if (plugins)
        for (const char* plugin : enginePluginNames())
            engine->PluginLoad(plugin, 0);
    return engine;
}

} // namespace tunevale::test
