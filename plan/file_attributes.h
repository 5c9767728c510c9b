#pragma once

namespace tavro::plan {

// What a file that replaces another takes over from it, as the old file had it: its
// owner and group where this user may give them (root may; others keep a group they are
// a member of), its extended attributes (ACLs among them) where the file system has them
// and this user may set them, and its mode. Gives 0 or the errno of what failed.
int takeOverAttributes(int oldFd, int newFd);

// The permissions any new file gets: 0666 less the umask.
int giveUsualPermissions(int fd);

}  // namespace tavro::plan
