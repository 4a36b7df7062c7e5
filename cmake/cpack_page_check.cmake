# Read by cpack before it makes a package: a package always holds the page,
# so without a built page cpack stops here, having written nothing.
if(NOT EXISTS "${CPACK_JOINREL_PAGE}")
  message(FATAL_ERROR "${CPACK_JOINREL_PAGE} is not built, and every package holds the page: "
                      "build it first with \"cmake --preset wasm && cmake --build --preset wasm\" "
                      "in the folder of README.md (it needs emscripten, binaryen and node)")
endif()
