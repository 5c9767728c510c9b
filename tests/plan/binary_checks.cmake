# Runs tavro-plan the way a user does and checks what the in-process tests cannot: the
# refusals (START's own message, as metronome-trace shows it for the same texts, on
# standard error, status 2, nothing on standard output), usage errors, --help against
# the manual page, and a click track that cannot be written (status 1, no file left).
#   cmake -DPLAN=<tavro-plan> -DTRACE=<metronome-trace> -DMANPAGE=<tavro-plan.1>
#         -DWORK=<scratch dir> -P binary_checks.cmake

include(${CMAKE_CURRENT_LIST_DIR}/check_script.cmake)

# START's message for a script of `text BOX "VALUE"` lines, as the engine shows it.
function(start_message script result)
  file(WRITE "${WORK}/refusal.trace" "${script}start\n")
  execute_process(COMMAND "${TRACE}" "${WORK}/refusal.trace" OUTPUT_VARIABLE trace)
  if(NOT trace MATCHES "message \"([^\"]+)\" title")
    message(SEND_ERROR "no message box in the trace of:\n${script}")
  endif()
  set(${result} "${CMAKE_MATCH_1}\n" PARENT_SCOPE)
endfunction()

macro(expect_refusal label script)
  start_message("${script}" expected)
  if(NOT status EQUAL 2 OR NOT out STREQUAL "" OR NOT err STREQUAL expected)
    fail("${label}: status ${status}, stdout '${out}', stderr '${err}', expected START's '${expected}'")
  endif()
endmacro()

# An empty text is a text too (a list argument could not carry it).
execute_process(COMMAND "${PLAN}" --repeat ""
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
expect_refusal("empty repeat" "text repeat \"\"\n")

macro(run_plan)
  execute_process(COMMAND "${PLAN}" ${ARGN}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
endmacro()

run_plan(--length 0 --skip 5)  # two failures: the last check's message
expect_refusal("length and skip" "text length \"0\"\ntext skip \"5\"\n")
run_plan(--start 120.5 --max 120.2)  # compared before cleaning
expect_refusal("speeds" "text startspeed \"120.5\"\ntext maxspeed \"120.2\"\n")
run_plan(--linear 40 --skip 30 --increase linear)
expect_refusal("increases" "text linear \"40\"\ntext skip \"30\"\n")
run_plan(--intro . --wav "${WORK}/refused.wav")
expect_refusal("full stop alone" "text intro \".\"\n")
if(EXISTS "${WORK}/refused.wav")
  fail("a refused plan wrote its click track")
endif()

# Usage errors: status 2, a message naming the problem, nothing on standard output.
foreach(args IN ITEMS "--bogus" "stray" "--time;5/4" "--increase;fast" "--volume;loud"
                      "--steps;0" "--steps;1000001" "--steps;2x" "--seconds;10"
                      "--wav;x.wav;--seconds;0" "--wav;x.wav;--seconds;-3" "--length" "--csv=yes"
                      "--length;999;--repeat;999;--wav;${WORK}/longer than 12 hours.wav")
  run_plan(${args})
  if(NOT status EQUAL 2 OR NOT out STREQUAL "" OR NOT err MATCHES "^tavro-plan: .*--help")
    fail("usage error '${args}': status ${status}, stdout '${out}', stderr '${err}'")
  endif()
endforeach()
# A length in range that gives no sample says so, not "more than 0".
run_plan(--wav x.wav --seconds 0.00001)
if(NOT err MATCHES "for --seconds \\(shorter than one sample of the track, 1/48000 of a second\\)")
  fail("--seconds under one sample: stderr '${err}'")
endif()

# A value or name that holds control characters is shown escaped: an escape sequence
# typed by mistake never reaches the terminal. (fail() reads its text as CMake code, so
# the backslashes in the messages are doubled for it.)
string(ASCII 27 escape)
string(ASCII 7 bell)
run_plan(--time "${escape}]0;x${bell}${escape}[2J")
string(FIND "${err}" [[tavro-plan: bad value $'\033]0;x\a\033[2J' for --time]] at)
string(REPLACE "\\" "\\\\" err "${err}")
if(NOT status EQUAL 2 OR err MATCHES "${escape}" OR NOT at EQUAL 0)
  fail("escape sequence in a value: status ${status}, stderr '${err}'")
endif()
run_plan(--wav "${WORK}/no such folder/two\nlines.wav")
string(FIND "${err}" [[/no such folder/two\nlines.wav': No such file or directory]] at)
string(REPLACE "\\" "\\\\" err "${err}")
if(NOT status EQUAL 1 OR NOT err MATCHES "^tavro-plan: cannot write [$]'" OR at LESS 0)
  fail("control character in a file name: status ${status}, stderr '${err}'")
endif()

# `--` ends the options; the command takes no arguments after it either.
run_plan(--steps 1 --)
if(NOT status EQUAL 0 OR NOT out MATCHES "step  speed")
  fail("--: status ${status}, stderr '${err}'")
endif()
run_plan(-- --csv)
if(NOT status EQUAL 2 OR NOT err MATCHES "unexpected argument '--csv'")
  fail("-- --csv: status ${status}, stderr '${err}'")
endif()

# --help is the short form of the manual page: the same options, status 0; -h is --help.
run_plan(--help)
set(help "${out}")
if(NOT status EQUAL 0 OR NOT err STREQUAL "")
  fail("--help: status ${status}, stderr '${err}'")
endif()
run_plan(-h)
if(NOT status EQUAL 0 OR NOT out STREQUAL help)
  fail("-h: status ${status}, stderr '${err}'")
endif()
file(READ "${MANPAGE}" manual)
string(REPLACE "\\-" "-" manual "${manual}")
string(REGEX MATCHALL "--[a-z]+" help_options "${help}")
string(REGEX MATCHALL "--[a-z]+" manual_options "${manual}")
list(REMOVE_DUPLICATES help_options)
list(REMOVE_DUPLICATES manual_options)
list(SORT help_options)
list(SORT manual_options)
if(NOT help_options STREQUAL manual_options OR help_options STREQUAL "")
  fail("--help names ${help_options}, the manual page ${manual_options}")
endif()
run_plan(--version)
if(NOT status EQUAL 0 OR NOT out MATCHES "^tavro-plan [0-9]")
  fail("--version: status ${status}, stdout '${out}'")
endif()

# A click track that cannot be written: status 1, an error naming the file, and nothing
# left behind: neither the file nor a temporary one, and a file it was to replace intact.
run_plan(--wav "${WORK}/no such folder/track.wav")
if(NOT status EQUAL 1 OR NOT err MATCHES "no such folder/track.wav")
  fail("missing folder: status ${status}, stderr '${err}'")
endif()
set(full "${WORK}/full")
file(MAKE_DIRECTORY "${full}")
file(WRITE "${full}/track.wav" "the old track")
# The file size limit stands in for a full disk: the writes fail part way.
execute_process(COMMAND sh -c "ulimit -f 64 && exec \"$0\" \"$@\"" "${PLAN}" --csv
                        --wav "${full}/track.wav" --seconds 5
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(READ "${full}/track.wav" kept)
file(GLOB left LIST_DIRECTORIES true "${full}/*")
if(NOT status EQUAL 1 OR NOT err MATCHES "full/track.wav" OR NOT kept STREQUAL "the old track"
   OR NOT left STREQUAL "${full}/track.wav")
  fail("write failure: status ${status}, stderr '${err}', file '${kept}', folder holds ${left}")
endif()
run_plan(--csv --wav "${full}/track.wav" --seconds 1)
file(SIZE "${full}/track.wav" size)
file(GLOB left LIST_DIRECTORIES true "${full}/*")
if(NOT status EQUAL 0 OR NOT size EQUAL 96044 OR NOT left STREQUAL "${full}/track.wav")
  fail("one second of track: status ${status}, ${size} bytes, folder holds ${left}")
endif()

# Stopped while writing, by the signals of an administrator and of a user's scripts: the
# temporary file goes too.
foreach(signal TERM USR1)
  execute_process(COMMAND timeout -s ${signal} 0.5 "${PLAN}" --csv --wav "${full}/long.wav"
                          --seconds 43200
                  RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  file(GLOB left LIST_DIRECTORIES true "${full}/*")
  if(NOT status EQUAL 124 OR NOT left STREQUAL "${full}/track.wav")
    fail("stopped by SIG${signal} while writing: status ${status}, folder holds ${left}")
  endif()
endforeach()

# Standard output that cannot be written is an error too, for the table as for --help.
foreach(args IN ITEMS "--csv" "--help" "--version")
  execute_process(COMMAND "${PLAN}" ${args} OUTPUT_FILE /dev/full RESULT_VARIABLE status
                  ERROR_VARIABLE err)
  if(NOT status EQUAL 1 OR NOT err MATCHES "standard output: No space left on device")
    fail("${args} to a full standard output: status ${status}, stderr '${err}'")
  endif()
endforeach()

end_checks("tavro-plan")
