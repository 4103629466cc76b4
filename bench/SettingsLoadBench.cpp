// Times loading the output settings from stores of growing size, up to the largest one the store
// reads, and a save after it: the cost should grow in step with the file, not faster.
//
//   settings_load_bench

#include "CRegister.h"
#include "OutputSettingsModel.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace tunevale;
namespace fs = std::filesystem;

namespace
{

template <typename Work> double milliseconds(Work work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// A well-formed store of about `bytes`: the settings key padded with other values, then many keys.
void writeStore(const fs::path& file, std::size_t bytes)
{
    std::string text = "[HKEY_LOCAL_MACHINE\\" + std::string(SettingsKey) + "]\nsliderOGG=7\n";
    for (int v = 0; text.size() < bytes / 2; ++v)
        text += "Padding" + std::to_string(v) + "=value " + std::to_string(v) + "\n";
    for (int k = 0; text.size() < bytes; ++k)
        text += "\n[HKEY_LOCAL_MACHINE\\Other\\Key" + std::to_string(k) + "]\nv=" + std::to_string(k) + "\n";
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

} // namespace

int main()
{
    const fs::path folder = fs::temp_directory_path() / ("settings_load_bench." + std::to_string(::getpid()));
    const fs::path file = folder / "registry.ini";
    std::printf("%10s %10s %10s\n", "bytes", "load ms", "save ms");
    for (std::size_t bytes : {std::size_t{10'000}, std::size_t{100'000}, std::size_t{500'000},
                              static_cast<std::size_t>(CRegister::kMaxStoreBytes) - 20'000}) {
        writeStore(file, bytes);
        CRegister registry(file);
        OutputSettingsModel model(registry, "/tmp/out");
        const double load = milliseconds([&] { model.LoadSettings(false); });
        model.setSliderValue(OutputControl::sliderOGG, 2);
        const double save = milliseconds([&] { model.SaveSettings(); });
        std::printf("%10zu %10.1f %10.1f\n", static_cast<std::size_t>(fs::file_size(file)), load, save);
    }
    fs::remove_all(folder);
    return 0;
}
