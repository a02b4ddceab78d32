# Run at build time: cmake -DFROM=<the npm package @ruffle-rs/ruffle> -DTO=<program folder>/ruffle
# -P CopyRuffle.cmake. Copies the files a page needs to run the emulator (its script, the chunks it
# loads and the WebAssembly modules, with the licences) and removes the ones an older package
# left behind, whose names carry a hash of their content. Without the package nothing changes:
# publishing with the emulator copied then reports the files missing.
cmake_minimum_required(VERSION 3.20)
if(NOT EXISTS "${FROM}/ruffle.js")
  message(STATUS "The Ruffle emulator is not installed at ${FROM} (scripts/ruffle.sh installs it); "
                 "the preview and publishing with --ruffle copy will report it missing")
  return()
endif()
file(GLOB wanted RELATIVE "${FROM}"
     "${FROM}/ruffle.js" "${FROM}/core.ruffle.*.js" "${FROM}/*.wasm" "${FROM}/LICENSE*")
file(MAKE_DIRECTORY "${TO}")
file(GLOB present RELATIVE "${TO}" "${TO}/*")
foreach(name IN LISTS present)
  if(NOT name IN_LIST wanted)
    file(REMOVE "${TO}/${name}")
  endif()
endforeach()
foreach(name IN LISTS wanted)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E copy_if_different "${FROM}/${name}" "${TO}/${name}"
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "Cannot copy ${FROM}/${name} to ${TO}")
  endif()
endforeach()
