# Writes, at configure time, every file that lists the library's result
# codes from their one table, install/result_codes.def:
#   generated/include/quorvant.h       the header callers compile against
#   generated/installer/quorvant.nsh   the NSIS include of the setup programs
#   generated/installer/quorvant.isi   the Inno Setup include
# each from its template (include/quorvant.h.in, installer/*.in) under the
# build tree. A change to the table or a template configures again.
# A row the reader cannot take apart stops the configuration: every text is
# one string literal without escapes.

# Pads `text` with spaces to `width` characters into `out`.
function(qv_pad out text width)
  string(LENGTH "${text}" length)
  while(length LESS width)
    string(APPEND text " ")
    math(EXPR length "${length} + 1")
  endwhile()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(qv_write_result_code_files)
  set(table ${PROJECT_SOURCE_DIR}/install/result_codes.def)
  set(templates ${PROJECT_SOURCE_DIR}/include/quorvant.h.in
    ${PROJECT_SOURCE_DIR}/installer/quorvant.nsh.in ${PROJECT_SOURCE_DIR}/installer/quorvant.isi.in)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${table} ${templates} ${CMAKE_CURRENT_FUNCTION_LIST_FILE})

  # The rows, as row_<i>_<column> variables: the texts hold semicolons, so
  # they never go through a CMake list.
  file(READ ${table} text)
  string(REGEX REPLACE "//[^\n]*" "" text "${text}")
  string(REGEX REPLACE "[ \t\r\n]+" " " text "${text}")
  set(row_pattern
    "^QV_RESULT_CODE\\( ?([A-Z][A-Z0-9_]*) ?, ?(-?[0-9]+) ?, ?\"([^\"\\\\]*)\" ?, ?([0-9]+) ?, ?\"([^\"\\\\]*)\" ?\\)")
  set(count 0)
  while(TRUE)
    string(FIND "${text}" "QV_RESULT_CODE(" at)
    if(at EQUAL -1)
      break()
    endif()
    string(SUBSTRING "${text}" ${at} -1 text)
    if(NOT text MATCHES "${row_pattern}")
      string(SUBSTRING "${text}" 0 80 row)
      message(FATAL_ERROR "install/result_codes.def: cannot read the row ${row}...")
    endif()
    set(row_${count}_name "${CMAKE_MATCH_1}")
    set(row_${count}_value "${CMAKE_MATCH_2}")
    set(row_${count}_meaning "${CMAKE_MATCH_3}")
    set(row_${count}_exit "${CMAKE_MATCH_4}")
    set(row_${count}_summary "${CMAKE_MATCH_5}")
    string(LENGTH "${CMAKE_MATCH_0}" length)
    string(SUBSTRING "${text}" ${length} -1 text)
    if(row_${count}_meaning MATCHES [[\*/]])
      message(FATAL_ERROR "install/result_codes.def: the meaning of ${row_${count}_name} closes a C comment")
    endif()
    math(EXPR count "${count} + 1")
  endwhile()
  if(count EQUAL 0)
    message(FATAL_ERROR "install/result_codes.def holds no row")
  endif()
  math(EXPR last "${count} - 1")

  # quorvant.h: one define per row, the meanings aligned; and the values from
  # the highest to the lowest, 0 among them, that are no result code.
  set(width 0)
  set(highest 0)
  set(lowest 0)
  foreach(i RANGE ${last})
    set(value ${row_${i}_value})
    if(value LESS 0)
      set(value "(${value})")
    endif()
    set(row_${i}_define "#define ${row_${i}_name} ${value}")
    string(LENGTH "${row_${i}_define}" length)
    if(length GREATER width)
      set(width ${length})
    endif()
    if(row_${i}_value GREATER highest)
      set(highest ${row_${i}_value})
    endif()
    if(row_${i}_value LESS lowest)
      set(lowest ${row_${i}_value})
    endif()
    set(code_${row_${i}_value} ${row_${i}_name})
  endforeach()
  math(EXPR width "${width} + 2")
  set(QV_RESULT_CODE_DEFINES "")
  foreach(i RANGE ${last})
    qv_pad(define "${row_${i}_define}" ${width})
    string(APPEND QV_RESULT_CODE_DEFINES "${define}/* ${row_${i}_meaning} */\n")
  endforeach()
  set(unused "")
  set(value ${highest})
  while(NOT value LESS lowest)
    if(NOT DEFINED code_${value})
      list(APPEND unused ${value})
    endif()
    math(EXPR value "${value} - 1")
  endwhile()
  list(LENGTH unused length)
  if(length EQUAL 0)
    set(QV_UNUSED_RESULT_CODES "")
  elseif(length EQUAL 1)
    set(QV_UNUSED_RESULT_CODES " ${unused} never occurs.")
  else()
    list(POP_BACK unused final)
    list(JOIN unused ", " QV_UNUSED_RESULT_CODES)
    set(QV_UNUSED_RESULT_CODES " ${QV_UNUSED_RESULT_CODES} and ${final} never occur.")
  endif()

  # quorvant.nsh and quorvant.isi: each code and its exit status by name,
  # and the text and exit status of a code.
  set(QV_NSIS_DEFINES "")
  set(QV_NSIS_CASES "")
  set(QV_INNO_CONSTS "")
  set(QV_INNO_CASES "")
  foreach(i RANGE ${last})
    set(name ${row_${i}_name})
    set(value ${row_${i}_value})
    set(line "${name}: ${row_${i}_summary}")
    string(REPLACE "$" "$$" nsis_line "${line}")
    string(REPLACE "'" "''" inno_line "${line}")
    string(APPEND QV_NSIS_DEFINES "!define ${name} ${value}\n!define ${name}_EXIT ${row_${i}_exit}\n")
    string(APPEND QV_NSIS_CASES
      "    \${Case} ${value}\n"
      "      StrCpy \${_QV_TEXT} \"${nsis_line}\"\n"
      "      StrCpy \${_QV_STATUS} \${${name}_EXIT}\n"
      "      \${Break}\n")
    string(APPEND QV_INNO_CONSTS "  ${name} = ${value};\n  ${name}_EXIT = ${row_${i}_exit};\n")
    string(APPEND QV_INNO_CASES
      "    ${value}:\n"
      "      begin\n"
      "        Text := '${inno_line}';\n"
      "        ExitStatus := ${name}_EXIT;\n"
      "      end;\n")
  endforeach()
  string(STRIP "${QV_RESULT_CODE_DEFINES}" QV_RESULT_CODE_DEFINES)
  foreach(block QV_NSIS_DEFINES QV_NSIS_CASES QV_INNO_CONSTS QV_INNO_CASES)
    string(REGEX REPLACE "\n$" "" ${block} "${${block}}")
  endforeach()

  set(out ${PROJECT_BINARY_DIR}/generated)
  configure_file(${PROJECT_SOURCE_DIR}/include/quorvant.h.in ${out}/include/quorvant.h @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/installer/quorvant.nsh.in ${out}/installer/quorvant.nsh @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/installer/quorvant.isi.in ${out}/installer/quorvant.isi @ONLY)
endfunction()
