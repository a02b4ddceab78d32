# tw_program(NAME): a program of the program folder, installed into PREFIX/lib/tunewright with a
# link in PREFIX/bin.
function(tw_program target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TW_PROGRAM_DIR})
  install(TARGETS ${target} RUNTIME DESTINATION ${TW_INSTALL_DIR})
  install(CODE "
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
    file(CREATE_LINK \"../${TW_INSTALL_DIR}/${target}\"
         \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/${target}\" SYMBOLIC)")
endfunction()

# tw_data_dir(NAME): a data folder of the source tree, mirrored beside the programs.
function(tw_data_dir name)
  add_custom_target(data_${name} ALL
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/${name} ${TW_PROGRAM_DIR}/${name})
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/${name} DESTINATION ${TW_INSTALL_DIR})
endfunction()

# tw_data_file(NAME): a file of the source tree's root, kept up to date beside the programs.
function(tw_data_file name)
  add_custom_command(OUTPUT ${TW_PROGRAM_DIR}/${name}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/${name} ${TW_PROGRAM_DIR}/${name}
    DEPENDS ${CMAKE_SOURCE_DIR}/${name})
  string(MAKE_C_IDENTIFIER ${name} id)
  add_custom_target(data_${id} ALL DEPENDS ${TW_PROGRAM_DIR}/${name})
  install(FILES ${CMAKE_SOURCE_DIR}/${name} DESTINATION ${TW_INSTALL_DIR})
endfunction()
