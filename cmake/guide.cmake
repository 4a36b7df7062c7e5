# Makes README.html, a user's guide: the parts of README.md for the users of
# one platform, as one complete HTML page that works wherever it is copied,
# beside the license file it links to.
#   - README.md is written once for everyone. A block between the lines
#     "<!-- for linux -->", "<!-- for windows -->" or "<!-- for sources -->"
#     and "<!-- end -->" goes only into the guide of that platform, or, for
#     "sources" (building from the sources, the developer's documents), into
#     no guide at all; the rest goes into both. The markers do not nest.
#   - cmark-gfm, with its table extension, renders the Markdown;
#   - each heading gets the id that the README's in-page links use (the
#     lower-case heading text, punctuation dropped, blanks as "-"), and every
#     in-page link must lead to a heading of this guide;
#   - a guide must not link to a developer's document (another .md file),
#     which its user does not have;
#   - a link to LICENSE leads to LICENSE_LINK, the license file's name beside
#     the guide;
#   - each picture is built into the page as a data: address.
# Usage: cmake -DSOURCE_DIR=<repository> -DCMARK_GFM=<cmark-gfm> -DPLATFORM=linux|windows
#              -DLICENSE_LINK=<name> -DOUTPUT=<file> -P guide.cmake

cmake_minimum_required(VERSION 3.25)

# The id of a heading whose HTML content is `content`.
function(heading_id content out)
  string(REGEX REPLACE "<[^>]*>" "" text "${content}")
  string(REGEX REPLACE "&[a-z0-9#]+;" "" text "${text}")
  string(TOLOWER "${text}" text)
  string(REGEX REPLACE "[^a-z0-9 _-]" "" text "${text}")
  string(REPLACE " " "-" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# `html` with an id on every heading; a second heading of the same id would
# make an in-page link ambiguous, so it stops the build.
function(give_headings_ids html out)
  set(done "")
  set(ids "")
  while(html MATCHES "<h([1-6])>([^\n]*)</h[1-6]>")
    set(heading "${CMAKE_MATCH_0}")
    set(level "${CMAKE_MATCH_1}")
    heading_id("${CMAKE_MATCH_2}" id)
    if("${id}" IN_LIST ids)
      message(FATAL_ERROR "README.md: two headings have the id \"${id}\"")
    endif()
    list(APPEND ids "${id}")
    string(FIND "${html}" "${heading}" start)
    string(LENGTH "${heading}" length)
    math(EXPR end "${start} + ${length}")
    string(SUBSTRING "${html}" 0 ${start} before)
    string(SUBSTRING "${html}" ${end} -1 html)
    string(REPLACE "<h${level}>" "<h${level} id=\"${id}\">" heading "${heading}")
    string(APPEND done "${before}${heading}")
  endwhile()
  set(${out} "${done}${html}" PARENT_SCOPE)
endfunction()

# Stops the build when `html` links to a .md file, or in-page to a heading
# it does not have.
function(check_links html)
  if(html MATCHES "<a href=\"([^\"#:]*\\.md)[\"#]")
    message(FATAL_ERROR "README.md: the ${PLATFORM} guide links to ${CMAKE_MATCH_1}, which its "
                        "user does not have: put that paragraph between <!-- for sources --> "
                        "and <!-- end -->")
  endif()
  string(REGEX MATCHALL "<a href=\"#[^\"]*\"" links "${html}")
  foreach(link IN LISTS links)
    string(REGEX REPLACE "^<a href=\"#(.*)\"$" "\\1" id "${link}")
    string(FIND "${html}" " id=\"${id}\">" found)
    if(found EQUAL -1)
      message(FATAL_ERROR "README.md: the ${PLATFORM} guide links to #${id}, a heading it "
                          "does not have")
    endif()
  endforeach()
endfunction()

# The text of README.md `markdown` that the guide for PLATFORM holds.
function(select_platform markdown out)
  set(kept "")
  set(rest "${markdown}")
  while(TRUE)
    string(REGEX MATCH "\n<!-- (for [a-z]+|end) -->\n" marker "${rest}")
    if(NOT marker)
      break()
    endif()
    string(FIND "${rest}" "${marker}" start)
    string(LENGTH "${marker}" length)
    math(EXPR end "${start} + ${length}")
    string(SUBSTRING "${rest}" 0 ${start} before)
    string(SUBSTRING "${rest}" ${end} -1 rest)
    if(marker STREQUAL "\n<!-- end -->\n")
      message(FATAL_ERROR "README.md: an <!-- end --> that ends no block")
    endif()
    string(REGEX REPLACE "^\n<!-- for ([a-z]+) -->\n$" "\\1" audience "${marker}")
    if(NOT audience MATCHES "^(linux|windows|sources)$")
      message(FATAL_ERROR "README.md: <!-- for ${audience} -->: the blocks are for linux, "
                          "windows or sources")
    endif()
    string(APPEND kept "${before}\n")
    string(FIND "${rest}" "\n<!-- end -->\n" close)
    if(close EQUAL -1)
      message(FATAL_ERROR "README.md: <!-- for ${audience} --> has no <!-- end -->")
    endif()
    string(SUBSTRING "${rest}" 0 ${close} block)
    math(EXPR close "${close} + 13")  # the line end after it stays
    string(SUBSTRING "${rest}" ${close} -1 rest)
    if(block MATCHES "\n<!-- for ")
      message(FATAL_ERROR "README.md: a block inside the <!-- for ${audience} --> block")
    endif()
    if(audience STREQUAL PLATFORM)
      string(APPEND kept "${block}\n")
    endif()
  endwhile()
  set(${out} "${kept}${rest}" PARENT_SCOPE)
endfunction()

# `html` with each <img> of a PNG file of the repository built in.
function(embed_pictures html out)
  while(html MATCHES "<img src=\"([^\":]+)\"")
    set(picture "${CMAKE_MATCH_1}")
    if(NOT picture MATCHES "\\.png$")
      message(FATAL_ERROR "README.md: ${picture}: only PNG pictures can be built into the guide")
    endif()
    execute_process(COMMAND base64 -w 0 "${SOURCE_DIR}/${picture}"
                    OUTPUT_VARIABLE data RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "README.md: cannot read the picture ${picture}")
    endif()
    string(REPLACE "<img src=\"${picture}\"" "<img src=\"data:image/png;base64,${data}\""
                   html "${html}")
  endwhile()
  set(${out} "${html}" PARENT_SCOPE)
endfunction()

if(NOT PLATFORM MATCHES "^(linux|windows)$")
  message(FATAL_ERROR "PLATFORM must be linux or windows, not \"${PLATFORM}\"")
endif()
file(READ "${SOURCE_DIR}/README.md" readme)
select_platform("${readme}" markdown)
file(WRITE "${OUTPUT}.md" "${markdown}")
execute_process(COMMAND "${CMARK_GFM}" --extension table "${OUTPUT}.md"
                OUTPUT_VARIABLE body RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmark-gfm could not render README.md: ${status}")
endif()
file(REMOVE "${OUTPUT}.md")
give_headings_ids("${body}" body)
check_links("${body}")
string(REPLACE "<a href=\"LICENSE\">" "<a href=\"${LICENSE_LINK}\">" body "${body}")
embed_pictures("${body}" body)
if(PLATFORM STREQUAL "linux")
  set(title "joinrel on Linux: the user's guide")
else()
  set(title "joinrel on Windows: the user's guide")
endif()

file(WRITE "${OUTPUT}" [=[<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>]=] "${title}" [=[</title>
<style>
body { font-family: sans-serif; line-height: 1.5; max-width: 48em; margin: 0 auto; padding: 1em; }
pre, code { font-family: monospace; background: #f3f3f3; }
pre { padding: 0.5em; overflow-x: auto; }
table { border-collapse: collapse; }
th, td { border: 1px solid #bbb; padding: 0.3em 0.5em; text-align: left; vertical-align: top; }
img { max-width: 100%; border: 1px solid #bbb; }
</style>
</head>
<body>
]=] "${body}" [=[</body>
</html>
]=])
