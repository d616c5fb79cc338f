#pragma once

#include "platform/ProgramStarter.h"

// Starts programs with fork and exec, detached (the launcher neither waits for nor keeps them), in the
// given working folder. The file and folder names are looked up ignoring case where they do not exist
// as written. A Windows program ("MZ" at the start of the file) is started through wine when wine is
// on the PATH. The show command has no counterpart here: the program decides how its window appears.
class PosixProgramStarter : public IProgramStarter
{
public:
    int start(const QString& file, const QString& parameters, const QString& directory,
              int showCommand) override;

    // The shell code for an errno of the started process: from changing into the working folder
    // (changingFolder) or from exec.
    static int shellCodeForErrno(int error, bool changingFolder);
};
