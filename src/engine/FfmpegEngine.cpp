#include "FfmpegEngine.h"

#include "AudioIdentity.h"

#include "FileDecoder.h"
#include "FileInput.h"
#include "MidiStream.h"
#include "ModuleStream.h"
#include "RegularFile.h"
#include "cd/CdTrackOpener.h"

#include <cmath>
#include <filesystem>
#include <limits>
#include <mutex>

extern "C" {
#include <libavutil/log.h>
}

namespace tunevale
{

namespace
{

// The last error of the calling thread, like errno: each thread reads the cause of its own failure.
thread_local int t_lastError = EngineCode::Ok;
// What the encoder last stopped on the calling thread wrote to its standard error.
thread_local std::string t_encoderMessage;

// What the calling thread's last failure said beyond its code.
thread_local std::string t_errorMessage;

bool fail(int code)
{
    t_lastError = code;
    t_errorMessage.clear();
    return false;
}

bool failWith(int code, std::string message)
{
    t_lastError = code;
    t_errorMessage = std::move(message);
    return false;
}

template <typename T> T succeed(T value)
{
    t_lastError = EngineCode::Ok;
    return value;
}

constexpr EngineHandle PluginHandleBase = 0x1000;

// Takes the entry of handle out of table and hands it over; nullptr when there is none.
template <typename Table> typename Table::mapped_type takeEntry(Table& table, EngineHandle handle)
{
    const auto it = table.find(handle);
    if (it == table.end())
        return nullptr;
    auto entry = std::move(it->second);
    table.erase(it);
    return entry;
}

// The encoder slot behind a handle, looked up under mutex; nullptr with EngineCode::Handle set when
// there is none.
template <typename Table> typename Table::mapped_type findSlot(std::mutex& mutex, Table& table, EngineHandle handle)
{
    std::lock_guard lock(mutex);
    const auto it = table.find(handle);
    if (it == table.end()) {
        fail(EngineCode::Handle);
        return nullptr;
    }
    return it->second;
}

// Hands PCM to a slot's encoder, one call at a time.
template <typename Slot> bool writeToSlot(const std::shared_ptr<Slot>& slot, const void* buffer, std::uint32_t length)
{
    if (!slot)
        return false;
    std::lock_guard lock(slot->mutex);
    int error = EngineCode::Ok;
    if (!slot->encoder || !slot->encoder->write(buffer, length, error))
        return fail(slot->encoder ? error : EngineCode::Handle);
    return succeed(true);
}

// Takes the slot of handle out of table (under mutex) and closes its encoder.
template <typename Table> bool closeSlot(std::mutex& mutex, Table& table, EngineHandle handle)
{
    typename Table::mapped_type slot;
    {
        std::lock_guard lock(mutex);
        slot = takeEntry(table, handle);
    }
    if (!slot)
        return fail(EngineCode::Handle);
    std::lock_guard lock(slot->mutex);
    int error = EngineCode::Ok;
    const bool closed = slot->encoder->close(error);
    slot->encoder.reset();
    if (!closed)
        return fail(error);
    return succeed(true);
}

// Ends the channel's encoder, if it has one, where nobody asks how it ended.
void discardEncoder(EngineChannel& channel)
{
    if (auto encoder = channel.detachEncoder()) {
        int ignored = EngineCode::Ok;
        encoder->stop(ignored);
    }
}

} // namespace

FfmpegEngine::FfmpegEngine(std::vector<std::string> soundFonts) : m_soundFonts(std::move(soundFonts))
{
    // Damaged files are reported through error codes; FFmpeg's own messages would only clutter stderr.
    // The level is global to the process and read by every decoding thread: set it once, before any.
    static std::once_flag quietFfmpeg;
    std::call_once(quietFfmpeg, [] { av_log_set_level(AV_LOG_QUIET); });
    m_families.set(static_cast<std::size_t>(FormatFamily::Base));
}

FfmpegEngine::~FfmpegEngine()
{
    Free();
}

std::vector<std::string> FfmpegEngine::defaultSoundFonts()
{
    return {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2"};
}

std::string FfmpegEngine::soundFont() const
{
    for (const auto& file : m_soundFonts) {
        std::error_code error;
        if (std::filesystem::is_regular_file(file, error))
            return file;
    }
    return {};
}

bool FfmpegEngine::Init(int device, std::uint32_t freq, std::uint32_t)
{
    std::lock_guard lock(m_mutex);
    if (m_initialized)
        return fail(EngineCode::Already);
    if (device < -1)
        return fail(EngineCode::Device);
    if (device != 0) {
        int error = EngineCode::Ok;
        m_output = SdlOutput::open(device, freq, error);
        if (!m_output)
            return fail(error);
    }
    m_freq = freq > 0 ? freq : 44100;
    m_initialized = true;
    return succeed(true);
}

bool FfmpegEngine::Free()
{
    std::map<EngineHandle, std::shared_ptr<EngineChannel>> channels;
    std::map<EngineHandle, std::shared_ptr<WmaSlot>> wmaEncoders;
    std::map<EngineHandle, std::shared_ptr<FileSlot>> fileEncoders;
    std::unique_ptr<SdlOutput> output;
    {
        std::lock_guard lock(m_mutex);
        if (!m_initialized)
            return fail(EngineCode::Init);
        m_initialized = false;
        channels.swap(m_channels);
        wmaEncoders.swap(m_wmaEncoders);
        fileEncoders.swap(m_fileEncoders);
        m_encoderChannels.clear();
        output = std::move(m_output);
    }
    // The output goes first so that its thread no longer reads the channels.
    output.reset();
    for (auto& [handle, channel] : channels)
        discardEncoder(*channel);
    for (auto& [handle, slot] : wmaEncoders) {
        std::lock_guard lock(slot->mutex);
        if (slot->encoder) {
            int error = EngineCode::Ok;
            slot->encoder->close(error);
        }
    }
    // Files left open are finished as they stand; their callers are gone.
    for (auto& [handle, slot] : fileEncoders) {
        std::lock_guard lock(slot->mutex);
        slot->encoder.reset();
    }
    return succeed(true);
}

EngineHandle FfmpegEngine::PluginLoad(const std::string& file, std::uint32_t)
{
    const std::optional<FormatFamily> family = familyOfPlugin(file);
    if (!family)
        return fail(EngineCode::FileOpen);
    // A family whose decoder (or, for MIDI, SoundFont) is missing does not load.
    if (!familyAvailable(*family) || (*family == FormatFamily::Midi && soundFont().empty()))
        return fail(EngineCode::Format);
    std::lock_guard lock(m_mutex);
    m_families.set(static_cast<std::size_t>(*family));
    return succeed(PluginHandleBase + static_cast<EngineHandle>(*family));
}

int FfmpegEngine::ErrorGetCode()
{
    return t_lastError;
}

std::string FfmpegEngine::ErrorGetMessage()
{
    return t_lastError == EngineCode::Ok ? std::string() : t_errorMessage;
}

bool FfmpegEngine::SetConfig(std::uint32_t option, std::uint32_t value)
{
    if (option == EngineConfig::CdReadOffset) {
        std::lock_guard lock(m_mutex);
        m_cdReadOffset = static_cast<std::int32_t>(value);
        return succeed(true);
    }
    // Output is always 16-bit (or 8-bit) integer PCM, and WMA files are written by the engine
    // itself, so both known options hold whatever their value. Nothing is stored: writers set them
    // before every job, and jobs running at once cannot change each other's behaviour.
    if (option != EngineConfig::FloatDsp && option != EngineConfig::WmaUseEngineFiles)
        return fail(EngineCode::IllegalType);
    return succeed(true);
}

EngineHandle FfmpegEngine::newHandle()
{
    do
        ++m_lastHandle;
    while (m_lastHandle == 0 || m_channels.count(m_lastHandle) || m_encoderChannels.count(m_lastHandle) ||
           m_wmaEncoders.count(m_lastHandle) || m_fileEncoders.count(m_lastHandle) ||
           (m_lastHandle >= PluginHandleBase && m_lastHandle < PluginHandleBase + 64));
    return m_lastHandle;
}

EngineHandle FfmpegEngine::addChannel(std::unique_ptr<PcmSource> source, std::uint32_t flags)
{
    auto channel = std::make_shared<EngineChannel>(std::move(source), flags);
    std::lock_guard lock(m_mutex);
    if (!m_initialized)
        return fail(EngineCode::Init);
    const EngineHandle handle = newHandle();
    m_channels.emplace(handle, std::move(channel));
    return succeed(handle);
}

EngineHandle FfmpegEngine::StreamCreateFile(const std::string& path, std::uint64_t offset, std::uint64_t length,
                                            std::uint32_t flags)
{
    FormatFamilies families;
    {
        std::lock_guard lock(m_mutex);
        if (!m_initialized)
            return fail(EngineCode::Init);
        families = m_families;
    }
    // Only whole files are opened; the source's own resolution only reaches decode-only callers,
    // as players and encoder programs take the 16-bit road's PCM alone.
    if (offset != 0 || length != 0)
        return fail(EngineCode::IllegalParam);
    const bool sourceResolution = flags & StreamFlag::SourceResolution;
    if (sourceResolution && !(flags & StreamFlag::DecodeOnly))
        return fail(EngineCode::IllegalParam);

    const DecodeOptions options{sourceResolution, (flags & StreamFlag::Prescan) != 0};
    if (const std::optional<TrackPath> track = parseTrackPath(path)) {
        auto source = openTrack(*track, families, options);
        return source ? addChannel(std::move(source), flags) : 0;
    }

    // One descriptor serves the sniff and the decoder: what is decoded is what was looked at.
    int error = EngineCode::Ok;
    auto input = FileInput::open(path, error);
    if (!input)
        return fail(error);
    std::unique_ptr<PcmSource> source;
    if (MidiStream::looksLikeMidi(input->readAt(0, 12))) {
        if (!families[static_cast<std::size_t>(FormatFamily::Midi)])
            return fail(EngineCode::Format);
        source = MidiStream::open(*input, soundFont(), error);
    } else {
        source = openFileDecoder(std::move(input), path, families, error, options);
    }
    if (!source)
        return fail(error);
    return addChannel(std::move(source), flags);
}

std::unique_ptr<PcmSource> FfmpegEngine::openTrack(const TrackPath& track, const FormatFamilies& families,
                                                   DecodeOptions options)
{
    if (!families[static_cast<std::size_t>(FormatFamily::Cd)]) {
        fail(EngineCode::Format);
        return nullptr;
    }
    int readOffset = 0;
    {
        std::lock_guard lock(m_mutex);
        readOffset = m_cdReadOffset;
    }
    // The files of a cue sheet are decoded as any file given alone would be.
    const PcmFileOpener opener = [families, options](const std::string& file, int& code) {
        return openFileDecoder(file, families, code, options);
    };
    int error = EngineCode::Ok;
    std::string message;
    auto source = openCdTrack(track, opener, readOffset, error, message);
    if (!source)
        failWith(error, std::move(message));
    return source;
}

EngineHandle FfmpegEngine::MusicLoad(const std::string& path, std::uint64_t offset, std::uint32_t length,
                                     std::uint32_t flags, std::uint32_t freq)
{
    std::uint32_t rate = freq;
    {
        std::lock_guard lock(m_mutex);
        if (!m_initialized)
            return fail(EngineCode::Init);
        if (rate == 0)
            rate = m_freq;
    }
    if (offset != 0 || length != 0)
        return fail(EngineCode::IllegalParam);
    int error = EngineCode::Ok;
    auto source = ModuleStream::open(path, rate, error);
    if (!source)
        return fail(error);
    return addChannel(std::move(source), flags);
}

std::shared_ptr<EngineChannel> FfmpegEngine::findChannel(EngineHandle handle)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_channels.find(handle);
    if (it == m_channels.end()) {
        fail(EngineCode::Handle);
        return nullptr;
    }
    return it->second;
}

bool FfmpegEngine::StreamFree(EngineHandle handle)
{
    std::shared_ptr<EngineChannel> channel;
    {
        std::lock_guard lock(m_mutex);
        channel = takeEntry(m_channels, handle);
        if (!channel)
            return fail(EngineCode::Handle);
        std::erase_if(m_encoderChannels, [handle](const auto& entry) { return entry.second == handle; });
        if (m_output)
            m_output->remove(channel.get());
    }
    discardEncoder(*channel);
    return succeed(true);
}

std::uint64_t FfmpegEngine::ChannelGetLength(EngineHandle handle, std::uint32_t mode)
{
    const auto channel = findChannel(handle);
    if (!channel)
        return EngineFailure64;
    if (mode != 0) {
        fail(EngineCode::NotAvailable);
        return EngineFailure64;
    }
    return succeed(channel->length());
}

std::uint64_t FfmpegEngine::ChannelGetPosition(EngineHandle handle, std::uint32_t mode)
{
    const auto channel = findChannel(handle);
    if (!channel)
        return EngineFailure64;
    if (mode != 0) {
        fail(EngineCode::NotAvailable);
        return EngineFailure64;
    }
    return succeed(channel->position());
}

double FfmpegEngine::ChannelBytes2Seconds(EngineHandle handle, std::uint64_t bytes)
{
    const auto channel = findChannel(handle);
    if (!channel)
        return -1.0;
    const double bytesPerSecond = double(channel->info().freq) * channel->bytesPerFrame();
    return succeed(static_cast<double>(bytes) / bytesPerSecond);
}

bool FfmpegEngine::ChannelGetInfo(EngineHandle handle, ChannelInfo& info)
{
    const auto channel = findChannel(handle);
    if (!channel)
        return false;
    info = channel->info();
    return succeed(true);
}

bool FfmpegEngine::ChannelGetAttribute(EngineHandle handle, std::uint32_t attribute, float& value)
{
    const auto channel = findChannel(handle);
    if (!channel)
        return false;
    if (attribute != ChannelAttribFreq)
        return fail(EngineCode::IllegalType);
    value = static_cast<float>(channel->info().freq);
    return succeed(true);
}

bool FfmpegEngine::ChannelSetAttribute(EngineHandle handle, std::uint32_t attribute, float value)
{
    const auto channel = findChannel(handle);
    if (!channel)
        return false;
    if (attribute != ChannelAttribGain)
        return fail(EngineCode::IllegalType);
    if (!std::isfinite(value) || std::abs(value) > 60.0f)
        return fail(EngineCode::IllegalParam);
    channel->setGainDb(value);
    return succeed(true);
}

bool FfmpegEngine::ChannelGetTags(EngineHandle handle, SourceTags& tags)
{
    const auto channel = findChannel(handle);
    if (!channel)
        return false;
    tags = channel->tags();
    return succeed(true);
}

std::string FfmpegEngine::AudioIdentity(const std::string& path)
{
    int error = EngineCode::Ok;
    auto identity = computeAudioIdentity(path, error);
    if (identity.empty())
        fail(error);
    else
        succeed(true);
    return identity;
}

bool FfmpegEngine::ChannelPlay(EngineHandle handle, bool restart)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_channels.find(handle);
    if (it == m_channels.end())
        return fail(EngineCode::Handle);
    const auto& channel = it->second;
    if (channel->decodeOnly())
        return fail(EngineCode::Decode);
    // Without an output device ("no sound") nothing can be heard.
    if (!m_output)
        return fail(EngineCode::Driver);
    channel->play(restart);
    m_output->add(channel);
    return succeed(true);
}

bool FfmpegEngine::ChannelPause(EngineHandle handle)
{
    const auto channel = findChannel(handle);
    if (!channel)
        return false;
    if (channel->decodeOnly())
        return fail(EngineCode::Decode);
    int error = EngineCode::Ok;
    if (!channel->pause(error))
        return fail(error);
    return succeed(true);
}

bool FfmpegEngine::ChannelStop(EngineHandle handle)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_channels.find(handle);
    if (it == m_channels.end())
        return fail(EngineCode::Handle);
    it->second->stop();
    if (m_output)
        m_output->remove(it->second.get());
    return succeed(true);
}

std::uint32_t FfmpegEngine::ChannelIsActive(EngineHandle handle)
{
    const auto channel = findChannel(handle);
    if (!channel)
        return ChannelState::Stopped;
    return succeed(channel->isActive());
}

std::int32_t FfmpegEngine::ChannelGetData(EngineHandle handle, void* buffer, std::uint32_t length)
{
    const auto channel = findChannel(handle);
    if (!channel)
        return -1;
    // Playing channels hand their data to the output, not to the caller.
    if (!channel->decodeOnly()) {
        fail(EngineCode::NotAvailable);
        return -1;
    }
    if (!buffer && length > 0) {
        fail(EngineCode::IllegalParam);
        return -1;
    }
    const std::uint32_t limit = std::min<std::uint32_t>(length, std::numeric_limits<std::int32_t>::max());
    int error = EngineCode::Ok;
    const std::int64_t delivered = channel->pull(static_cast<std::uint8_t*>(buffer), limit, error);
    if (delivered < 0) {
        failWith(error, channel->damageDetail());
        return -1;
    }
    return succeed(static_cast<std::int32_t>(delivered));
}

EngineHandle FfmpegEngine::EncodeStart(EngineHandle handle, const EncoderCommand& command, std::uint32_t)
{
    const auto channel = findChannel(handle);
    if (!channel)
        return 0;
    // The encoder is fed by the caller's pulls, which only decode-only channels have.
    if (!channel->decodeOnly())
        return fail(EngineCode::NotAvailable);
    if (channel->hasEncoder())
        return fail(EngineCode::Already);
    if (!isPlainPcm(channel->info().flags))
        return fail(EngineCode::Format);
    t_encoderMessage.clear();
    int error = EngineCode::Ok;
    auto encoder = EncoderProcess::start(command, channel->info(), error, &t_encoderMessage);
    if (!encoder)
        return fail(error);
    // Another thread may have started one on the same channel meanwhile.
    if (!channel->attachEncoder(encoder)) {
        encoder->stop(error);
        return fail(EngineCode::Already);
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_channels.count(handle)) {
            const EngineHandle encoderHandle = newHandle();
            m_encoderChannels.emplace(encoderHandle, handle);
            return succeed(encoderHandle);
        }
    }
    // Freed meanwhile by another thread; waiting for its encoder must not hold up the others.
    discardEncoder(*channel);
    return fail(EngineCode::Handle);
}

bool FfmpegEngine::EncodeStop(EngineHandle handle)
{
    std::shared_ptr<EngineChannel> channel;
    {
        std::lock_guard lock(m_mutex);
        EngineHandle channelHandle = handle;
        if (const auto it = m_encoderChannels.find(handle); it != m_encoderChannels.end())
            channelHandle = it->second;
        const auto found = m_channels.find(channelHandle);
        if (found == m_channels.end())
            return fail(EngineCode::Handle);
        channel = found->second;
        std::erase_if(m_encoderChannels, [channelHandle](const auto& entry) { return entry.second == channelHandle; });
    }
    auto encoder = channel->detachEncoder();
    if (!encoder)
        return succeed(true);
    int error = EngineCode::Ok;
    const bool stopped = encoder->stop(error);
    t_encoderMessage = encoder->message();
    if (!stopped)
        return fail(error);
    return succeed(true);
}

std::string FfmpegEngine::EncodeGetMessage()
{
    return t_encoderMessage;
}

std::vector<std::uint32_t> FfmpegEngine::WMAEncodeGetRates(std::uint32_t freq, std::uint32_t chans, std::uint32_t)
{
    std::vector<std::uint32_t> rates = WmaEncoder::rates(freq, chans);
    if (rates.empty())
        fail(EngineCode::NotAvailable);
    else
        t_lastError = EngineCode::Ok;
    return rates;
}

EngineHandle FfmpegEngine::WMAEncodeOpenFile(std::uint32_t freq, std::uint32_t chans, std::uint32_t flags,
                                             std::uint32_t bitrate, const std::string& path)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_initialized)
            return fail(EngineCode::Init);
        if (!m_families[static_cast<std::size_t>(FormatFamily::Wma)])
            return fail(EngineCode::NotAvailable);
    }
    int error = EngineCode::Ok;
    auto slot = std::make_shared<WmaSlot>();
    slot->encoder = WmaEncoder::open(freq, chans, bitrate, path, error, flags);
    if (!slot->encoder)
        return fail(error);
    std::lock_guard lock(m_mutex);
    const EngineHandle handle = newHandle();
    m_wmaEncoders.emplace(handle, std::move(slot));
    return succeed(handle);
}

bool FfmpegEngine::WMAEncodeSetTag(EngineHandle encoder, const std::string& tag, const std::string& value,
                                   std::uint32_t)
{
    const auto slot = findSlot(m_mutex, m_wmaEncoders, encoder);
    if (!slot)
        return false;
    std::lock_guard lock(slot->mutex);
    int error = EngineCode::Ok;
    if (!slot->encoder || !slot->encoder->setTag(tag, value, error))
        return fail(slot->encoder ? error : EngineCode::Handle);
    return succeed(true);
}

bool FfmpegEngine::WMAEncodeWrite(EngineHandle encoder, const void* buffer, std::uint32_t length)
{
    return writeToSlot(findSlot(m_mutex, m_wmaEncoders, encoder), buffer, length);
}

bool FfmpegEngine::WMAEncodeClose(EngineHandle encoder)
{
    return closeSlot(m_mutex, m_wmaEncoders, encoder);
}

EngineHandle FfmpegEngine::EncodeFileOpen(const EncodeSetup& setup, const ChannelInfo& pcm, const EncodeTarget& target)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_initialized)
            return fail(EngineCode::Init);
    }
    int error = EngineCode::Ok;
    auto slot = std::make_shared<FileSlot>();
    slot->encoder = FileEncoder::open(setup, pcm, target, error);
    if (!slot->encoder)
        return fail(error);
    std::lock_guard lock(m_mutex);
    const EngineHandle handle = newHandle();
    m_fileEncoders.emplace(handle, std::move(slot));
    return succeed(handle);
}

bool FfmpegEngine::EncodeFileWrite(EngineHandle encoder, const void* buffer, std::uint32_t length)
{
    const auto slot = findSlot(m_mutex, m_fileEncoders, encoder);
    if (slot && !buffer && length > 0)
        return fail(EngineCode::IllegalParam);
    return writeToSlot(slot, buffer, length);
}

bool FfmpegEngine::EncodeFileClose(EngineHandle encoder)
{
    return closeSlot(m_mutex, m_fileEncoders, encoder);
}

} // namespace tunevale
