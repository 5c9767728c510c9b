# Runs the metronome-trace executable the way a user does and checks what the library
# tests cannot: argument handling, reading a file or standard input, exit statuses,
# and that a refused script leaves standard output empty.
#   cmake -DTRACE=<executable> -DWORK=<scratch dir> -DEXAMPLE=<a good script> -P binary_checks.cmake

set(failures 0)
macro(fail what)
  message(SEND_ERROR "${what}")
  math(EXPR failures "${failures} + 1")
endmacro()

# Runs the tool; sets status, out and err.
macro(run_trace)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
endmacro()

macro(expect_refused label)
  if(NOT status EQUAL 2)
    fail("${label}: exit status ${status}, expected 2")
  endif()
  if(NOT out STREQUAL "")
    fail("${label}: printed on standard output: ${out}")
  endif()
  if(NOT err MATCHES "^[^\n]+\n$")
    fail("${label}: standard error is not one line: '${err}'")
  endif()
endmacro()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

# A good script from a file and from standard input gives the same trace and status 0.
run_trace("${TRACE}" "${EXAMPLE}")
if(NOT status EQUAL 0 OR NOT err STREQUAL "" OR out STREQUAL "")
  fail("file argument: status ${status}, stderr '${err}', stdout '${out}'")
endif()
set(from_file "${out}")
run_trace("${TRACE}" INPUT_FILE "${EXAMPLE}")
if(NOT status EQUAL 0 OR NOT out STREQUAL from_file)
  fail("standard input: status ${status}, stdout differs from the file run:\n${out}")
endif()

# An empty script is a good script with an empty trace.
file(WRITE "${WORK}/empty.trace" "")
run_trace("${TRACE}" "${WORK}/empty.trace")
if(NOT status EQUAL 0 OR NOT out STREQUAL "")
  fail("empty script: status ${status}, stdout '${out}'")
endif()

# A bad line anywhere, even after quit, refuses the whole script before anything runs.
file(WRITE "${WORK}/bad.trace" "start\ntick 3\nquit\ntick 0\n")
run_trace("${TRACE}" "${WORK}/bad.trace")
expect_refused("bad script")
if(NOT err MATCHES "line 4")
  fail("bad script: the message does not name line 4: ${err}")
endif()
run_trace("${TRACE}" INPUT_FILE "${WORK}/bad.trace")
expect_refused("bad script on standard input")

# Invalid UTF-8 is a bad script.
string(ASCII 255 invalid_byte)
file(WRITE "${WORK}/latin1.trace" "start\ntext length \"${invalid_byte}\"\n")
run_trace("${TRACE}" "${WORK}/latin1.trace")
expect_refused("invalid UTF-8")

run_trace("${TRACE}" "${WORK}/no such file.trace")
expect_refused("missing file")
run_trace("${TRACE}" "${WORK}")
expect_refused("directory as script")
run_trace("${TRACE}" "${EXAMPLE}" "${EXAMPLE}")
expect_refused("two arguments")

# --help and --version answer on standard output with status 0, whatever follows them.
run_trace("${TRACE}" --help "${WORK}/no such file.trace")
if(NOT status EQUAL 0 OR NOT err STREQUAL "" OR NOT out MATCHES "^usage: metronome-trace .*--version.*Exit status")
  fail("--help: status ${status}, stderr '${err}', stdout '${out}'")
endif()
run_trace("${TRACE}" --version)
if(NOT status EQUAL 0 OR NOT err STREQUAL "" OR NOT out MATCHES "^metronome-trace [0-9]+\\.[0-9]+[^\n]*\n$")
  fail("--version: status ${status}, stderr '${err}', stdout '${out}'")
endif()

# Any other option is refused with the usage, before a script is read; a lone "-" is
# no option.
foreach(option IN ITEMS "--bogus" "-h" "--help=yes" "--version2")
  run_trace("${TRACE}" "${option}" "${EXAMPLE}")
  if(NOT status EQUAL 2 OR NOT out STREQUAL ""
     OR NOT err MATCHES "unknown option \"${option}\"\nusage: metronome-trace ")
    fail("option '${option}': status ${status}, stdout '${out}', stderr '${err}'")
  endif()
endforeach()
run_trace("${TRACE}" "-" WORKING_DIRECTORY "${WORK}")
expect_refused("a lone - as a missing file")

# After "--" a name that looks like an option is a script's.
file(COPY_FILE "${EXAMPLE}" "${WORK}/--help")
run_trace("${TRACE}" -- --help WORKING_DIRECTORY "${WORK}")
if(NOT status EQUAL 0 OR NOT out STREQUAL from_file)
  fail("script named --help after --: status ${status}, stdout '${out}', stderr '${err}'")
endif()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} check(s) of metronome-trace failed")
endif()
