# The browser test of the page (web/test/), in the wasm build only: Node's own
# test runner serves this build folder on 127.0.0.1 and drives Debian's
# chromium through playwright-core, which `npm ci` in web/ installs.
if(NOT EMSCRIPTEN)
  return()
endif()

include(CTest)
if(NOT BUILD_TESTING)
  return()
endif()

find_program(JOINREL_NODE node REQUIRED)
if(NOT EXISTS ${CMAKE_SOURCE_DIR}/web/node_modules/playwright-core)
  message(STATUS "No web/node_modules: run `npm ci` in web/ before the browser test")
endif()
add_test(NAME browser COMMAND ${JOINREL_NODE} --test ${CMAKE_SOURCE_DIR}/web/test/browser.test.mjs)
# What needs no browser: the walk-through's facts, a module of the page, and
# the words of every part's table (the glossary, counted phrases, the article).
add_test(NAME page.facts COMMAND ${JOINREL_NODE} --test ${CMAKE_SOURCE_DIR}/web/test/walk-facts.test.mjs)
add_test(NAME page.words COMMAND ${JOINREL_NODE} --test ${CMAKE_SOURCE_DIR}/web/test/words.test.mjs)
set_tests_properties(browser PROPERTIES
  ENVIRONMENT JOINREL_WASM_DIR=${CMAKE_BINARY_DIR}
  TIMEOUT 600)
