#pragma once

// A folder for a store whose disk a test can fill: a small tmpfs of the test's own (needs the right to
// mount, as root has), or SQLite's writes failing in this process exactly as they fail on a full disk
// (SQLITE_FULL with ENOSPC, and a shared-memory file that cannot grow), which works everywhere.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>

namespace plenvaro::winreg::test {

class FullDisk
{
public:
    virtual ~FullDisk() = default;
    // Why this kind of full disk cannot be had here; "" when it can.
    virtual std::string unavailable() const = 0;
    // A private folder (0700) on the disk.
    virtual std::filesystem::path folder() const = 0;
    // From now on only `room` more steps of writing succeed (pages of the tmpfs, or SQLite writes).
    virtual void fillLeaving(std::size_t room) = 0;
    void fill() { fillLeaving(0); }
    // Room again.
    virtual void clear() = 0;
    // Writes of any kind fail now as on a read-only medium; false when this disk cannot do that.
    virtual bool makeReadOnly() = 0;
};

// A tmpfs of a few hundred KiB mounted under `parent`, in a mount namespace of this thread's own so
// that nothing outlives the test process.
std::unique_ptr<FullDisk> smallTmpfs(const std::filesystem::path& parent);
// `parent` itself; only SQLite's writes in this process are cut off. The store must be closed
// (plenvaroRegistryReset) before this object goes.
std::unique_ptr<FullDisk> failingWrites(const std::filesystem::path& parent);

} // namespace plenvaro::winreg::test
