#pragma once

#include <string>

namespace plenvaro::winreg {

// How SQLite is to open a store that cannot be opened for writing, so that it can still be read: a WAL
// store needs a shared-memory file beside it that it may not be able to create or grow then.
struct ReadOnlyOpening final
{
    std::string uri;
    // The file is read as it is, without locks: right only while nobody writes to it.
    bool immutable = false;
};

// Commits not yet copied into the store file itself lie in its WAL file.
bool walHasFrames(const std::string& path);

// With commits in the WAL, read through a shared-memory file opened read-only (made empty if missing);
// without, read the store file alone as an unchanging file, as that needs no other file at all.
ReadOnlyOpening readOnlyOpening(const std::string& path);

} // namespace plenvaro::winreg
