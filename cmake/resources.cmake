# One resource script for both builds: Windows links it as usual, other hosts link windres's binary
# .res output into the program, where compat's resource functions read it.
if(NOT WIN32)
  find_program(TAVLEN_WINDRES NAMES i686-w64-mingw32-windres x86_64-w64-mingw32-windres windres REQUIRED)
endif()

# The version block takes the project's version, so the images and the package carry the same one.
set(TAVLEN_RC_DEFINES TAVLEN_VERSION_MAJOR=${PROJECT_VERSION_MAJOR} TAVLEN_VERSION_MINOR=${PROJECT_VERSION_MINOR}
    TAVLEN_VERSION_PATCH=${PROJECT_VERSION_PATCH} TAVLEN_VERSION_TWEAK=${PROJECT_VERSION_TWEAK})

function(tavlen_add_resources target rc)
  # The compiler does not see what a script pulls in: icons, the manifest, and the program's own script.
  get_filename_component(rc_dir ${rc} DIRECTORY)
  file(GLOB icons ${rc_dir}/*.ico)
  set(inputs ${rc} ${PROJECT_SOURCE_DIR}/res/Tavlen.rc ${PROJECT_SOURCE_DIR}/res/resource.h
      ${PROJECT_SOURCE_DIR}/res/Tavlen.ico ${PROJECT_SOURCE_DIR}/res/Tavlen.manifest ${icons})
  if(WIN32)
    target_sources(${target} PRIVATE ${rc})
    target_include_directories(${target} PRIVATE $<$<COMPILE_LANGUAGE:RC>:${rc_dir};${PROJECT_SOURCE_DIR}/res>)
    target_compile_definitions(${target} PRIVATE $<$<COMPILE_LANGUAGE:RC>:${TAVLEN_RC_DEFINES}>)
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${inputs}")
    return()
  endif()
  set(TAVLEN_RES_FILE ${CMAKE_CURRENT_BINARY_DIR}/${target}.res)
  list(TRANSFORM TAVLEN_RC_DEFINES PREPEND -D OUTPUT_VARIABLE rc_defines)
  add_custom_command(OUTPUT ${TAVLEN_RES_FILE}
    COMMAND ${TAVLEN_WINDRES} -O res ${rc_defines} -I ${rc_dir} -I ${PROJECT_SOURCE_DIR}/res ${rc} ${TAVLEN_RES_FILE}
    DEPENDS ${inputs}
    COMMENT "Compiling the resources of ${target}")
  set(blob ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  configure_file(${PROJECT_SOURCE_DIR}/compat/resources.cpp.in ${blob} @ONLY)
  set_source_files_properties(${blob} PROPERTIES OBJECT_DEPENDS ${TAVLEN_RES_FILE})
  target_sources(${target} PRIVATE ${blob})
endfunction()
