#pragma once

#include <string>
#include <vector>

// A seam at the C library: the file-system calls a program makes on paths under one folder can be
// listed, failed with a chosen errno, or turned into a SIGKILL of the process at the call. Calls on a
// descriptor are matched by the path the descriptor is open on.
//
// Linked into a test program, the calls of the program itself, of Qt, of SQLCipher and of our libraries go
// through it (the definitions in the executable come first). Built as faultshim.so it is loaded into a
// child with LD_PRELOAD and set up from its environment (see FaultShim.cpp).
namespace FaultSeam {

enum class Call
{
    Create,    // open or openat with O_CREAT or O_TMPFILE, creat, mkstemp and its kin
    Mkdir,     // mkdir, mkdirat
    Write,     // write, pwrite, pwrite64
    CopyRange, // copy_file_range (the descriptor written to)
    Truncate,  // ftruncate
    Fsync,     // fsync
    Fdatasync, // fdatasync
    Syncfs,    // syncfs
    Close,     // close
    Rename,    // rename, renameat, renameat2 (matched by either name)
    Link,      // link, linkat
    Unlink,    // unlink, unlinkat
    Rmdir,     // rmdir, unlinkat with AT_REMOVEDIR
    Chmod,     // fchmod, chmod, fchmodat
    Chown,     // fchown, chown, lchown, fchownat
    Utimes,    // futimens, utimensat
};
const char* name(Call call);
// The call of that name; false when there is none.
bool fromName(const std::string& text, Call& call);

// One call made under the watched folder. For a rename and a link, path is the new name and from the old.
struct Step
{
    Call call;
    int occurrence; // 1 for the first call of its kind since the watch began
    std::string path;
    std::string from;
    int error; // the errno it returned (0: it worked)
};
std::string describe(const Step& step);
// The call and occurrence of a line describe wrote; false when the line is not one.
bool parse(const std::string& line, Call& call, int& occurrence);

enum class Action
{
    Fail, // the call returns -1 with the error (a close still closes; a kill ends the process)
    Kill, // SIGKILL before the call is made
};

// Watches the calls on paths under folder (the folder itself included) while it lives; one at a time.
class Watch
{
public:
    explicit Watch(const std::string& folder);
    ~Watch();
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    // The occurrence-th call of that kind from now on does the action instead of its work.
    void at(Call call, int occurrence, Action action, int error = 0);
    std::vector<Step> steps() const;
    // Also writes each step as a line (describe) to fd as it is made: what a process that is killed
    // leaves for the one that watches it.
    void writeStepsTo(int fd);
    // Whether the planned fault has happened.
    bool fired() const;
};

} // namespace FaultSeam
