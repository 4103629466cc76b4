#pragma once

#include <QByteArray>

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tunevale
{

// The text form of the registry store: one "[key path]" section per key, then "name=value" lines;
// the empty name is the key's unnamed value. Names and paths compare without regard to letter case.
// '%', control characters and the characters that would end a name or path are written as %XX.
// Lookups go through indexes of the case-folded names, so that reading a large file stays linear.
class RegistryIni
{
public:
    struct Value {
        std::string name;
        std::string data;
    };
    struct Key {
        std::string path; // parts joined by "\"
        std::vector<Value> values;
        std::unordered_map<std::string, std::size_t> valueIndex; // folded name -> place in values
    };

    // None when the text is damaged (a line of no known form, a bad escape, invalid UTF-8).
    static std::optional<RegistryIni> parse(const QByteArray& text);
    QByteArray serialize() const;

    // A key path is valid when it is empty (the root) or has no empty part and at most 512 parts.
    static bool isValidPath(const std::string& path);

    const Key* findKey(const std::string& path) const;
    Key* findKey(const std::string& path);
    // Finds the key, creating it and every missing key along its path.
    Key& createKey(const std::string& path);
    bool hasSubKeys(const std::string& path) const;
    bool removeKey(const std::string& path);

    static const Value* findValue(const Key& key, const std::string& name);
    static void setValue(Key& key, const std::string& name, const std::string& data);
    static bool removeValue(Key& key, const std::string& name);

    static bool sameName(const std::string& a, const std::string& b);
    // The name as compared: case-folded.
    static std::string foldedName(const std::string& name);

private:
    void reindexKeys();

    std::vector<Key> m_keys;
    std::unordered_map<std::string, std::size_t> m_keyIndex; // folded path -> place in m_keys
};

} // namespace tunevale
