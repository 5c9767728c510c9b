#!/usr/bin/env bash
# Where tavro-plan's click track may go, checked with the processes and files a user has:
# a FIFO that another process reads, copies of /dev/null and /dev/full made with mknod,
# a symbolic link, standard output into a pipe, a reader that leaves mid-write, a file
# kept private, a name as long as a name may be. Each track must equal the one written
# to a plain new file, and no temporary file may be left anywhere.
#   output_checks.sh PLAN WORK
set -uo pipefail
plan=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
# No hidden temporary file in this folder or the one named.
expect_no_temporary() {
    local left
    left=$(find "${1:-.}" -maxdepth 1 -name '.*.??????' -print)
    [ -z "$left" ] || fail "$2: left behind: $left"
}

track=(--time 2/4 --length 1 --intro 0 --repeat 1 --start 200 --max 250 --seconds 2)
"$plan" "${track[@]}" --csv --wav reference.wav > /dev/null || fail "reference track"

# A FIFO is written through to its reader, and stays a FIFO.
mkfifo fifo
timeout 30 cat fifo > from_fifo.wav &
reader=$!
timeout 30 "$plan" "${track[@]}" --csv --wav fifo > /dev/null
status=$?
wait "$reader"
[ "$status" -eq 0 ] && [ -p fifo ] && cmp -s from_fifo.wav reference.wav ||
    fail "FIFO: status $status, $(stat -c %F fifo), $(stat -c %s from_fifo.wav) bytes read"

# A reader that leaves mid-write: an error with a message for a named FIFO, quietly for
# standard output (as `| head` wants), status 1 both, without writing the rest.
timeout 30 head -c 1000 fifo > /dev/null &
reader=$!
timeout 30 "$plan" "${track[@]}" --csv --seconds 600 --wav fifo > /dev/null 2> fifo.err
status=$?
wait "$reader"
[ "$status" -eq 1 ] && grep -q "cannot write 'fifo': Broken pipe" fifo.err ||
    fail "FIFO closed mid-write: status $status, stderr $(cat fifo.err)"
"$plan" "${track[@]}" --seconds 600 --wav - 2> pipe.err | head -c 1000 > /dev/null
status=${PIPESTATUS[0]}
[ "$status" -eq 1 ] && [ ! -s pipe.err ] ||
    fail "standard output closed mid-write: status $status, stderr $(cat pipe.err)"
# The table's reader leaves while the track's temporary file exists: it goes too.
mkdir closed
"$plan" --steps 100000 --csv --wav closed/track.wav --seconds 600 2> closed.err | head -c 1 > /dev/null
status=${PIPESTATUS[0]}
[ "$status" -eq 1 ] && [ ! -s closed.err ] && [ -z "$(ls -A closed)" ] ||
    fail "table's reader gone: status $status, stderr $(cat closed.err), left $(ls -A closed)"

# Standard output closed: an error, and the file that takes its descriptor's number gets
# nothing meant for it (the table), so no track is left either.
"$plan" --wav closed/track.wav --seconds 1 >&- 2> closed.err
status=$?
[ "$status" -eq 1 ] && grep -q "cannot write standard output" closed.err && [ -z "$(ls -A closed)" ] ||
    fail "standard output closed: status $status, stderr $(cat closed.err), left $(ls -A closed)"

# Standard output: `-` into a pipe, and refused on a terminal, where script(1) puts it.
"$plan" "${track[@]}" --wav - | cat > piped.wav
status=${PIPESTATUS[0]}
[ "$status" -eq 0 ] && cmp -s piped.wav reference.wav || fail "--wav - into a pipe: status $status"
if command -v script > /dev/null; then
    script -qec "'$plan' --wav - --seconds 1" /dev/null > terminal.out
    status=$?
    [ "$status" -eq 1 ] && grep -q "is a terminal" terminal.out ||
        fail "--wav - on a terminal: status $status, $(head -c 200 terminal.out | cat -v)"
    # A write made long by a slow reader shows its progress line on a terminal...
    script -qec "'$plan' --wav - --seconds 600 | (sleep 1.2; cat > /dev/null)" /dev/null \
        > progress.out
    grep -q "writing standard output: 100%" progress.out ||
        fail "no progress line on a terminal: $(head -c 200 progress.out | cat -v)"
else
    echo "skipped: --wav - and the progress line on a terminal (no script command)"
fi
# ...and none in a log file.
"$plan" --wav - --seconds 600 2> progress.log | (sleep 1.2; cat > /dev/null)
[ ! -s progress.log ] || fail "progress line in a log file: $(head -c 200 progress.log | cat -v)"

# Device nodes are written, not replaced: a copy of /dev/null takes the track, a copy of
# /dev/full refuses it (status 1), and both stay character devices.
# (A folder on a file system mounted nodev has the nodes but refuses to open them.)
if mknod null c 1 3 2> /dev/null && mknod full c 1 7 2> /dev/null && (: > null) 2> /dev/null; then
    "$plan" "${track[@]}" --csv --wav null > /dev/null
    status=$?
    [ "$status" -eq 0 ] && [ -c null ] || fail "copy of /dev/null: status $status, $(stat -c %F null)"
    "$plan" "${track[@]}" --csv --wav full > /dev/null 2> full.err
    status=$?
    [ "$status" -eq 1 ] && [ -c full ] && grep -q "No space left on device" full.err ||
        fail "copy of /dev/full: status $status, $(stat -c %F full), stderr $(cat full.err)"
else
    echo "skipped: device nodes (mknod is not allowed here, or the nodes cannot be opened)"
fi

# A symbolic link leads to the file replaced, in its own folder; the link stays.
mkdir elsewhere
echo "the old track" > elsewhere/target.wav
ln -s elsewhere/target.wav link.wav
"$plan" "${track[@]}" --csv --wav link.wav > /dev/null
status=$?
[ "$status" -eq 0 ] && [ -L link.wav ] && [ "$(readlink link.wav)" = elsewhere/target.wav ] &&
    cmp -s elsewhere/target.wav reference.wav ||
    fail "symbolic link: status $status, link to '$(readlink link.wav)'"
expect_no_temporary elsewhere "symbolic link"

# A replaced file keeps its mode, and, where root may give it, its owner and group.
echo "private" > private.wav
chmod 600 private.wav
owner=$(id -u):$(id -g)
if [ "$(id -u)" -eq 0 ]; then
    owner=65534:65534
    chown "$owner" private.wav
fi
"$plan" "${track[@]}" --csv --wav private.wav > /dev/null
status=$?
[ "$status" -eq 0 ] && [ "$(stat -c %a:%u:%g private.wav)" = "600:$owner" ] &&
    cmp -s private.wav reference.wav ||
    fail "private file: status $status, now $(stat -c %a:%u:%g private.wav), was 600:$owner"

# A name of the longest length a name may have (255 bytes) is written like any other.
long=$(printf 'a%.0s' {1..251}).wav
"$plan" "${track[@]}" --csv --wav "$long" > /dev/null
status=$?
[ "$status" -eq 0 ] && cmp -s "$long" reference.wav || fail "a name of 255 bytes: status $status"
expect_no_temporary . "all checks"

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) of tavro-plan's outputs failed" >&2
    exit 1
fi
echo "tavro-plan's outputs: all checks passed"
