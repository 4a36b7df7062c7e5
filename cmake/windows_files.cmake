# Makes each example's expected output for the Windows ZIP,
# examples/NAME.expected.txt, with CR LF line ends, as joinrel.exe writes it.
# Usage: cmake -DSOURCE_DIR=<repository> -DOUTPUT_DIR=<folder> -P windows_files.cmake

file(GLOB expected_outputs "${SOURCE_DIR}/examples/*.expected.txt")
foreach(expected IN LISTS expected_outputs)
  get_filename_component(name "${expected}" NAME)
  file(READ "${expected}" text)
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE "${OUTPUT_DIR}/examples/${name}" "${text}")
endforeach()
