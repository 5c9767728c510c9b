#!/usr/bin/env bash
# The protections tavro-plan's track keeps, as cp keeps them: a link planted in a shared
# folder, a write-protected file, another user's file; what it does where the folder
# takes no new file; the terminal it refuses; the extended attributes and ACLs it keeps;
# the line a signal must not leave open. Run as root, the checks that need a second user
# run as nobody, and those that need root (a link planted by another user, a file system
# out of inodes) run too; run as a user, those are skipped.
#   protection_checks.sh PLAN WORK
set -uo pipefail
plan=$1
work=$2
[ ! -d "$work" ] || chmod -R u+w "$work"
rm -rf "$work"
mkdir -p "$work"

root=false
[ "$(id -u)" -eq 0 ] && root=true
restore=()  # run on exit, last first
on_exit() { local i; for ((i = ${#restore[@]} - 1; i >= 0; i--)); do eval "${restore[i]}"; done; }
trap on_exit EXIT
if $root; then
    # The checks run as nobody where nobody can reach them, whatever folder the build is
    # in (a clone in a private temporary folder): a folder of their own, and a copy of
    # the program.
    work=$(mktemp -d "${TMPDIR:-/tmp}/tavro-plan-protections.XXXXXX")
    restore+=("chmod -R u+w '$work'; rm -rf '$work'")
    cp "$plan" "$work/tavro-plan"
    plan=$work/tavro-plan
fi
chmod 755 "$work"
cd "$work" || exit 1

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
skipped() { echo "skipped: $*"; }

# The user who may not do what root may: nobody when this runs as root.
as_user() {
    if $root; then setpriv --reuid=65534 --regid=65534 --clear-groups -- "$@"; else "$@"; fi
}
give_to_user() { if $root; then chown -R 65534:65534 "$@"; fi; }

piece=(--time 2/4 --length 1 --intro 0 --repeat 1 --start 200 --max 250)
track=("${piece[@]}" --seconds 1)
"$plan" "${track[@]}" --csv --wav reference.wav > /dev/null || fail "reference track"
unchanged() { [ "$(cat "$1")" = "$2" ]; }

# A link planted in a sticky folder by another user is not followed where the kernel
# forbids it (fs.protected_symlinks, on as Debian has it for the time of the check): not
# to the file it leads to, and not to make a file where a dangling one leads.
if $root; then
    protected=$(cat /proc/sys/fs/protected_symlinks)
    restore+=("echo $protected > /proc/sys/fs/protected_symlinks")
    echo 1 > /proc/sys/fs/protected_symlinks
    mkdir -m 1777 sticky
    echo "another file" > victim
    as_user ln -s "$work/victim" sticky/plan.wav
    as_user ln -s "$work/made-by-root.wav" sticky/dangling.wav
    for link in sticky/plan.wav sticky/dangling.wav; do
        "$plan" "${track[@]}" --csv --wav "$link" > /dev/null 2> planted.err
        status=$?
        [ "$status" -eq 1 ] && grep -q "cannot write '$link': Permission denied" planted.err &&
            unchanged victim "another file" && [ ! -e made-by-root.wav ] && [ -L "$link" ] ||
            fail "link planted at $link: status $status, $(cat planted.err)"
    done
    echo "$protected" > /proc/sys/fs/protected_symlinks
else
    skipped "links planted by another user (needs root)"
fi

# A write-protected file of the user's own is refused and kept.
mkdir -m 777 shared
echo "kept" > shared/protected.wav
chmod 444 shared/protected.wav
give_to_user shared/protected.wav
as_user "$plan" "${track[@]}" --csv --wav shared/protected.wav > /dev/null 2> protected.err
status=$?
[ "$status" -eq 1 ] && grep -q "cannot write 'shared/protected.wav': Permission denied" protected.err &&
    unchanged shared/protected.wav kept || fail "write-protected file: status $status, $(cat protected.err)"

# Another user's file in a folder the user may write is refused, and stays that user's.
if $root; then
    echo "root's" > shared/roots.wav
    as_user "$plan" "${track[@]}" --csv --wav shared/roots.wav > /dev/null 2> roots.err
    status=$?
    [ "$status" -eq 1 ] && unchanged shared/roots.wav "root's" &&
        [ "$(stat -c %u shared/roots.wav)" -eq 0 ] ||
        fail "another user's file: status $status, $(cat roots.err), owner $(stat -c %U shared/roots.wav)"
else
    skipped "another user's file (needs root to make one)"
fi

# The user's file in a folder that takes no new file is written in place: the same file,
# the new track. A failure there says the old content is lost; a new name there is
# refused, naming the folder, and a link that leads there is named as typed.
mkdir closed
echo "old" > closed/mine.wav
give_to_user closed
chmod 555 closed
inode=$(stat -c %i closed/mine.wav)
as_user "$plan" "${track[@]}" --csv --wav closed/mine.wav > /dev/null 2> in_place.err
status=$?
[ "$status" -eq 0 ] && [ "$(stat -c %i closed/mine.wav)" = "$inode" ] &&
    cmp -s closed/mine.wav reference.wav ||
    fail "file in a folder of mode 555: status $status, $(cat in_place.err)"
as_user sh -c 'ulimit -f 16 && exec "$0" "$@"' "$plan" "${track[@]}" --seconds 5 --csv \
    --wav closed/mine.wav > /dev/null 2> in_place.err
status=$?
grep -q "cannot write 'closed/mine.wav': File too large; it was written in place, as its folder 'closed' takes no new file, and its old content is lost" in_place.err &&
    [ "$status" -eq 1 ] || fail "failure in place: status $status, $(cat in_place.err)"
ln -s closed/new.wav to_closed.wav
as_user "$plan" "${track[@]}" --csv --wav to_closed.wav > /dev/null 2> new_in_closed.err
status=$?
[ "$status" -eq 1 ] &&
    grep -q "cannot write 'to_closed.wav': cannot make a file in 'closed': Permission denied" new_in_closed.err &&
    [ ! -e closed/new.wav ] || fail "new file in a folder of mode 555: status $status, $(cat new_in_closed.err)"
chmod 755 closed

# A file system out of inodes is named as the cause.
if $root && mkdir inodes && mount -t tmpfs -o nr_inodes=2,size=1m tmpfs inodes 2> /dev/null; then
    touch inodes/only 2> /dev/null
    "$plan" "${track[@]}" --csv --wav inodes/new.wav > /dev/null 2> inodes.err
    status=$?
    umount inodes
    [ "$status" -eq 1 ] && grep -q "cannot make a file in 'inodes': its file system has no free inodes" inodes.err ||
        fail "no free inodes: status $status, $(cat inodes.err)"
else
    skipped "a file system out of inodes (needs root, and a tmpfs mount)"
fi

# The terminal, named as /dev/tty or as /dev/stdout, is refused as standard output is:
# nothing of the track reaches the screen.
if command -v script > /dev/null; then
    for name in /dev/tty /dev/stdout; do
        script -qec "'$plan' --wav $name --seconds 1" /dev/null > terminal.out
        status=$?
        [ "$status" -eq 1 ] && grep -q "'$name' is a terminal" terminal.out &&
            [ "$(stat -c %s terminal.out)" -lt 200 ] ||
            fail "--wav $name on a terminal: status $status, $(head -c 200 terminal.out | cat -v)"
    done
    # A signal that ends a write with its progress line showing ends the line too.
    script -qec "timeout -s TERM 2.5 '$plan' --wav - --seconds 600 |
        (while [ \"\$(head -c 65536 | wc -c)\" -gt 0 ]; do sleep 0.05; done); echo after" \
        /dev/null > signalled.out
    grep -q "writing standard output: [0-9]*%"$'\r'"*\$" signalled.out && grep -q "^after" signalled.out ||
        fail "progress line left open by a signal: $(tail -c 200 signalled.out | cat -v)"
else
    skipped "the terminal (no script command)"
fi

# Extended attributes and the ACL are kept as the mode is; a folder's default ACL adds
# none to a file that had none.
if command -v setfattr > /dev/null && command -v setfacl > /dev/null &&
    echo > attributes.wav && setfattr -n user.origin -v phone attributes.wav 2> /dev/null &&
    setfacl -m u:65534:rw attributes.wav 2> /dev/null; then
    chmod 640 attributes.wav
    before=$(getfattr -d attributes.wav; getfacl -c attributes.wav)
    mkdir inherits && setfacl -d -m u:65534:rwx inherits
    echo > inherits/plain.wav && setfacl -b inherits/plain.wav && chmod 600 inherits/plain.wav
    "$plan" "${track[@]}" --csv --wav attributes.wav > /dev/null &&
        "$plan" "${track[@]}" --csv --wav inherits/plain.wav > /dev/null || fail "attributes: not written"
    after=$(getfattr -d attributes.wav; getfacl -c attributes.wav)
    [ "$after" = "$before" ] && cmp -s attributes.wav reference.wav ||
        fail "attributes not kept: before $before, after $after"
    [ "$(getfacl -c inherits/plain.wav | grep -c nobody)" -eq 0 ] &&
        [ "$(stat -c %a inherits/plain.wav)" = 600 ] ||
        fail "an ACL of the folder's: $(getfacl -c inherits/plain.wav | tr '\n' ' ')"
else
    skipped "extended attributes and ACLs (no setfattr or setfacl, or the file system has none)"
fi

# With --steps past the maximum the track lasts until the last row's passes end: the
# table says how long, and the file is that long (to the tenth it shows).
"$plan" "${piece[@]}" --steps 15 --wav steps.wav > steps.out 2>&1
tenths=$((($(stat -c %s steps.wav) - 44) / 2 / 4800))
said=$(sed -n 's/^The click track lasts \([0-9]*\):\([0-9]*\)\.\([0-9]\), until the passes of step 15 end.*/\1 \2 \3/p' steps.out)
read -r minutes seconds tenth <<< "${said:-x x x}"
[ -n "$said" ] && [ $(((10#$minutes * 60 + 10#$seconds) * 10 + tenth - tenths)) -ge -1 ] &&
    [ $(((10#$minutes * 60 + 10#$seconds) * 10 + tenth - tenths)) -le 1 ] ||
    fail "the track's length: $tenths tenths of a second, said: $(grep -i 'track' steps.out)"

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) of tavro-plan's protections failed" >&2
    exit 1
fi
echo "tavro-plan's protections: all checks passed"
