# SPDX-License-Identifier: GPL-3.0-or-later
# The 30 course segments: text sources under assets/stages compiled into
# Morvik_1.kvd ... Morvik_30.kvd beside the executable, and installed.
if(WIN32)
  return()  # the Windows tree takes these from a native one (windows.cmake)
endif()
add_executable(morvik_stagec ${CMAKE_SOURCE_DIR}/tools/stagec/stagec.cpp)
set(MORVIK_STAGE_FILES)
foreach(n RANGE 1 30)
  if(n LESS 10)
    set(src ${CMAKE_SOURCE_DIR}/assets/stages/segment_0${n}.txt)
  else()
    set(src ${CMAKE_SOURCE_DIR}/assets/stages/segment_${n}.txt)
  endif()
  set(out ${MORVIK_DATA_OUT}/Morvik_${n}.kvd)
  add_custom_command(OUTPUT ${out}
                     COMMAND morvik_stagec ${src} ${out}
                     DEPENDS morvik_stagec ${src}
                     COMMENT "Course segment ${n}"
                     VERBATIM)
  list(APPEND MORVIK_STAGE_FILES ${out})
endforeach()
add_custom_target(morvik_stages ALL DEPENDS ${MORVIK_STAGE_FILES})
install(FILES ${MORVIK_STAGE_FILES} DESTINATION ${MORVIK_INSTALL_DATA_REL})
