# Read by cpack before it makes a package. The Windows ZIP always holds the
# page, so without a built page cpack stops here, having written nothing. On
# Linux the page is a package of its own, joinrel-page: without the page only
# the program's package is made.
if(NOT EXISTS "${CPACK_JOINREL_PAGE}")
  if(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_COMPONENTS_ALL program)
    message(STATUS "No ${CPACK_JOINREL_PAGE}: only the program's package is made, without "
                   "joinrel-page (the page is built with \"cmake --preset wasm && "
                   "cmake --build --preset wasm\")")
  else()
    message(FATAL_ERROR "${CPACK_JOINREL_PAGE} is not built, and the package holds the page: "
                        "build it first with \"cmake --preset wasm && cmake --build --preset wasm\" "
                        "in the folder of README.md (it needs emscripten, binaryen and node)")
  endif()
endif()
