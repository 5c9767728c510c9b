#pragma once

#include <string>

namespace tavro::plan {

// A temporary file that no signal leaves behind. While one of these exists, every signal
// whose default action ends the program, and that the program neither ignores (nohup)
// nor handles itself (a sanitizer), first removes the file and then ends the program as
// it would have; SIGXFSZ is ignored meanwhile, so that going over the file size limit is
// a failed write, not the end. The signals are held while the file is made, renamed or
// removed, so that a signal never removes a name that is not, or no longer, the file's.
// One at a time per program.
class RemovalOnSignals {
public:
    RemovalOnSignals();
    ~RemovalOnSignals();  // removes the file if it is still there; the signals act as before
    RemovalOnSignals(const RemovalOnSignals&) = delete;
    RemovalOnSignals& operator=(const RemovalOnSignals&) = delete;

    // Makes a new file as mkstemp(3) does from `pattern` (a name ending in XXXXXX, which
    // becomes the name made). Gives its descriptor, or -1 with errno set.
    int makeFile(std::string& pattern);
    // The file takes the name `path`, or, on failure, stays to be removed. Gives 0 or errno.
    int renameTo(const std::string& path);
    // Removes the file, if one was made and not renamed.
    void remove();
};

// A line left open on the terminal of standard error (a progress line, rewritten in
// place): while it is open, a signal that ends the program first ends the line, so that
// the shell's prompt starts on a line of its own. The signals are caught as for a
// RemovalOnSignals, which may exist at the same time. One at a time per program.
class LineEndOnSignals {
public:
    LineEndOnSignals();
    ~LineEndOnSignals();
    LineEndOnSignals(const LineEndOnSignals&) = delete;
    LineEndOnSignals& operator=(const LineEndOnSignals&) = delete;

    void setOpen(bool open);
};

}  // namespace tavro::plan
