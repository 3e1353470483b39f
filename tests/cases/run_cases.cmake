# Runs one case file (tests/cases/<subject>.cases, format in README.md of
# this directory): turns it into one Zel program, runs PROGRAM on it once,
# and compares what each case gave with what the file expects.
#
#   cmake -DPROGRAM=zel -DCASES=file.cases -DTRACING=untraced|recorded|hostile
#         -DWORKDIR=dir -P run_cases.cmake
#
# TRACING: untraced runs each case's code with `do`; recorded runs it with
# do/trace under a call-back that only records the events (each run must be
# traced whole, from its init event to its end event); hostile runs it under
# a call-back that at every event grows the running block, so that its
# buffer may be replaced, and makes a new global word, so that the global
# context grows. Every way must give what the file says: the tracing and the
# moves it causes change no result. The hostile call-back keeps what it
# appends to the case's own block from its enter event on (the block ends at
# the tail it had when it began) and cuts every other block (a body, a
# branch, a paren, which may run again) back to the length it had.
cmake_minimum_required(VERSION 3.20)

foreach(var PROGRAM CASES TRACING WORKDIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "run_cases.cmake needs -D${var}=...")
  endif()
endforeach()
if(NOT TRACING MATCHES "^(untraced|recorded|hostile)$")
  message(FATAL_ERROR "TRACING is untraced, recorded or hostile, not ${TRACING}")
endif()
get_filename_component(subject ${CASES} NAME_WE)

# The lines of the file as a list: the characters a list gives meaning to
# (; [ ] \) stand in for themselves as control characters until a line is
# taken out of it.
string(ASCII 1 semicolon_mark)
string(ASCII 2 open_mark)
string(ASCII 3 close_mark)
string(ASCII 4 backslash_mark)
file(READ ${CASES} text)
string(REPLACE "\r" "" text "${text}")
string(REPLACE "\\" "${backslash_mark}" text "${text}")
string(REPLACE ";" "${semicolon_mark}" text "${text}")
string(REPLACE "[" "${open_mark}" text "${text}")
string(REPLACE "]" "${close_mark}" text "${text}")
string(REGEX REPLACE "\n$" "" text "${text}")
string(REPLACE "\n" ";" lines "${text}")

# Parsing: top (between cases), setup (a set-up section: setup_N holds the
# code that runs before case N), code (the code
# lines of a block case), expected (the expected lines of a block case).
set(state top)
set(count 0)
set(line_number 0)
foreach(line IN LISTS lines)
  math(EXPR line_number "${line_number} + 1")
  string(REPLACE "${semicolon_mark}" ";" line "${line}")
  string(REPLACE "${open_mark}" "[" line "${line}")
  string(REPLACE "${close_mark}" "]" line "${line}")
  string(REPLACE "${backslash_mark}" "\\" line "${line}")
  string(STRIP "${line}" stripped)
  if(state STREQUAL "top")
    if(stripped STREQUAL "" OR stripped MATCHES "^;")
      continue()
    endif()
    if(stripped STREQUAL "--- set-up")
      math(EXPR setup_for "${count} + 1")
      set(state setup)
      continue()
    endif()
    math(EXPR count "${count} + 1")
    set(case_line_${count} ${line_number})
    # A line "==> expected" is a case of empty code.
    string(FIND " ${line}" " ==> " arrow)
    if(arrow GREATER -1)
      string(SUBSTRING " ${line}" 0 ${arrow} code)
      math(EXPR after "${arrow} + 5")
      string(SUBSTRING " ${line}" ${after} -1 expected)
      string(STRIP "${code}" case_code_${count})
      set(case_expected_${count} "${expected}")
      set(case_kind_${count} result)
    else()
      set(case_code_${count} "${line}")
      set(state code)
    endif()
  elseif(state STREQUAL "setup")
    if(stripped STREQUAL "--- cases")
      set(state top)
    else()
      string(APPEND setup_${setup_for} "${line}\n")
    endif()
  elseif(state STREQUAL "code")
    if(stripped STREQUAL "--- prints" OR stripped STREQUAL "--- result")
      string(SUBSTRING "${stripped}" 4 -1 case_kind_${count})
      set(case_expected_${count} "")
      set(state expected)
    else()
      string(APPEND case_code_${count} "\n${line}")
    endif()
  else()
    if(stripped STREQUAL "--- end")
      if(case_kind_${count} STREQUAL "result")
        string(REGEX REPLACE "\n$" "" case_expected_${count} "${case_expected_${count}}")
      endif()
      set(state top)
    else()
      string(APPEND case_expected_${count} "${line}\n")
    endif()
  endif()
endforeach()
if(NOT state STREQUAL "top")
  message(FATAL_ERROR "${CASES}: ends inside a ${state} section (a block case ends at \"--- end\", the set-up at \"--- cases\")")
endif()
if(count EQUAL 0)
  message(FATAL_ERROR "${CASES}: no cases")
endif()

# The program. Each case's code is a string the program loads and runs
# under try, so that a case that fails to load or raises an error reports
# it and the next case still runs. The runner's words live in an object,
# out of the way of the globals the cases make.
set(program "Zel [title: \"cases of ${subject}, ${TRACING}\"]\n")
string(APPEND program [=[
zel-cases: make object! [
    log: copy []
    grown: 0
    grown-before: 0
    top: none
    code: none
    recorder: func [event code offset value ref frame] [append log event]
    grower: func [event where offset value ref frame /local old-tail] [
        grown: grown + 1
        if event = 'init [top: where]
        if all [event <> 'init any [block? :where paren? :where]] [
            old-tail: tail where
            loop 20 [append where none]
            unless same? head where head top [clear old-tail]
        ]
        set to word! append copy "zel-cases-grown-" form grown grown
    ]
    begin: func [n] [
        clear log
        grown-before: grown
        code: none
        print ["<<zel-case" n ">>"]
    ]
    ; An error is named by its category and id; its other fields (where
    ; it was raised, the depth of the stack) say where it was raised.
    name-of: func [error [error!]] [append append copy form error/type "/" form error/id]
    report: func [result [block! error!] tracing [word!]] [
        print "<<zel-case-result>>"
        print case [
            error? result [append copy "error " name-of result]
            error? pick result 1 [append copy "error! " name-of pick result 1]
            true [mold pick result 1]
        ]
        ; The checks of the tracing apply to a case whose code loaded.
        if all [tracing = 'recorded code [init end] <> reduce [pick log 1 pick back tail log 1]] [
            print ["the trace was not whole: its events began and ended" mold reduce [pick log 1 pick back tail log 1]]
        ]
        if all [tracing = 'hostile code grown <= grown-before] [
            print "the hostile call-back grew nothing"
        ]
    ]
]
]=])
if(TRACING STREQUAL "untraced")
  set(run_prefix "do")
  set(run_suffix "")
elseif(TRACING STREQUAL "recorded")
  set(run_prefix "do/trace")
  set(run_suffix " :zel-cases/recorder")
else()
  set(run_prefix "do/trace")
  set(run_suffix " :zel-cases/grower")
endif()
foreach(i RANGE 1 ${count})
  if(DEFINED setup_${i})
    string(APPEND program "${setup_${i}}")
  endif()
  # In a {} string ^ escapes itself and the braces.
  string(REPLACE "^" "^^" code "${case_code_${i}}")
  string(REPLACE "{" "^{" code "${code}")
  string(REPLACE "}" "^}" code "${code}")
  string(APPEND program "zel-cases/begin ${i}\n"
                        "zel-cases/report try/all [zel-cases/code: transcode {${code}} reduce [${run_prefix} zel-cases/code${run_suffix}]] '${TRACING}\n")
endforeach()
math(EXPR after_last "${count} + 1")
if(DEFINED setup_${after_last})
  message(FATAL_ERROR "${CASES}: a set-up section after the last case")
endif()
string(APPEND program "print \"<<zel-cases-end>>\"\n")

file(MAKE_DIRECTORY ${WORKDIR})
set(script ${WORKDIR}/${subject}.${TRACING}.zel)
file(WRITE ${script} "${program}")
execute_process(COMMAND ${PROGRAM} ${script} OUTPUT_VARIABLE out ERROR_VARIABLE err
                RESULT_VARIABLE status INPUT_FILE /dev/null WORKING_DIRECTORY ${WORKDIR})

# Takes the output up to MARKER off `rest`: sets `before` to the text before
# the marker and `rest` to the text after it; when the marker is missing,
# counts a failure of case i (the program ended WHEN it) and sets `lost`.
function(take_through marker when)
  string(FIND "${rest}" "${marker}" at)
  if(at EQUAL -1)
    math(EXPR failed "${failed} + 1")
    set(failed ${failed} PARENT_SCOPE)
    set(failures "${failures}\n${where}: the program ended ${when} this case:\n  ${case_code_${i}}\n" PARENT_SCOPE)
    set(lost TRUE PARENT_SCOPE)
    return()
  endif()
  string(SUBSTRING "${rest}" 0 ${at} before)
  string(LENGTH "${marker}" skip)
  math(EXPR at "${at} + ${skip}")
  string(SUBSTRING "${rest}" ${at} -1 rest)
  set(before "${before}" PARENT_SCOPE)
  set(rest "${rest}" PARENT_SCOPE)
endfunction()

# Each case's output: what it printed, between "<<zel-case N >>" and
# "<<zel-case-result>>", then the runner's report of its result.
set(failures "")
set(failed 0)
set(lost FALSE)
set(rest "${out}")
foreach(i RANGE 1 ${count})
  set(where "${CASES}:${case_line_${i}}")
  take_through("<<zel-case ${i} >>\n" before)
  if(NOT lost)
    take_through("<<zel-case-result>>\n" inside)
  endif()
  if(lost)
    break()
  endif()
  set(printed "${before}")
  math(EXPR next "${i} + 1")
  if(i EQUAL count)
    string(FIND "${rest}" "<<zel-cases-end>>" at)
  else()
    string(FIND "${rest}" "<<zel-case ${next} >>\n" at)
  endif()
  if(at EQUAL -1)
    set(result "${rest}")
  else()
    string(SUBSTRING "${rest}" 0 ${at} result)
  endif()
  string(REGEX REPLACE "\n$" "" result "${result}")
  if(case_kind_${i} STREQUAL "prints")
    set(got "${printed}")
  else()
    set(got "${result}")
  endif()
  if(NOT got STREQUAL case_expected_${i})
    string(APPEND failures "\n${where}: ${TRACING}\n  code:     ${case_code_${i}}\n"
                           "  expected: ${case_expected_${i}}\n  got:      ${got}\n")
    math(EXPR failed "${failed} + 1")
  endif()
endforeach()
if(NOT out MATCHES "<<zel-cases-end>>\n$")
  string(APPEND failures "\nthe program did not run to its end\n")
  math(EXPR failed "${failed} + 1")
endif()
if(NOT status EQUAL 0)
  string(APPEND failures "\nexit status ${status}\n")
  math(EXPR failed "${failed} + 1")
endif()
if(failed GREATER 0)
  message(FATAL_ERROR "${CASES}, ${TRACING}: ${failed} failures in ${count} cases (program ${script}):"
                      "${failures}\n--- standard error\n${err}")
endif()
message(STATUS "${count} cases of ${subject} (${TRACING})")
