#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tunevale
{

// Roots of the store; the program keeps its settings under the machine-wide one.
enum class RegistryRoot { LocalMachine, CurrentUser };

// The values of one key as read at one moment; names compare without regard to letter case.
class RegistryValues
{
public:
    // The stored text, or none when the value is missing or empty (an empty text counts as missing).
    std::optional<std::string> find(const std::string& name) const;
    void set(const std::string& name, const std::string& text);

private:
    std::unordered_map<std::string, std::string> m_byFoldedName;
};

// One value for REGMergeSettings. With onlyOver set, the value is written only while the store still
// holds that text ("" standing for a missing value), so that a newer value from another running copy
// is kept; without it the value is written whatever the store holds.
struct RegistryWrite {
    std::string name;
    std::string value;
    std::optional<std::string> onlyOver = std::nullopt;
};

// Reads, writes and deletes string values in the project's registry store: one INI-style file whose
// sections are key paths (parts joined by "\"), with key and value names compared without regard to
// letter case. The value name "*" names a key's unnamed value. Every write re-reads the file under a
// lock and replaces it atomically, so two running copies keep each other's writes. A file larger
// than kMaxStoreBytes, one that does not parse, or anything at its name that is not a regular file
// of the user's (a link, FIFO, device) is damaged: it reads as empty and the next write
// moves it aside (never over an earlier copy) before starting afresh. Failures are results: the
// default text, or false. Not thread-safe within one process; one object per thread.
class CRegister
{
public:
    // No settings store comes near this; a larger file is not read at all.
    static constexpr std::int64_t kMaxStoreBytes = 1024 * 1024;

    // storeFile: the INI file; registryFile() gives the usual one.
    explicit CRegister(std::filesystem::path storeFile);

    // Where the store lies: $XDG_CONFIG_HOME/Tunevale/registry.ini (XDG_CONFIG_HOME defaults to
    // ~/.config, the home folder as homeFolder() finds it); empty when the user has none, and then
    // nothing is stored.
    static std::filesystem::path registryFile();

    // The stored text, or sDefault when the key or value is missing, empty or unreadable.
    std::string REGGetSetting(RegistryRoot regHKEY, const std::string& sSection, const std::string& sKey,
                              const std::string& sDefault) const;
    // Every value of one key from one reading of the store ("*" names the unnamed value); empty
    // when the key is missing or the store unreadable or damaged.
    RegistryValues REGGetSettings(RegistryRoot regHKEY, const std::string& sSection) const;
    // True when the value was written (missing keys along the path are created).
    bool REGSaveSetting(RegistryRoot regHKEY, const std::string& sSection, const std::string& sKey,
                        const std::string& sValue);
    // Writes the values of one key in a single replacement of the store, each only where its
    // condition holds (see RegistryWrite); the file is left alone when nothing changes. True unless
    // the store could not be read or written.
    bool REGMergeSettings(RegistryRoot regHKEY, const std::string& sSection, const std::vector<RegistryWrite>& writes);
    // Deletes the value sKey, or with an empty sKey the key sSection itself (as passed, untrimmed),
    // which must have no sub-keys. True when something was deleted.
    bool REGDeleteSetting(RegistryRoot regHKEY, const std::string& sSection, const std::string& sKey);

    // Removes one leading "\" if present, then one trailing "\" if present.
    static std::string TrimKeySlashes(const std::string& path);

    const std::filesystem::path& storeFile() const { return m_storeFile; }

private:
    std::filesystem::path m_storeFile;
};

} // namespace tunevale
