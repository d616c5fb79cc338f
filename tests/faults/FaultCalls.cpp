// The intercepted calls. Each forwards to the next definition of its name (the C library, or a
// sanitizer's interceptor before it) and, while a watch is on, is listed and possibly failed first.
// This file includes as few system headers as it can: a definition here must match the declaration
// a header would give it.
#include "tests/faults/FaultState.h"

#include <cerrno>
#include <cstdarg>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>

using namespace FaultSeam;

namespace {

template <typename F> F nextDefinition(const char* symbol)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, symbol));
}

#define NEXT(fn) static const auto next = nextDefinition<decltype(&fn)>(#fn)

bool watching()
{
    return state().active.load(std::memory_order_relaxed);
}

template <typename Body>
auto gated(Call call, const std::string& path, const std::string& from, Body body) -> decltype(body())
{
    const Verdict verdict = enter(call, path, from);
    if (verdict.error != 0) {
        leave(verdict, -1, verdict.error);
        errno = verdict.error;
        return -1;
    }
    const auto result = body();
    const int error = errno;
    leave(verdict, long(result), error);
    errno = error;
    return result;
}

bool creates(int flags)
{
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

mode_t modeArgument(int flags, va_list arguments)
{
    return creates(flags) ? va_arg(arguments, mode_t) : 0;
}

template <typename Next> int openLike(Next next, int dirfd, const char* path, int flags, mode_t mode)
{
    if (!watching() || !creates(flags))
        return next(dirfd, path, flags, mode);
    return gated(Call::Create, pathAt(dirfd, path), {}, [&] { return next(dirfd, path, flags, mode); });
}

template <typename Next> int makeTemporary(Next next, char* pattern)
{
    if (!watching())
        return next();
    return gated(Call::Create, pathAt(AT_FDCWD, pattern), {}, next);
}

template <typename Next> auto onDescriptor(Call call, int fd, Next next) -> decltype(next())
{
    if (!watching())
        return next();
    return gated(call, pathOf(fd), {}, next);
}

template <typename Next> int onPath(Call call, int dirfd, const char* path, Next next)
{
    if (!watching())
        return next();
    return gated(call, pathAt(dirfd, path), {}, next);
}

template <typename Next>
int onTwoPaths(Call call, int fromDir, const char* from, int toDir, const char* to, Next next)
{
    if (!watching())
        return next();
    return gated(call, pathAt(toDir, to), pathAt(fromDir, from), next);
}

} // namespace

extern "C" {

int open(const char* path, int flags, ...)
{
    NEXT(open);
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return openLike([](int, const char* p, int f, mode_t m) { return next(p, f, m); }, AT_FDCWD, path, flags,
                    mode);
}

int open64(const char* path, int flags, ...)
{
    NEXT(open64);
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return openLike([](int, const char* p, int f, mode_t m) { return next(p, f, m); }, AT_FDCWD, path, flags,
                    mode);
}

int openat(int dirfd, const char* path, int flags, ...)
{
    NEXT(openat);
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return openLike([](int d, const char* p, int f, mode_t m) { return next(d, p, f, m); }, dirfd, path,
                    flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...)
{
    NEXT(openat64);
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return openLike([](int d, const char* p, int f, mode_t m) { return next(d, p, f, m); }, dirfd, path,
                    flags, mode);
}

int creat(const char* path, mode_t mode)
{
    NEXT(creat);
    return onPath(Call::Create, AT_FDCWD, path, [&] { return next(path, mode); });
}

int creat64(const char* path, mode_t mode)
{
    NEXT(creat64);
    return onPath(Call::Create, AT_FDCWD, path, [&] { return next(path, mode); });
}

int mkstemp(char* pattern)
{
    NEXT(mkstemp);
    return makeTemporary([&] { return next(pattern); }, pattern);
}

int mkstemp64(char* pattern)
{
    NEXT(mkstemp64);
    return makeTemporary([&] { return next(pattern); }, pattern);
}

int mkostemp(char* pattern, int flags)
{
    NEXT(mkostemp);
    return makeTemporary([&] { return next(pattern, flags); }, pattern);
}

int mkostemp64(char* pattern, int flags)
{
    NEXT(mkostemp64);
    return makeTemporary([&] { return next(pattern, flags); }, pattern);
}

int mkstemps(char* pattern, int suffix)
{
    NEXT(mkstemps);
    return makeTemporary([&] { return next(pattern, suffix); }, pattern);
}

int mkostemps(char* pattern, int suffix, int flags)
{
    NEXT(mkostemps);
    return makeTemporary([&] { return next(pattern, suffix, flags); }, pattern);
}

int mkdir(const char* path, mode_t mode) noexcept
{
    NEXT(mkdir);
    return onPath(Call::Mkdir, AT_FDCWD, path, [&] { return next(path, mode); });
}

int mkdirat(int dirfd, const char* path, mode_t mode) noexcept
{
    NEXT(mkdirat);
    return onPath(Call::Mkdir, dirfd, path, [&] { return next(dirfd, path, mode); });
}

ssize_t write(int fd, const void* data, size_t size)
{
    NEXT(write);
    return onDescriptor(Call::Write, fd, [&] { return next(fd, data, size); });
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset)
{
    NEXT(pwrite);
    return onDescriptor(Call::Write, fd, [&] { return next(fd, data, size, offset); });
}

ssize_t pwrite64(int fd, const void* data, size_t size, off64_t offset)
{
    NEXT(pwrite64);
    return onDescriptor(Call::Write, fd, [&] { return next(fd, data, size, offset); });
}

ssize_t copy_file_range(int in, loff_t* inOffset, int out, loff_t* outOffset, size_t length, unsigned flags)
{
    NEXT(copy_file_range);
    return onDescriptor(Call::CopyRange, out,
                        [&] { return next(in, inOffset, out, outOffset, length, flags); });
}

int ftruncate(int fd, off_t length) noexcept
{
    NEXT(ftruncate);
    return onDescriptor(Call::Truncate, fd, [&] { return next(fd, length); });
}

int ftruncate64(int fd, off64_t length) noexcept
{
    NEXT(ftruncate64);
    return onDescriptor(Call::Truncate, fd, [&] { return next(fd, length); });
}

int fsync(int fd)
{
    NEXT(fsync);
    return onDescriptor(Call::Fsync, fd, [&] { return next(fd); });
}

int fdatasync(int fd)
{
    NEXT(fdatasync);
    return onDescriptor(Call::Fdatasync, fd, [&] { return next(fd); });
}

int syncfs(int fd) noexcept
{
    NEXT(syncfs);
    return onDescriptor(Call::Syncfs, fd, [&] { return next(fd); });
}

// A failed close has still closed the descriptor.
int close(int fd)
{
    NEXT(close);
    if (!watching())
        return next(fd);
    const Verdict verdict = enter(Call::Close, pathOf(fd));
    const int result = next(fd);
    const int error = verdict.error != 0 ? verdict.error : errno;
    leave(verdict, verdict.error != 0 ? -1 : result, error);
    errno = error;
    return verdict.error != 0 ? -1 : result;
}

int rename(const char* from, const char* to) noexcept
{
    NEXT(rename);
    return onTwoPaths(Call::Rename, AT_FDCWD, from, AT_FDCWD, to, [&] { return next(from, to); });
}

int renameat(int fromDir, const char* from, int toDir, const char* to) noexcept
{
    NEXT(renameat);
    return onTwoPaths(Call::Rename, fromDir, from, toDir, to, [&] { return next(fromDir, from, toDir, to); });
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) noexcept
{
    NEXT(renameat2);
    return onTwoPaths(Call::Rename, fromDir, from, toDir, to,
                      [&] { return next(fromDir, from, toDir, to, flags); });
}

int link(const char* from, const char* to) noexcept
{
    NEXT(link);
    return onTwoPaths(Call::Link, AT_FDCWD, from, AT_FDCWD, to, [&] { return next(from, to); });
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) noexcept
{
    NEXT(linkat);
    return onTwoPaths(Call::Link, fromDir, from, toDir, to,
                      [&] { return next(fromDir, from, toDir, to, flags); });
}

int unlink(const char* path) noexcept
{
    NEXT(unlink);
    return onPath(Call::Unlink, AT_FDCWD, path, [&] { return next(path); });
}

int unlinkat(int dirfd, const char* path, int flags) noexcept
{
    NEXT(unlinkat);
    return onPath((flags & AT_REMOVEDIR) != 0 ? Call::Rmdir : Call::Unlink, dirfd, path,
                  [&] { return next(dirfd, path, flags); });
}

int rmdir(const char* path) noexcept
{
    NEXT(rmdir);
    return onPath(Call::Rmdir, AT_FDCWD, path, [&] { return next(path); });
}

int fchmod(int fd, mode_t mode) noexcept
{
    NEXT(fchmod);
    return onDescriptor(Call::Chmod, fd, [&] { return next(fd, mode); });
}

int chmod(const char* path, mode_t mode) noexcept
{
    NEXT(chmod);
    return onPath(Call::Chmod, AT_FDCWD, path, [&] { return next(path, mode); });
}

int fchmodat(int dirfd, const char* path, mode_t mode, int flags) noexcept
{
    NEXT(fchmodat);
    return onPath(Call::Chmod, dirfd, path, [&] { return next(dirfd, path, mode, flags); });
}

int fchown(int fd, uid_t owner, gid_t group) noexcept
{
    NEXT(fchown);
    return onDescriptor(Call::Chown, fd, [&] { return next(fd, owner, group); });
}

int chown(const char* path, uid_t owner, gid_t group) noexcept
{
    NEXT(chown);
    return onPath(Call::Chown, AT_FDCWD, path, [&] { return next(path, owner, group); });
}

int lchown(const char* path, uid_t owner, gid_t group) noexcept
{
    NEXT(lchown);
    return onPath(Call::Chown, AT_FDCWD, path, [&] { return next(path, owner, group); });
}

int fchownat(int dirfd, const char* path, uid_t owner, gid_t group, int flags) noexcept
{
    NEXT(fchownat);
    return onPath(Call::Chown, dirfd, path, [&] { return next(dirfd, path, owner, group, flags); });
}

int futimens(int fd, const struct timespec times[2]) noexcept
{
    NEXT(futimens);
    return onDescriptor(Call::Utimes, fd, [&] { return next(fd, times); });
}

int utimensat(int dirfd, const char* path, const struct timespec times[2], int flags) noexcept
{
    NEXT(utimensat);
    return onPath(Call::Utimes, dirfd, path, [&] { return next(dirfd, path, times, flags); });
}

} // extern "C"
