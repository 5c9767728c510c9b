# The click track of a short skip plan at each volume: click-onsets must find every
# click to the sample where the rows put it (beat times from each row's first beat on,
# one interval apart), the first click must begin at frame 48 x its time, each click must
# last its volume's beeps (8 ms each), and the track must end with the passes of the
# last row.
#   cmake -DPLAN=<tavro-plan> -DONSETS=<click-onsets> -DWORK=<scratch dir> -P click_track_check.cmake

include(${CMAKE_CURRENT_LIST_DIR}/check_script.cmake)
set(plan --time 2/4 --length 1 --intro 1 --repeat 1 --increase skip
         --start 200 --max 300 --linear 20 --skip 50)

# The 16-bit sample at `frame` of a WAV file with the usual 44-byte header, as 4 hex digits.
function(sample_at wav frame result)
  math(EXPR offset "44 + 2 * ${frame}")
  file(READ "${wav}" hex OFFSET ${offset} LIMIT 2 HEX)
  set(${result} "${hex}" PARENT_SCOPE)
endfunction()

set(volumes high medium low)
set(beeps_of_volumes 15 8 2)
set(checked 0)
foreach(volume beeps IN ZIP_LISTS volumes beeps_of_volumes)
  math(EXPR checked "${checked} + 1")
  set(wav "${WORK}/${volume}.wav")
  execute_process(COMMAND "${PLAN}" ${plan} --volume ${volume} --csv --wav "${wav}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE csv ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    fail("${volume}: tavro-plan status ${status}: ${err}")
    continue()
  endif()

  # Every beat's time from the rows, as a grid click-onsets reads: at 1 ms per tick,
  # tick numbers are the times.
  string(REPLACE "\n" ";" lines "${csv}")
  list(REMOVE_AT lines 0)
  list(FILTER lines EXCLUDE REGEX "^$")
  list(LENGTH lines rows)
  list(GET lines 1 second_row)
  string(REPLACE "," ";" second_row "${second_row}")
  list(GET second_row 3 second_first_beat)
  math(EXPR beats_per_step "${second_first_beat} - 1")
  set(grid "interval 1\n")
  set(beats 0)
  foreach(line IN LISTS lines)
    string(REPLACE "," ";" fields "${line}")
    list(GET fields 2 interval)
    list(GET fields 4 start)
    foreach(beat RANGE 1 ${beats_per_step})
      string(APPEND grid "tick ${start}\n")
      math(EXPR start "${start} + ${interval}")
      math(EXPR beats "${beats} + 1")
    endforeach()
  endforeach()
  file(WRITE "${WORK}/${volume}.grid" "${grid}")

  execute_process(COMMAND "${ONSETS}" --tolerance 0 "${wav}" "${WORK}/${volume}.grid"
                  RESULT_VARIABLE status OUTPUT_VARIABLE report ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT report MATCHES "clicks found: ${beats}\n"
     OR NOT report MATCHES "clicks expected: ${beats}\n")
    fail("${volume}: click-onsets status ${status}, ${beats} beats expected:\n${report}${err}")
  endif()

  # Where the first click begins, and how long each lasts: the beep starts at 0 and is
  # at its peak 6 frames into each 12-frame half cycle of its 2 kHz tone.
  list(GET lines 0 first_row)
  string(REPLACE "," ";" first_row "${first_row}")
  list(GET first_row 4 first_ms)
  math(EXPR click "48 * ${first_ms}")
  math(EXPR before "${click} - 1")
  math(EXPR peak_of_last_beep "${click} + 384 * ${beeps} - 186")
  math(EXPR after_click "${click} + 384 * ${beeps} + 6")
  sample_at("${wav}" ${before} silent_before)
  sample_at("${wav}" ${click} beep_start)
  sample_at("${wav}" ${peak_of_last_beep} last_beep)
  sample_at("${wav}" ${after_click} silent_after)
  if(NOT silent_before STREQUAL "0000" OR NOT beep_start STREQUAL "0000"
     OR last_beep STREQUAL "0000" OR NOT silent_after STREQUAL "0000")
    fail("${volume}: click at frame ${click}: samples ${silent_before} ${beep_start} "
         "... ${last_beep} (last beep) ... ${silent_after} (after ${beeps} beeps)")
  endif()
  math(EXPR rising_frame "${click} + 1")
  sample_at("${wav}" ${rising_frame} rising)
  if(rising STREQUAL "0000")
    fail("${volume}: the first click does not begin at frame ${click}")
  endif()

  # The track ends when the passes of the last row end.
  list(GET lines -1 last_row)
  string(REPLACE "," ";" last_row "${last_row}")
  list(GET last_row 2 interval)
  list(GET last_row 4 start)
  math(EXPR expected_size "44 + 2 * 48 * (${start} + ${beats_per_step} * ${interval})")
  file(SIZE "${wav}" size)
  if(NOT size EQUAL expected_size)
    fail("${volume}: ${size} bytes, expected ${expected_size}")
  endif()
endforeach()

if(NOT checked EQUAL 3)
  fail("${checked} volumes checked")
endif()
end_checks("the click track")
