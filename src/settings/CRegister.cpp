#include "CRegister.h"

#include "OwnedFile.h"
#include "RegistryIni.h"
#include "UserFolder.h"

#include <QDir>
#include <QLockFile>
#include <QSaveFile>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tunevale
{

namespace
{

constexpr int kLockTimeoutMs = 10000;
constexpr int kStaleLockMs = 3000;
constexpr const char* kUnnamedValue = "*";

QString qPath(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

std::string rootName(RegistryRoot root)
{
    return root == RegistryRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

// The section of a key: the root's name, then the path below it.
std::string sectionOf(RegistryRoot root, const std::string& path)
{
    return path.empty() ? rootName(root) : rootName(root) + '\\' + path;
}

std::string valueName(const std::string& sKey)
{
    return sKey == kUnnamedValue ? std::string() : sKey;
}

enum class ReadState { Missing, Unreadable, Damaged, Read };

struct StoreContents {
    ReadState state = ReadState::Missing;
    RegistryIni ini;
};

// Reads the descriptor to its end, or until it gave more than limit bytes.
std::optional<QByteArray> readAtMost(int fd, std::int64_t limit)
{
    QByteArray text;
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0 ? std::optional(text) : std::nullopt;
        text.append(chunk, got);
        if (text.size() > limit)
            return text;
    }
}

StoreContents readStore(const std::filesystem::path& file)
{
    StoreContents contents;
    // A link, FIFO or device at the store's name, or a file of another user's, is no store the
    // program wrote: it counts as damaged and is never read.
    OwnedFileError error;
    const int fd = openOwnedFile(file, O_RDONLY, &error);
    if (fd < 0) {
        contents.state = error.missing   ? ReadState::Missing
                         : error.refused ? ReadState::Damaged
                                         : ReadState::Unreadable;
        return contents;
    }
    // Parsing is linear, but a file this large is no store the program wrote: reading it would
    // only stall every start. The read stops past the limit in case the file grows meanwhile.
    struct stat status {
    };
    const auto text = ::fstat(fd, &status) == 0 && status.st_size <= CRegister::kMaxStoreBytes
                          ? readAtMost(fd, CRegister::kMaxStoreBytes)
                          : std::optional<QByteArray>(QByteArray(CRegister::kMaxStoreBytes + 1, ' '));
    ::close(fd);
    if (!text) {
        contents.state = ReadState::Unreadable;
        return contents;
    }
    auto parsed = text->size() > CRegister::kMaxStoreBytes ? std::nullopt : RegistryIni::parse(*text);
    if (!parsed) {
        contents.state = ReadState::Damaged;
        return contents;
    }
    contents.state = ReadState::Read;
    contents.ini = std::move(*parsed);
    return contents;
}

// Moves a damaged store aside (never over an earlier copy), so that the user's file is kept for
// inspection while the settings start afresh.
bool setDamagedStoreAside(const std::filesystem::path& file)
{
    for (int n = 0; n < 1000; ++n) {
        std::filesystem::path aside = file;
        aside += ".damaged" + (n == 0 ? std::string() : std::to_string(n));
        // The names themselves, links included (even dangling ones): a link is moved, not followed.
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::symlink_status(aside, error)))
            continue;
        std::filesystem::rename(file, aside, error);
        if (error)
            return false;
        std::fprintf(stderr, "Tunevale: the settings file %s was damaged; kept as %s\n", file.string().c_str(),
                     aside.string().c_str());
        return true;
    }
    return false;
}

enum class StoreChange { Failed, Unchanged, Written };

// Re-reads the store under its lock, applies the change and replaces the file atomically.
// The change returns false when it has nothing to do (the file is then left alone).
StoreChange changeStore(const std::filesystem::path& file, const std::function<bool(RegistryIni&)>& change)
{
    const QString folder = qPath(file.parent_path());
    if (file.empty() || !QDir().mkpath(folder))
        return StoreChange::Failed;
    QLockFile lock(qPath(file) + ".lock");
    // A copy killed while it made the lock file leaves one that names no owner; a write holds the
    // lock for milliseconds, so a lock that old is a leftover and is broken well within the wait.
    lock.setStaleLockTime(kStaleLockMs);
    if (!lock.tryLock(kLockTimeoutMs))
        return StoreChange::Failed;

    StoreContents contents = readStore(file);
    if (contents.state == ReadState::Unreadable)
        return StoreChange::Failed;
    if (!change(contents.ini))
        return StoreChange::Unchanged;
    if (contents.state == ReadState::Damaged && !setDamagedStoreAside(file))
        return StoreChange::Failed;

    // A file over the limit would read as damaged next time: the write fails instead.
    const QByteArray text = contents.ini.serialize();
    if (text.size() > CRegister::kMaxStoreBytes)
        return StoreChange::Failed;
    QSaveFile output(qPath(file));
    if (!output.open(QIODevice::WriteOnly))
        return StoreChange::Failed;
    if (output.write(text) != text.size())
        return StoreChange::Failed;
    return output.commit() ? StoreChange::Written : StoreChange::Failed;
}

// The stored text of a value as conditions compare it: "" when missing.
std::string storedText(const RegistryIni::Key& key, const std::string& name)
{
    const RegistryIni::Value* value = RegistryIni::findValue(key, name);
    return value == nullptr ? std::string() : value->data;
}

} // namespace

std::optional<std::string> RegistryValues::find(const std::string& name) const
{
    const auto found = m_byFoldedName.find(RegistryIni::foldedName(name));
    if (found == m_byFoldedName.end() || found->second.empty())
        return std::nullopt;
    return found->second;
}

void RegistryValues::set(const std::string& name, const std::string& text)
{
    m_byFoldedName[RegistryIni::foldedName(name)] = text;
}

CRegister::CRegister(std::filesystem::path storeFile) : m_storeFile(std::move(storeFile)) {}

std::filesystem::path CRegister::registryFile()
{
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    // A relative XDG value is invalid by the XDG rules and is ignored.
    if (configHome != nullptr && configHome[0] == '/')
        base = configHome;
    else if (const auto home = homeFolder(); !home.empty())
        base = home / ".config";
    else
        return {};
    return base / "Tunevale" / "registry.ini";
}

std::string CRegister::TrimKeySlashes(const std::string& path)
{
    std::string trimmed = path;
    if (!trimmed.empty() && trimmed.front() == '\\')
        trimmed.erase(0, 1);
    if (!trimmed.empty() && trimmed.back() == '\\')
        trimmed.pop_back();
    return trimmed;
}

std::string CRegister::REGGetSetting(RegistryRoot regHKEY, const std::string& sSection, const std::string& sKey,
                                     const std::string& sDefault) const
{
    const std::string path = TrimKeySlashes(sSection);
    if (!RegistryIni::isValidPath(sectionOf(regHKEY, path)))
        return sDefault;
    const StoreContents contents = readStore(m_storeFile);
    if (contents.state != ReadState::Read)
        return sDefault;
    const RegistryIni::Key* key = contents.ini.findKey(sectionOf(regHKEY, path));
    if (key == nullptr)
        return sDefault;
    const RegistryIni::Value* value = RegistryIni::findValue(*key, valueName(sKey));
    // An empty stored text counts as missing.
    if (value == nullptr || value->data.empty())
        return sDefault;
    return value->data;
}

RegistryValues CRegister::REGGetSettings(RegistryRoot regHKEY, const std::string& sSection) const
{
    RegistryValues values;
    const std::string path = TrimKeySlashes(sSection);
    if (!RegistryIni::isValidPath(sectionOf(regHKEY, path)))
        return values;
    const StoreContents contents = readStore(m_storeFile);
    if (contents.state != ReadState::Read)
        return values;
    if (const RegistryIni::Key* key = contents.ini.findKey(sectionOf(regHKEY, path)))
        for (const RegistryIni::Value& value : key->values)
            values.set(value.name.empty() ? kUnnamedValue : value.name, value.data);
    return values;
}

bool CRegister::REGSaveSetting(RegistryRoot regHKEY, const std::string& sSection, const std::string& sKey,
                               const std::string& sValue)
{
    const std::string path = TrimKeySlashes(sSection);
    if (!RegistryIni::isValidPath(sectionOf(regHKEY, path)))
        return false;
    return changeStore(m_storeFile, [&](RegistryIni& ini) {
               RegistryIni::setValue(ini.createKey(sectionOf(regHKEY, path)), valueName(sKey), sValue);
               return true;
           }) == StoreChange::Written;
}

bool CRegister::REGMergeSettings(RegistryRoot regHKEY, const std::string& sSection,
                                 const std::vector<RegistryWrite>& writes)
{
    const std::string path = TrimKeySlashes(sSection);
    if (!RegistryIni::isValidPath(sectionOf(regHKEY, path)))
        return false;
    return changeStore(m_storeFile, [&](RegistryIni& ini) {
               const std::string section = sectionOf(regHKEY, path);
               bool changed = false;
               for (const RegistryWrite& write : writes) {
                   const std::string name = valueName(write.name);
                   const RegistryIni::Key* key = ini.findKey(section);
                   const bool present = key != nullptr && RegistryIni::findValue(*key, name) != nullptr;
                   const std::string stored = key == nullptr ? std::string() : storedText(*key, name);
                   if ((write.onlyOver && stored != *write.onlyOver) || (present && stored == write.value))
                       continue;
                   RegistryIni::setValue(ini.createKey(section), name, write.value);
                   changed = true;
               }
               return changed;
           }) != StoreChange::Failed;
}

bool CRegister::REGDeleteSetting(RegistryRoot regHKEY, const std::string& sSection, const std::string& sKey)
{
    if (!sKey.empty()) {
        const std::string path = TrimKeySlashes(sSection);
        if (!RegistryIni::isValidPath(sectionOf(regHKEY, path)))
            return false;
        return changeStore(m_storeFile, [&](RegistryIni& ini) {
                   RegistryIni::Key* key = ini.findKey(sectionOf(regHKEY, path));
                   return key != nullptr && RegistryIni::removeValue(*key, valueName(sKey));
               }) == StoreChange::Written;
    }
    // The whole key, named exactly as passed; the root itself cannot be deleted.
    if (sSection.empty() || !RegistryIni::isValidPath(sectionOf(regHKEY, sSection)))
        return false;
    return changeStore(m_storeFile, [&](RegistryIni& ini) {
               const std::string section = sectionOf(regHKEY, sSection);
               return !ini.hasSubKeys(section) && ini.removeKey(section);
           }) == StoreChange::Written;
}

} // namespace tunevale
