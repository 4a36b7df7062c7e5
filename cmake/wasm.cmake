# The page's build (the `wasm` preset): the engine compiled to WebAssembly
# twice, as joinrel.js + joinrel.wasm for the served page and as one file
# for the page that opens from disk; then web/build-page.mjs writes
# index.html, worker.js and joinrel.html around them, with the examples and
# the message explanations of README.md and doc/messages.hu.md built in.
#
# Exceptions carry every fatal message, so they are on. Memory may grow, to a
# ceiling, so that running out of it gives the program's own message.

target_compile_options(joinrel_core PRIVATE -fexceptions)
target_compile_options(joinrel_explain PRIVATE -fexceptions)
target_compile_options(joinrel_check PRIVATE -fexceptions)

set(JOINREL_WASM_LINK_OPTIONS
  -fexceptions
  -sMODULARIZE=1
  -sEXPORT_NAME=createJoinrel
  -sENVIRONMENT=worker
  -sALLOW_MEMORY_GROWTH=1
  # Past 2 GiB an address reaches JavaScript negative: worker.js reads it as unsigned.
  -sMAXIMUM_MEMORY=4GB
  -sEXPORTED_FUNCTIONS=_joinrel_run,_joinrel_check
  # worker.js reads the heap and puts the files in the file system; newer
  # Emscripten releases export either only on request.
  -sEXPORTED_RUNTIME_METHODS=HEAPU8,FS
)

add_library(joinrel_entry OBJECT src/wasm/entry.cc src/wasm/report.cc
  src/wasm/report_teaching.cc src/wasm/check_report.cc)
target_compile_options(joinrel_entry PRIVATE -fexceptions)
target_link_libraries(joinrel_entry PUBLIC joinrel_explain joinrel_check)
foreach(variant IN ITEMS joinrel joinrel_single)
  add_executable(${variant})
  target_link_libraries(${variant} PRIVATE joinrel_entry)
  target_link_options(${variant} PRIVATE ${JOINREL_WASM_LINK_OPTIONS})
endforeach()
target_link_options(joinrel_single PRIVATE -sSINGLE_FILE=1)

find_program(JOINREL_NODE node REQUIRED)
file(GLOB page_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/web/page/*)
file(GLOB page_examples CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/examples/*.txt)
list(FILTER page_examples EXCLUDE REGEX "\\.expected\\.txt$")
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/index.html ${CMAKE_BINARY_DIR}/worker.js
         ${CMAKE_BINARY_DIR}/joinrel.html
  COMMAND ${JOINREL_NODE} ${CMAKE_SOURCE_DIR}/web/build-page.mjs
          ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR} $<TARGET_FILE:joinrel_single>
  DEPENDS ${CMAKE_SOURCE_DIR}/web/build-page.mjs ${CMAKE_SOURCE_DIR}/web/sources.mjs ${page_sources}
          ${page_examples} ${CMAKE_SOURCE_DIR}/examples/README.md ${CMAKE_SOURCE_DIR}/README.md
          ${CMAKE_SOURCE_DIR}/doc/messages.hu.md ${CMAKE_SOURCE_DIR}/doc/format.hu.md joinrel_single
  COMMENT "The page: index.html, worker.js and the single file joinrel.html"
)
add_custom_target(page ALL DEPENDS ${CMAKE_BINARY_DIR}/index.html joinrel)

# The browser test of the built page runs under CTest.
include(CTest)
