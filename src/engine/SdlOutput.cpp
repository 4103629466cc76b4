#include "SdlOutput.h"

#include <algorithm>
#include <cstring>

namespace tunevale
{

std::unique_ptr<SdlOutput> SdlOutput::open(int device, std::uint32_t freq, int& errorCode)
{
    // SDL would otherwise install its own SIGINT and SIGTERM handlers, which only queue a quit event
    // that nobody reads here: Ctrl+C, kill and the end of the session would no longer end Tunevale.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        errorCode = EngineCode::Device;
        return nullptr;
    }
    // A driver that works but has no output device at all (ALSA on a machine without a sound card)
    // is no device, rather than a device that fails to open. Some drivers cannot count (-1).
    if (SDL_GetNumAudioDevices(0) == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        errorCode = EngineCode::Device;
        return nullptr;
    }
    std::unique_ptr<SdlOutput> output(new SdlOutput);
    const char* name = nullptr;
    if (device > 1) {
        name = SDL_GetAudioDeviceName(device - 1, 0);
        if (!name) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            errorCode = EngineCode::Device;
            return nullptr;
        }
    }
    SDL_AudioSpec wanted{};
    wanted.freq = freq > 0 ? static_cast<int>(freq) : 44100;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = 2048;
    wanted.callback = &SdlOutput::callback;
    wanted.userdata = output.get();
    output->m_device = SDL_OpenAudioDevice(name, 0, &wanted, &output->m_spec,
                                           SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (output->m_device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        errorCode = EngineCode::Driver;
        return nullptr;
    }
    output->m_voiceBuffer.resize(output->m_spec.size);
    output->m_pullBuffer.resize(4096);
    SDL_PauseAudioDevice(output->m_device, 0);
    errorCode = EngineCode::Ok;
    return output;
}

SdlOutput::~SdlOutput()
{
    // Closing waits for the audio thread, which takes m_mutex: do it without holding it.
    SDL_CloseAudioDevice(m_device);
    for (auto& voice : m_voices)
        SDL_FreeAudioStream(voice.stream);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlOutput::add(const std::shared_ptr<EngineChannel>& channel)
{
    std::lock_guard lock(m_mutex);
    if (std::any_of(m_voices.begin(), m_voices.end(), [&](const Voice& v) { return v.channel == channel; }))
        return;
    const ChannelInfo& info = channel->info();
    const SDL_AudioFormat format = (info.flags & StreamFlag::Sample8Bits) ? AUDIO_U8 : AUDIO_S16SYS;
    SDL_AudioStream* stream = SDL_NewAudioStream(format, static_cast<Uint8>(info.chans), static_cast<int>(info.freq),
                                                 m_spec.format, m_spec.channels, m_spec.freq);
    if (!stream) {
        // A layout SDL cannot convert plays as silence and ends at once.
        channel->markEnded();
        return;
    }
    m_voices.push_back(Voice{channel, stream, false});
}

void SdlOutput::remove(const EngineChannel* channel)
{
    std::lock_guard lock(m_mutex);
    const auto it =
        std::find_if(m_voices.begin(), m_voices.end(), [&](const Voice& v) { return v.channel.get() == channel; });
    if (it == m_voices.end())
        return;
    SDL_FreeAudioStream(it->stream);
    m_voices.erase(it);
}

void SDLCALL SdlOutput::callback(void* self, Uint8* out, int size)
{
    static_cast<SdlOutput*>(self)->mix(out, size);
}

bool SdlOutput::feed(Voice& voice, int size)
{
    while (!voice.drained && SDL_AudioStreamAvailable(voice.stream) < size) {
        const std::size_t pulled = voice.channel->pullForOutput(m_pullBuffer.data(), m_pullBuffer.size());
        if (pulled == 0) {
            SDL_AudioStreamFlush(voice.stream);
            voice.drained = true;
        } else {
            SDL_AudioStreamPut(voice.stream, m_pullBuffer.data(), static_cast<int>(pulled));
        }
    }
    return SDL_AudioStreamAvailable(voice.stream) > 0;
}

void SdlOutput::mix(Uint8* out, int size)
{
    std::memset(out, m_spec.silence, static_cast<std::size_t>(size));
    std::lock_guard lock(m_mutex);
    if (m_voiceBuffer.size() < static_cast<std::size_t>(size))
        m_voiceBuffer.resize(static_cast<std::size_t>(size));
    for (auto it = m_voices.begin(); it != m_voices.end();) {
        if (it->channel->paused()) {
            ++it;
            continue;
        }
        if (!feed(*it, size)) {
            it->channel->markEnded();
            SDL_FreeAudioStream(it->stream);
            it = m_voices.erase(it);
            continue;
        }
        const int got = SDL_AudioStreamGet(it->stream, m_voiceBuffer.data(), size);
        if (got > 0)
            SDL_MixAudioFormat(out, m_voiceBuffer.data(), m_spec.format, static_cast<Uint32>(got), SDL_MIX_MAXVOLUME);
        ++it;
    }
}

} // namespace tunevale
