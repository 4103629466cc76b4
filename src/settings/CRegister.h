#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace tunevale
{

// Roots of the store; the program keeps its settings under the machine-wide one.
enum class RegistryRoot { LocalMachine, CurrentUser };

// Reads, writes and deletes string values in the project's registry store: one INI-style file whose
// sections are key paths (parts joined by "\"), with key and value names compared without regard to
// letter case. The value name "*" names a key's unnamed value. Every write re-reads the file under a
// lock and replaces it atomically, so two running copies keep each other's writes. Failures are
// results: the default text, or false. Not thread-safe within one process; one object per thread.
class CRegister
{
public:
    // storeFile: the INI file; registryFile() gives the usual one.
    explicit CRegister(std::filesystem::path storeFile);

    // Where the store lies: $XDG_CONFIG_HOME/Tunevale/registry.ini (XDG_CONFIG_HOME defaults to ~/.config).
    static std::filesystem::path registryFile();

    // The stored text, or sDefault when the key or value is missing, empty or unreadable.
    std::string REGGetSetting(RegistryRoot regHKEY, const std::string& sSection, const std::string& sKey,
                              const std::string& sDefault) const;
    // True when the value was written (missing keys along the path are created).
    bool REGSaveSetting(RegistryRoot regHKEY, const std::string& sSection, const std::string& sKey,
                        const std::string& sValue);
    // Writes several values of one key in a single replacement of the store, in the given order
    // (name, value); true when all were written. Another running copy sees all of them or none.
    bool REGSaveSettings(RegistryRoot regHKEY, const std::string& sSection,
                         const std::vector<std::pair<std::string, std::string>>& values);
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
