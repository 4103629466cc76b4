#pragma once

#include <filesystem>
#include <string>

namespace tunevale
{

// Why openOwnedFile gave no descriptor.
struct OwnedFileError {
    bool missing = false; // nothing at the name (and no O_CREAT)
    bool refused = false; // something at the name that is not a regular file of the user's (or root's)
    std::string text;     // the reason, for a message
};

// Opens one of Tunevale's own files (the error log, the settings store, the WMA check file) with
// the given open flags (O_RDONLY, O_WRONLY | O_CREAT | O_APPEND, ...), for use only when it is a
// regular file owned by the user (or by root): a link planted at its name is not followed, a FIFO or device
// does not block the open and is refused, and the descriptor checked is the one returned. New
// files get the given mode. flags must not hold O_TRUNC (it would act before the check): truncate
// the descriptor returned instead. The descriptor, blocking and close-on-exec; -1 with *error
// (when given) filled in otherwise.
int openOwnedFile(const std::filesystem::path& path, int flags, OwnedFileError* error = nullptr, int mode = 0644);

} // namespace tunevale
