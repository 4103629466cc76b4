#include "AcceptedExtensions.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

namespace tunevale
{
namespace
{

std::set<std::string> listedMimeTypes()
{
    std::istringstream entry(test::readFile(TUNEVALE_DESKTOP_ENTRY));
    std::set<std::string> types;
    for (std::string line; std::getline(entry, line);)
        if (line.rfind("MimeType=", 0) == 0) {
            std::istringstream list(line.substr(9));
            for (std::string type; std::getline(list, type, ';');)
                types.insert(type);
        }
    return types;
}

std::vector<std::string> acceptedExtensions()
{
    std::vector<std::string> extensions;
    std::istringstream list{std::string(AcceptedExtensions)};
    for (std::string extension; std::getline(list, extension, '.');)
        if (!extension.empty())
            extensions.push_back(extension);
    return extensions;
}

// The desktop's own table of file-name patterns (shared-mime-info): "type:*.ext" lines.
std::multimap<std::string, std::string> extensionsOfTypes()
{
    std::multimap<std::string, std::string> table;
    std::istringstream globs(test::readFile("/usr/share/mime/globs"));
    for (std::string line; std::getline(globs, line);) {
        const auto colon = line.find(":*.");
        if (line.empty() || line[0] == '#' || colon == std::string::npos)
            continue;
        table.emplace(line.substr(0, colon), line.substr(colon + 3));
    }
    return table;
}

TEST(DesktopEntry, OffersToOpenExactlyTheKindsOfFileTheListTakes)
{
    const auto listed = listedMimeTypes();
    ASSERT_FALSE(listed.empty());
    const auto table = extensionsOfTypes();
    ASSERT_FALSE(table.empty()) << "shared-mime-info is missing";

    // Each type named matches files that the list accepts.
    for (const std::string& type : listed) {
        bool accepted = false;
        for (auto [it, end] = table.equal_range(type); it != end; ++it)
            accepted = accepted || hasAcceptedExtension("x." + it->second);
        const bool alias = !table.contains(type); // an older name the desktop resolves itself
        EXPECT_TRUE(accepted || alias) << type;
    }
    // Each accepted extension that the desktop knows has one of its types named.
    for (const std::string& extension : acceptedExtensions()) {
        bool named = false, known = false;
        for (const auto& [type, pattern] : table)
            if (pattern == extension) {
                known = true;
                named = named || listed.contains(type);
            }
        EXPECT_TRUE(named || !known) << "." << extension;
    }
}

} // namespace
} // namespace tunevale
