# Makes the files of the Windows ZIP that are not kept in the repository:
#   README.txt                    the parts of README.md a Windows user needs,
#                                 as plain text with CR LF line ends, and the
#                                 license
#   examples/NAME.expected.txt    each example's expected output with CR LF
#                                 line ends, as joinrel.exe writes it
# Usage: cmake -DSOURCE_DIR=<repository> -DOUTPUT_DIR=<folder> -P windows_files.cmake

set(width 78)

# CMake lists split at ";" and keep "[...]" together, so while the text is
# handled as a list of lines and words, three control bytes stand in for them.
string(ASCII 28 semicolon)
string(ASCII 29 open_bracket)
string(ASCII 30 close_bracket)
# A blank at which no line is broken.
string(ASCII 31 unbreakable_blank)

function(hide_list_characters text out)
  string(REPLACE ";" "${semicolon}" text "${text}")
  string(REPLACE "[" "${open_bracket}" text "${text}")
  string(REPLACE "]" "${close_bracket}" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(restore_hidden_characters text out)
  string(REPLACE "${semicolon}" ";" text "${text}")
  string(REPLACE "${open_bracket}" "[" text "${text}")
  string(REPLACE "${close_bracket}" "]" text "${text}")
  string(REPLACE "${unbreakable_blank}" " " text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Every line feed of `text` preceded by a carriage return.
function(to_crlf text out)
  string(REPLACE "\n" "\r\n" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The part of `readme` under the heading line `heading`, up to the next
# heading of any level.
function(readme_part readme heading out)
  string(FIND "${readme}" "\n${heading}\n" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "README.md has no heading \"${heading}\"")
  endif()
  string(LENGTH "\n${heading}\n" heading_length)
  math(EXPR start "${start} + ${heading_length}")
  string(SUBSTRING "${readme}" ${start} -1 rest)
  string(FIND "${rest}" "\n#" end)
  string(SUBSTRING "${rest}" 0 ${end} part)
  set(${out} "${part}" PARENT_SCOPE)
endfunction()

# Markdown's inline marks as plain text: `code` in quotes, kept on one line,
# and *emphasis* and links as their text alone.
function(plain_inline text out)
  while(text MATCHES "`([^`]*)`")
    set(code "${CMAKE_MATCH_1}")
    string(REPLACE " " "${unbreakable_blank}" unbreakable "${code}")
    string(REPLACE "`${code}`" "\"${unbreakable}\"" text "${text}")
  endwhile()
  string(REGEX REPLACE "\\*([^*]+)\\*" "\\1" text "${text}")
  string(REGEX REPLACE "${open_bracket}([^${close_bracket}]*)${close_bracket}\\([^)]*\\)" "\\1"
                       text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# `text`, one paragraph, wrapped at `width` columns: the first line begins
# with `first_indent`, the others with `indent`.
function(wrap text first_indent indent out)
  string(REGEX REPLACE " +" ";" words "${text}")
  set(result "")
  set(line "${first_indent}")
  set(line_is_empty TRUE)
  foreach(word IN LISTS words)
    string(LENGTH "${line} ${word}" length)
    if(line_is_empty)
      string(APPEND line "${word}")
      set(line_is_empty FALSE)
    elseif(length GREATER width)
      string(APPEND result "${line}\n")
      set(line "${indent}${word}")
    else()
      string(APPEND line " ${word}")
    endif()
  endforeach()
  set(${out} "${result}${line}\n" PARENT_SCOPE)
endfunction()

# A table row's cells, without the outer bars.
function(table_cells row out)
  string(REGEX REPLACE "^\\| (.*) \\|$" "\\1" row "${row}")
  string(REPLACE " | " ";" cells "${row}")
  set(${out} "${cells}" PARENT_SCOPE)
endfunction()

# A Markdown part as plain text: paragraphs and list items wrapped, code
# blocks as they are, and each table row as its first cell followed by the
# other cells, each under its column's name.
function(plain_text markdown out)
  # The empty line added at the end ends the last paragraph.
  string(REPLACE "\n" ";" lines "${markdown}\n")
  set(result "")
  set(paragraph "")
  set(paragraph_indent "")
  set(columns "")
  foreach(line IN LISTS lines)
    if(NOT paragraph STREQUAL "" AND (line MATCHES "^( *|    .*|- .*|\\|.*)$"))
      plain_inline("${paragraph}" paragraph)
      wrap("${paragraph}" "" "${paragraph_indent}" wrapped)
      string(APPEND result "${wrapped}")
      set(paragraph "")
    endif()
    if(line MATCHES "^ *$")
      string(APPEND result "\n")
      set(columns "")
    elseif(line MATCHES "^    ")
      string(APPEND result "${line}\n")
    elseif(line MATCHES "^\\|")
      if(line MATCHES "^\\|[-|]+\\|$")
        continue()
      endif()
      table_cells("${line}" cells)
      if(columns STREQUAL "")
        set(columns "${cells}")
        continue()
      endif()
      list(POP_FRONT cells title)
      plain_inline("${title}" title)
      string(APPEND result "${title}\n")
      set(column_index 1)
      foreach(cell IN LISTS cells)
        list(GET columns ${column_index} column)
        plain_inline("${column}: ${cell}" cell)
        wrap("${cell}" "    " "      " wrapped)
        string(APPEND result "${wrapped}")
        math(EXPR column_index "${column_index} + 1")
      endforeach()
      string(APPEND result "\n")
    else()
      if(line MATCHES "^- ")
        set(paragraph_indent "  ")
      elseif(paragraph STREQUAL "")
        set(paragraph_indent "")
      endif()
      string(STRIP "${line}" line)
      string(APPEND paragraph " ${line}")
      string(STRIP "${paragraph}" paragraph)
    endif()
  endforeach()
  string(REGEX REPLACE "\n\n+" "\n\n" result "${result}")
  string(STRIP "${result}" result)
  set(${out} "${result}\n" PARENT_SCOPE)
endfunction()

function(heading title out)
  string(LENGTH "${title}" length)
  string(REPEAT "=" ${length} underline)
  set(${out} "\n\n${title}\n${underline}\n\n" PARENT_SCOPE)
endfunction()

file(READ "${SOURCE_DIR}/README.md" readme)
hide_list_characters("${readme}" readme)

# The first paragraph says what joinrel does.
string(REGEX MATCH "^# [^\n]*\n\n(.*)" intro "${readme}")
set(intro "${CMAKE_MATCH_1}")
string(FIND "${intro}" "\n\n" end)
string(SUBSTRING "${intro}" 0 ${end} intro)
plain_text("${intro}" text)
set(readme_txt "joinrel\n=======\n\n${text}")

foreach(part IN ITEMS "Windows:### Windows" "Messages:## Messages" "Encoding:## Encoding")
  string(REGEX MATCH "^([^:]*):(.*)$" _ "${part}")
  set(title "${CMAKE_MATCH_1}")
  readme_part("${readme}" "${CMAKE_MATCH_2}" markdown)
  plain_text("${markdown}" text)
  heading("${title}" title)
  string(APPEND readme_txt "${title}${text}")
endforeach()

file(READ "${SOURCE_DIR}/LICENSE" license)
heading("License" title)
string(APPEND readme_txt "${title}${license}")

restore_hidden_characters("${readme_txt}" readme_txt)
to_crlf("${readme_txt}" readme_txt)
file(WRITE "${OUTPUT_DIR}/README.txt" "${readme_txt}")

file(GLOB expected_outputs "${SOURCE_DIR}/examples/*.expected.txt")
foreach(expected IN LISTS expected_outputs)
  get_filename_component(name "${expected}" NAME)
  file(READ "${expected}" text)
  to_crlf("${text}" text)
  file(WRITE "${OUTPUT_DIR}/examples/${name}" "${text}")
endforeach()
