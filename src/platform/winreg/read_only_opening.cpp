#include "platform/winreg/read_only_opening.h"

#include "platform/winreg/store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plenvaro::winreg {
namespace {

// A WAL file begins with a 32-byte header; frames follow it.
constexpr off_t walHeaderSize = 32;

// A file name as an SQLite URI: "%", "?" and "#" would be read as escapes, query or fragment, and
// "file://" keeps a path that begins with "//" from being read as a host name.
std::string uriOf(const std::string& path, const char* query)
{
    std::string uri = path.starts_with('/') ? "file://" : "file:";
    for (const char c : path) {
        if (c == '%')
            uri += "%25";
        else if (c == '?')
            uri += "%3F";
        else if (c == '#')
            uri += "%23";
        else
            uri += c;
    }
    return uri + '?' + query;
}

} // namespace

bool walHasFrames(const std::string& path)
{
    struct stat info
    {
    };
    return ::lstat((path + "-wal").c_str(), &info) == 0 && info.st_size > walHeaderSize;
}

ReadOnlyOpening readOnlyOpening(const std::string& path)
{
    if (!walHasFrames(path))
        return {uriOf(path, "mode=ro&immutable=1"), true};
    // SQLite reads a WAL without writing the shared memory only through an existing file, of any size;
    // an empty one takes no room on a full disk. Where none can be made, opening fails as it did.
    const int made =
        ::open((path + "-shm").c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, storeFileMode);
    if (made >= 0)
        ::close(made);
    return {uriOf(path, "mode=ro&readonly_shm=1"), false};
}

} // namespace plenvaro::winreg
