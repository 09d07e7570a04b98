// Running another program (the help compiler) as a child process: in a folder of our choosing, in
// a process group of its own, its standard output and error read as lines while the caller keeps
// its event loop going, and stopped as a whole - the program and whatever it started - on demand.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tarnwick {

// The path of `name` as the shell would find it: `name` itself when it holds a "/", else the
// first executable regular file of that name in a folder of $PATH. Empty when there is none.
std::string FindProgram(const std::string& name);

// A folder made for this process alone, "<temporary folder>/<prefix>XXXXXX" (the temporary
// folder is $TMPDIR, else /tmp), mode 0700. Empty when it could not be made.
std::string MakeTemporaryFolder(const std::string& prefix);

// A temporary folder (MakeTemporaryFolder) that is marked in use by a lock on its hidden file
// ".lock" for as long as the object lives, and removed with everything in it when it goes.
class TTemporaryFolder {
public:
    explicit TTemporaryFolder(const std::string& prefix);
    ~TTemporaryFolder();
    TTemporaryFolder(const TTemporaryFolder&) = delete;
    TTemporaryFolder& operator=(const TTemporaryFolder&) = delete;
    // Empty when the folder could not be made; errno then says why.
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    int lock_ = -1;
};

// Removes the folders "<temporary folder>/<prefix>XXXXXX" whose lock no process holds: what a
// process killed outright (SIGKILL, a crash) left behind. A folder without its lock file is left
// alone, as one that is just being made. Returns how many were removed.
int RemoveLeftoverTemporaryFolders(const std::string& prefix);

// One run of a program. Not copyable; destroying a running process stops it as Stop() does.
class TChildProcess {
public:
    TChildProcess() = default;
    ~TChildProcess();
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    // Starts `program` (a path, as FindProgram gives) with `arguments` (argv[1] on) in `folder`,
    // standard input from /dev/null and standard output and error into one pipe. Returns 0, or
    // the errno of the failure (the program could not be run, the folder could not be entered).
    int Start(const std::string& program, const std::vector<std::string>& arguments,
              const std::string& folder);

    // Waits up to `timeoutMs` for output or the end of the program, and appends every complete
    // line it printed (without its line end, a CR before the LF dropped) to `lines`; once the
    // program has ended, the last unterminated line too. Returns whether it still runs.
    bool Poll(int timeoutMs, std::vector<std::string>& lines);

    // Stops the whole process group: SIGTERM, then SIGKILL after `graceMs`, and reaps the
    // program. Does nothing once the program has ended.
    void Stop(int graceMs = 500);

    bool Running() const { return pid_ > 0; }
    // After the end: the exit status, or 128 + the signal that ended it.
    int ExitStatus() const { return exitStatus_; }

private:
    void TakeOutput(std::vector<std::string>& lines, bool atEnd);
    void Reap(bool wait);
    void CloseOutput();

    pid_t pid_ = -1;
    int output_ = -1;
    int exitStatus_ = -1;
    std::string partial_;
};

}  // namespace tarnwick
