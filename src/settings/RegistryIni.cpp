#include "RegistryIni.h"

#include <QList>
#include <QString>
#include <QStringDecoder>

#include <algorithm>

namespace tunevale
{

namespace
{

// As deep as a registry key path may go.
constexpr std::size_t kMaxPathDepth = 512;

QString folded(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toCaseFolded();
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return c - 'A' + 10;
}

// Escapes '%', control characters, the characters in `special`, and spaces at either end (which a
// hand-edited file may gain or lose around names).
std::string encode(const std::string& text, const std::string& special, bool guardEnds)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool atEnd = i == 0 || i + 1 == text.size();
        if (c == '%' || c < 0x20 || c == 0x7F || special.find(static_cast<char>(c)) != std::string::npos ||
            (guardEnds && atEnd && (c == ' ' || c == '\t'))) {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::optional<std::string> decode(const QByteArray& text)
{
    std::string out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2]))
            return std::nullopt;
        out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
        i += 2;
    }
    return out;
}

bool isValidUtf8(const QByteArray& text)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(text);
    return !decoder.hasError();
}

bool isSubKeyPath(const std::string& path, const std::string& parent)
{
    const QString folderPath = folded(path);
    const QString prefix = parent.empty() ? QString() : folded(parent) + u'\\';
    return folderPath.size() > prefix.size() && folderPath.startsWith(prefix);
}

} // namespace

std::optional<RegistryIni> RegistryIni::parse(const QByteArray& text)
{
    if (text.contains('\0') || !isValidUtf8(text))
        return std::nullopt;
    RegistryIni ini;
    Key* current = nullptr;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(';') || trimmed.startsWith('#'))
            continue;
        if (trimmed.startsWith('[')) {
            if (!trimmed.endsWith(']'))
                return std::nullopt;
            const auto path = decode(trimmed.mid(1, trimmed.size() - 2));
            if (!path || !isValidPath(*path))
                return std::nullopt;
            current = &ini.createKey(*path);
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (current == nullptr || equals < 0)
            return std::nullopt;
        const auto name = decode(line.left(equals).trimmed());
        const auto data = decode(line.mid(equals + 1));
        if (!name || !data)
            return std::nullopt;
        setValue(*current, *name, *data);
    }
    return ini;
}

QByteArray RegistryIni::serialize() const
{
    std::string out;
    for (const Key& key : m_keys) {
        if (!out.empty())
            out += '\n';
        out += '[' + encode(key.path, "[]", true) + "]\n";
        for (const Value& value : key.values)
            out += encode(value.name, "=[;#", true) + '=' + encode(value.data, "", false) + '\n';
    }
    return QByteArray::fromStdString(out);
}

bool RegistryIni::isValidPath(const std::string& path)
{
    if (path.empty())
        return true;
    std::size_t parts = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find('\\', start);
        if (end == start || start == path.size() || ++parts > kMaxPathDepth)
            return false;
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}

const RegistryIni::Key* RegistryIni::findKey(const std::string& path) const
{
    const auto found = m_keyIndex.find(foldedName(path));
    return found == m_keyIndex.end() ? nullptr : &m_keys[found->second];
}

RegistryIni::Key* RegistryIni::findKey(const std::string& path)
{
    return const_cast<Key*>(std::as_const(*this).findKey(path));
}

RegistryIni::Key& RegistryIni::createKey(const std::string& path)
{
    const std::string foldedPath = foldedName(path);
    if (const auto found = m_keyIndex.find(foldedPath); found != m_keyIndex.end())
        return m_keys[found->second];
    // Parents first, so that each key of the path exists as in a registry. Folding leaves the
    // separators alone, so the n-th separator of both texts ends the same parent.
    std::size_t separator = path.find('\\');
    std::size_t foldedSeparator = foldedPath.find('\\');
    for (; separator != std::string::npos;
         separator = path.find('\\', separator + 1), foldedSeparator = foldedPath.find('\\', foldedSeparator + 1))
        if (m_keyIndex.try_emplace(foldedPath.substr(0, foldedSeparator), m_keys.size()).second)
            m_keys.push_back(Key{path.substr(0, separator), {}, {}});
    m_keyIndex.emplace(foldedPath, m_keys.size());
    m_keys.push_back(Key{path, {}, {}});
    return m_keys.back();
}

bool RegistryIni::hasSubKeys(const std::string& path) const
{
    return std::any_of(m_keys.begin(), m_keys.end(), [&](const Key& key) { return isSubKeyPath(key.path, path); });
}

bool RegistryIni::removeKey(const std::string& path)
{
    const auto found = m_keyIndex.find(foldedName(path));
    if (found == m_keyIndex.end())
        return false;
    m_keys.erase(m_keys.begin() + static_cast<std::ptrdiff_t>(found->second));
    reindexKeys();
    return true;
}

void RegistryIni::reindexKeys()
{
    m_keyIndex.clear();
    for (std::size_t i = 0; i < m_keys.size(); ++i)
        m_keyIndex.emplace(foldedName(m_keys[i].path), i);
}

const RegistryIni::Value* RegistryIni::findValue(const Key& key, const std::string& name)
{
    const auto found = key.valueIndex.find(foldedName(name));
    return found == key.valueIndex.end() ? nullptr : &key.values[found->second];
}

void RegistryIni::setValue(Key& key, const std::string& name, const std::string& data)
{
    const auto [place, added] = key.valueIndex.try_emplace(foldedName(name), key.values.size());
    if (added)
        key.values.push_back(Value{name, data});
    else
        key.values[place->second].data = data;
}

bool RegistryIni::removeValue(Key& key, const std::string& name)
{
    const auto found = key.valueIndex.find(foldedName(name));
    if (found == key.valueIndex.end())
        return false;
    key.values.erase(key.values.begin() + static_cast<std::ptrdiff_t>(found->second));
    key.valueIndex.clear();
    for (std::size_t i = 0; i < key.values.size(); ++i)
        key.valueIndex.emplace(foldedName(key.values[i].name), i);
    return true;
}

bool RegistryIni::sameName(const std::string& a, const std::string& b)
{
    return a == b || foldedName(a) == foldedName(b);
}

std::string RegistryIni::foldedName(const std::string& name)
{
    return folded(name).toStdString();
}

} // namespace tunevale
