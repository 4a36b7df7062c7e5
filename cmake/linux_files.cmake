# Makes the files that the Linux install and the Debian package hold beside
# the program and that are not kept in the repository:
#   copyright     LICENSE in Debian's machine-readable copyright format
#   changelog.gz  the entry of CHANGELOG.md for VERSION in Debian's changelog
#                 format, signed by MAINTAINER
#   joinrel.1.gz  the manual page
# Compressed with gzip -9n: no name or time in the header, so the bytes
# depend on the sources alone.
# Usage: cmake -DSOURCE_DIR=<repository> -DOUTPUT_DIR=<folder> -DVERSION=<x.y.z>
#              -DMAINTAINER="Name <address>" -P linux_files.cmake

function(gzip source target)
  execute_process(COMMAND gzip -9n -c "${source}" OUTPUT_FILE "${target}"
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip could not compress ${source}: ${status}")
  endif()
endfunction()

# The date `iso` (YYYY-MM-DD) as a Debian changelog writes it, at midnight UTC:
# "Wed, 09 Dec 2026 00:00:00 +0000".
function(changelog_date iso out)
  if(NOT iso MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
    message(FATAL_ERROR "CHANGELOG.md: \"${iso}\" is no date of the form YYYY-MM-DD")
  endif()
  set(year_text "${CMAKE_MATCH_1}")
  set(month_text "${CMAKE_MATCH_2}")
  set(day_text "${CMAKE_MATCH_3}")
  math(EXPR year "${year_text}")
  string(REGEX REPLACE "^0" "" month "${month_text}")
  string(REGEX REPLACE "^0" "" day "${day_text}")
  # The day of the week by Sakamoto's method, 0 for Sunday.
  set(month_offsets 0 3 2 5 0 3 5 1 4 6 2 4)
  math(EXPR month_index "${month} - 1")
  list(GET month_offsets ${month_index} offset)
  if(month LESS 3)
    math(EXPR year "${year} - 1")
  endif()
  math(EXPR weekday "(${year} + ${year} / 4 - ${year} / 100 + ${year} / 400 + ${offset} + ${day}) % 7")
  set(weekdays Sun Mon Tue Wed Thu Fri Sat)
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  list(GET weekdays ${weekday} weekday_name)
  list(GET months ${month_index} month_name)
  set(${out} "${weekday_name}, ${day_text} ${month_name} ${year_text} 00:00:00 +0000" PARENT_SCOPE)
endfunction()

# copyright
file(READ "${SOURCE_DIR}/LICENSE" license)
if(NOT license MATCHES "\nCopyright \\(c\\) ([^\n]*)\n\n(.*)$")
  message(FATAL_ERROR "LICENSE: no line \"Copyright (c) YEAR HOLDER\" before the license text")
endif()
set(holder "${CMAKE_MATCH_1}")
set(license_text "${CMAKE_MATCH_2}")
string(STRIP "${license_text}" license_text)
# In the copyright format a license text is indented by one blank, and an
# empty line is written as " .".
string(REPLACE "\n" "\n " license_text " ${license_text}")
string(REPLACE "\n \n" "\n .\n" license_text "${license_text}")
file(WRITE "${OUTPUT_DIR}/copyright"
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: joinrel\n"
     "\n"
     "Files: *\n"
     "Copyright: ${holder}\n"
     "License: Expat\n"
     "\n"
     "License: Expat\n"
     "${license_text}\n")

# changelog.gz
file(READ "${SOURCE_DIR}/CHANGELOG.md" changes)
string(REPLACE "." "\\." version_pattern "${VERSION}")
if(NOT changes MATCHES "\n## ${version_pattern} \\(([0-9-]+)\\)\n")
  message(FATAL_ERROR "CHANGELOG.md has no entry \"## ${VERSION} (YYYY-MM-DD)\"")
endif()
changelog_date("${CMAKE_MATCH_1}" date)
string(FIND "${changes}" "${CMAKE_MATCH_0}" start)
string(LENGTH "${CMAKE_MATCH_0}" heading_length)
math(EXPR start "${start} + ${heading_length}")
string(SUBSTRING "${changes}" ${start} -1 entry)
string(FIND "${entry}" "\n## " end)
string(SUBSTRING "${entry}" 0 ${end} entry)
string(STRIP "${entry}" entry)
# "- point" becomes "  * point", and its continuation lines move along.
string(REGEX REPLACE "\n\n+" "\n" entry "${entry}")
string(REGEX REPLACE "(^|\n)- " "\\1* " entry "${entry}")
string(REPLACE "\n" "\n  " entry "  ${entry}")
file(WRITE "${OUTPUT_DIR}/changelog"
     "joinrel (${VERSION}) unstable; urgency=medium\n"
     "\n"
     "${entry}\n"
     "\n"
     " -- ${MAINTAINER}  ${date}\n")
gzip("${OUTPUT_DIR}/changelog" "${OUTPUT_DIR}/changelog.gz")

# joinrel.1.gz
gzip("${SOURCE_DIR}/doc/joinrel.1" "${OUTPUT_DIR}/joinrel.1.gz")
