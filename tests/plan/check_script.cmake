# What both check scripts of tavro-plan begin with: a fresh scratch folder in WORK, and
# fail(), which reports a failed check and lets the script go on to the next one.
cmake_minimum_required(VERSION 3.25)

set(failures 0)
macro(fail what)
  message(SEND_ERROR "${what}")
  math(EXPR failures "${failures} + 1")
endmacro()

# Ends the script as failed when any check failed.
macro(end_checks what)
  if(failures GREATER 0)
    message(FATAL_ERROR "${failures} check(s) of ${what} failed")
  endif()
endmacro()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
