#include "full_disk.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plenvaro::winreg::test {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t pageSize = 4096;

fs::path privateFolder(const fs::path& path)
{
    fs::create_directories(path);
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

// Once per process: mounts made afterwards are seen by this thread alone and vanish with the process.
std::string privateMounts()
{
    static const std::string failure = []() -> std::string {
        if (::unshare(CLONE_NEWNS) != 0)
            return std::string("no mount namespace of its own (unshare: ") + std::strerror(errno) + ")";
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("cannot keep mounts private (mount --make-rprivate /: ") +
                   std::strerror(errno) + ")";
        return {};
    }();
    return failure;
}

class Tmpfs final : public FullDisk
{
public:
    explicit Tmpfs(const fs::path& parent) : mountPoint_(privateFolder(parent / "small-disk"))
    {
        reason_ = privateMounts();
        if (!reason_.empty())
            return;
        if (::mount("tmpfs", mountPoint_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k,mode=0700") != 0)
            reason_ = std::string("cannot mount a small tmpfs (") + std::strerror(errno) + ")";
    }
    ~Tmpfs() override
    {
        if (reason_.empty())
            ::umount2(mountPoint_.c_str(), MNT_DETACH);
    }

    std::string unavailable() const override
    {
        return reason_.empty() ? "" : reason_ + "; tests on a real full disk need root or CAP_SYS_ADMIN";
    }
    fs::path folder() const override { return mountPoint_; }

    void fillLeaving(std::size_t room) override
    {
        clear();
        const int fd = ::open(filler().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            return;
        const std::string block(pageSize, 'x');
        off_t written = 0;
        for (ssize_t got; (got = ::write(fd, block.data(), block.size())) > 0;)
            written += got;
        const off_t kept = written - static_cast<off_t>(room * pageSize);
        (void)!::ftruncate(fd, std::max<off_t>(kept, 0));
        ::close(fd);
    }
    void clear() override { ::unlink(filler().c_str()); }
    bool makeReadOnly() override
    {
        return ::mount(nullptr, mountPoint_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    fs::path filler() const { return mountPoint_ / "filler"; }

    fs::path mountPoint_;
    std::string reason_;
};

// A VFS in front of SQLite's own that fails writes the way the unix VFS reports ENOSPC.
class FailingWrites final : public FullDisk
{
public:
    explicit FailingWrites(const fs::path& parent) : folder_(privateFolder(parent / "failing-disk"))
    {
        real_ = sqlite3_vfs_find(nullptr);
        vfs_ = *real_;
        vfs_.zName = "plenvaro-failing-writes";
        vfs_.pAppData = this;
        vfs_.szOsFile = static_cast<int>(realOffset) + real_->szOsFile;
        vfs_.xOpen = &open;
        vfs_.xDelete = [](sqlite3_vfs* vfs, const char* name, int sync) {
            return self(vfs).real_->xDelete(self(vfs).real_, name, sync);
        };
        vfs_.xAccess = [](sqlite3_vfs* vfs, const char* name, int flags, int* result) {
            return self(vfs).real_->xAccess(self(vfs).real_, name, flags, result);
        };
        vfs_.xFullPathname = [](sqlite3_vfs* vfs, const char* name, int size, char* out) {
            return self(vfs).real_->xFullPathname(self(vfs).real_, name, size, out);
        };
        sqlite3_vfs_register(&vfs_, 1);
    }
    ~FailingWrites() override
    {
        sqlite3_vfs_unregister(&vfs_);
        sqlite3_vfs_register(real_, 1);
    }

    std::string unavailable() const override { return {}; }
    fs::path folder() const override { return folder_; }
    void fillLeaving(std::size_t room) override
    {
        limited_ = true;
        writesLeft_ = room;
    }
    void clear() override { limited_ = false; }
    bool makeReadOnly() override { return false; }

private:
    struct File
    {
        sqlite3_file base;
        FailingWrites* disk;
        sqlite3_file* real;
        const char* name;
        bool mainDb;
        bool writable;
    };
    static constexpr std::size_t realOffset = (sizeof(File) + 7) / 8 * 8;

    static FailingWrites& self(sqlite3_vfs* vfs) { return *static_cast<FailingWrites*>(vfs->pAppData); }
    static File& file(sqlite3_file* f) { return *reinterpret_cast<File*>(f); }
    static const sqlite3_io_methods& real(sqlite3_file* f) { return *file(f).real->pMethods; }

    bool full() const { return limited_ && writesLeft_ == 0; }
    bool spend()
    {
        if (!limited_)
            return true;
        if (writesLeft_ == 0)
            return false;
        --writesLeft_;
        return true;
    }

    static int open(sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags)
    {
        File& opened = file(f);
        opened.base.pMethods = nullptr; // SQLite closes nothing that failed to open
        opened.disk = &self(vfs);
        opened.real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(f) + realOffset);
        opened.name = name;
        opened.mainDb = (flags & SQLITE_OPEN_MAIN_DB) != 0;
        int granted = 0;
        const int rc = self(vfs).real_->xOpen(self(vfs).real_, name, opened.real, flags, &granted);
        if (outFlags)
            *outFlags = granted;
        if (rc != SQLITE_OK)
            return rc;
        opened.writable = (granted & SQLITE_OPEN_READWRITE) != 0;
        opened.base.pMethods = &methods;
        return SQLITE_OK;
    }

    static int write(sqlite3_file* f, const void* data, int size, sqlite3_int64 offset)
    {
        if (!file(f).disk->spend()) {
            errno = ENOSPC;
            return SQLITE_FULL;
        }
        return real(f).xWrite(file(f).real, data, size, offset);
    }

    // The unix VFS grows the shared-memory file by writing to it, which a full disk refuses.
    static int shmMap(sqlite3_file* f, int page, int bytes, int extend, void volatile** memory)
    {
        const File& opened = file(f);
        if (opened.disk->full() && extend && opened.writable && opened.mainDb) {
            struct stat info
            {
            };
            const std::string shm = std::string(opened.name) + "-shm";
            const off_t size = ::stat(shm.c_str(), &info) == 0 ? info.st_size : 0;
            if (size < static_cast<off_t>(page + 1) * bytes) {
                errno = ENOSPC;
                return SQLITE_IOERR_SHMSIZE;
            }
        }
        return real(f).xShmMap(opened.real, page, bytes, extend, memory);
    }

    static const sqlite3_io_methods methods;

    fs::path folder_;
    sqlite3_vfs* real_ = nullptr;
    sqlite3_vfs vfs_{};
    bool limited_ = false;
    std::size_t writesLeft_ = 0;
};

const sqlite3_io_methods FailingWrites::methods = {
    3,
    [](sqlite3_file* f) { return real(f).xClose(file(f).real); },
    [](sqlite3_file* f, void* data, int size, sqlite3_int64 offset) {
        return real(f).xRead(file(f).real, data, size, offset);
    },
    &FailingWrites::write,
    [](sqlite3_file* f, sqlite3_int64 size) { return real(f).xTruncate(file(f).real, size); },
    [](sqlite3_file* f, int flags) { return real(f).xSync(file(f).real, flags); },
    [](sqlite3_file* f, sqlite3_int64* size) { return real(f).xFileSize(file(f).real, size); },
    [](sqlite3_file* f, int level) { return real(f).xLock(file(f).real, level); },
    [](sqlite3_file* f, int level) { return real(f).xUnlock(file(f).real, level); },
    [](sqlite3_file* f, int* result) { return real(f).xCheckReservedLock(file(f).real, result); },
    [](sqlite3_file* f, int op, void* arg) { return real(f).xFileControl(file(f).real, op, arg); },
    [](sqlite3_file* f) { return real(f).xSectorSize(file(f).real); },
    [](sqlite3_file* f) { return real(f).xDeviceCharacteristics(file(f).real); },
    &FailingWrites::shmMap,
    [](sqlite3_file* f, int offset, int n, int flags) {
        return real(f).xShmLock(file(f).real, offset, n, flags);
    },
    [](sqlite3_file* f) { real(f).xShmBarrier(file(f).real); },
    [](sqlite3_file* f, int deleteFlag) { return real(f).xShmUnmap(file(f).real, deleteFlag); },
    [](sqlite3_file* f, sqlite3_int64 offset, int size, void** memory) {
        return real(f).xFetch(file(f).real, offset, size, memory);
    },
    [](sqlite3_file* f, sqlite3_int64 offset, void* memory) {
        return real(f).xUnfetch(file(f).real, offset, memory);
    },
};

} // namespace

std::unique_ptr<FullDisk> smallTmpfs(const std::filesystem::path& parent)
{
    return std::make_unique<Tmpfs>(parent);
}

std::unique_ptr<FullDisk> failingWrites(const std::filesystem::path& parent)
{
    return std::make_unique<FailingWrites>(parent);
}

} // namespace plenvaro::winreg::test
