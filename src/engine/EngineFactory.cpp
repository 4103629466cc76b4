#include "EngineFactory.h"

#include "FfmpegEngine.h"

namespace tunevale
{

std::unique_ptr<Engine> makeEngine()
{
    return std::make_unique<FfmpegEngine>();
}

} // namespace tunevale
