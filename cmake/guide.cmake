# Makes README.html, the user's guide: README.md as one complete HTML page
# that works wherever it is copied, beside the license file it links to.
#   - cmark-gfm, with its table extension, renders the Markdown;
#   - each heading gets the id that the README's in-page links use (the
#     lower-case heading text, punctuation dropped, blanks as "-");
#   - a paragraph that links to a developer's document (another .md file) is
#     left out, since the user's copy holds no such document;
#   - a link to LICENSE leads to LICENSE_LINK, the license file's name beside
#     the guide;
#   - each picture is built into the page as a data: address.
# Usage: cmake -DSOURCE_DIR=<repository> -DCMARK_GFM=<cmark-gfm> -DLICENSE_LINK=<name>
#              -DOUTPUT=<file> -P guide.cmake

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

# `html` without the paragraphs that link to a .md file other than the guide.
function(drop_developer_paragraphs html out)
  while(html MATCHES "<a href=\"[^\"#:]*\\.md[\"#]")
    string(FIND "${html}" "${CMAKE_MATCH_0}" link)
    string(SUBSTRING "${html}" 0 ${link} before)
    string(SUBSTRING "${html}" ${link} -1 after)
    string(FIND "${before}" "<p>" start REVERSE)
    string(FIND "${after}" "</p>\n" end)
    if(start EQUAL -1 OR end EQUAL -1)
      message(FATAL_ERROR "README.md: a link to a developer's document outside a paragraph")
    endif()
    string(SUBSTRING "${before}" 0 ${start} before)
    math(EXPR end "${end} + 5")
    string(SUBSTRING "${after}" ${end} -1 after)
    set(html "${before}${after}")
  endwhile()
  set(${out} "${html}" PARENT_SCOPE)
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

execute_process(COMMAND "${CMARK_GFM}" --extension table "${SOURCE_DIR}/README.md"
                OUTPUT_VARIABLE body RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmark-gfm could not render README.md: ${status}")
endif()
give_headings_ids("${body}" body)
drop_developer_paragraphs("${body}" body)
string(REPLACE "<a href=\"LICENSE\">" "<a href=\"${LICENSE_LINK}\">" body "${body}")
embed_pictures("${body}" body)

file(WRITE "${OUTPUT}" [=[<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>joinrel: the guide</title>
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
