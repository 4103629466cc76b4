#pragma once

#include "EngineChannel.h"

#include <SDL.h>

#include <memory>
#include <mutex>
#include <vector>

namespace tunevale
{

// The sound card through SDL2: mixes the playing channels, each converted to the device's format
// and rate, on SDL's audio thread. Opening initialises SDL's audio subsystem, destroying quits it.
class SdlOutput
{
public:
    // device -1 or 1: the default output; n > 1: SDL's device n - 1. nullptr with errorCode set:
    // EngineCode::Device when there is no driver, no output device at all or no such device,
    // EngineCode::Driver when the device does not open. SDL installs no signal handlers.
    static std::unique_ptr<SdlOutput> open(int device, std::uint32_t freq, int& errorCode);
    ~SdlOutput();
    SdlOutput(const SdlOutput&) = delete;
    SdlOutput& operator=(const SdlOutput&) = delete;

    void add(const std::shared_ptr<EngineChannel>& channel);
    // Drops the channel's voice; waits for a mix in progress.
    void remove(const EngineChannel* channel);

private:
    struct Voice {
        std::shared_ptr<EngineChannel> channel;
        SDL_AudioStream* stream = nullptr;
        bool drained = false;
    };

    SdlOutput() = default;
    static void SDLCALL callback(void* self, Uint8* out, int size);
    void mix(Uint8* out, int size);
    // Fills the voice's converter with at least size bytes of device audio; false once it is empty.
    bool feed(Voice& voice, int size);

    std::mutex m_mutex;
    std::vector<Voice> m_voices;
    SDL_AudioDeviceID m_device = 0;
    SDL_AudioSpec m_spec{};
    std::vector<Uint8> m_voiceBuffer;
    std::vector<std::uint8_t> m_pullBuffer;
};

} // namespace tunevale
