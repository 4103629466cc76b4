#pragma once

#include <cstdint>
#include <string>

namespace tunevale
{

// The output file of one job, created empty and exclusively the moment its name is chosen, so that
// neither another job of the run nor anything else takes the name meanwhile. The writer or the
// encoder writes into it; a failed job removes it, but only while the name still holds the very
// file this job created, so nothing that took its place is ever deleted. The file is kept open for
// the claim's life, so that its identity cannot pass to another file.
class ClaimedOutputFile
{
public:
    ClaimedOutputFile() = default;
    ~ClaimedOutputFile();
    ClaimedOutputFile(ClaimedOutputFile&& other) noexcept;
    ClaimedOutputFile& operator=(ClaimedOutputFile&& other) noexcept;

    // Claims the first free output name for the source in folder (base, base_Converted,
    // base_Converted_0 ...); an invalid claim when none could be created.
    static ClaimedOutputFile claim(const std::string& folder, const std::string& sourceFile,
                                   const std::string& extension);

    bool valid() const { return m_fd >= 0; }
    const std::string& path() const { return m_path; }
    // The created file, open for reading and writing; -1 for an invalid claim.
    int fd() const { return m_fd; }

    // True when the name still holds the file this job created, with at least minSize bytes.
    bool written(std::uint64_t minSize = 1) const;
    // True when the name still holds the file this job created, with exactly size bytes.
    bool sizeIs(std::uint64_t size) const;
    // Removes the file this job created; nothing when the name now holds something else.
    void discard();

private:
    bool ours(std::uint64_t* size) const;

    std::string m_path;
    int m_fd = -1;
};

} // namespace tunevale
