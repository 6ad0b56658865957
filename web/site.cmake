# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the site together (cmake -P, from web/CMakeLists.txt):
#   SITE_SRC  web/site: the page's own files; index.html and sw.js are
#             templates that receive the version and the list of files
#   STAGE     morvik.js, morvik.wasm and morvik.data as the linker made them
#   ICONS     the app's icons (SIZExSIZE/morvik.png)
#   SITE      the folder to publish; anything else in it is removed
#   LICENCE   LICENSE-ASSETS, published as LICENSE-ASSETS.txt
#   GAME_VERSION  the game's version
# The wasm and the data are kept gzipped (a plain static host compresses
# nothing; the page inflates them). The site's version is the game's version
# and a digest of every file, so a build with any other file is another
# version, and the offline copy (sw.js) is named by it.
cmake_minimum_required(VERSION 3.25)
foreach(v SITE_SRC STAGE ICONS SITE LICENCE GAME_VERSION)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "site.cmake: ${v} is not set")
  endif()
endforeach()
file(MAKE_DIRECTORY ${SITE})
set(templates index.html sw.js)

# name -> where it comes from
set(names)
file(GLOB own RELATIVE ${SITE_SRC} ${SITE_SRC}/*)
foreach(n ${own})
  if(NOT n IN_LIST templates AND NOT IS_DIRECTORY ${SITE_SRC}/${n})
    list(APPEND names ${n})
    file(COPY_FILE ${SITE_SRC}/${n} ${SITE}/${n} ONLY_IF_DIFFERENT)
  endif()
endforeach()
file(COPY_FILE ${STAGE}/morvik.js ${SITE}/morvik.js ONLY_IF_DIFFERENT)
list(APPEND names morvik.js)
foreach(n morvik.wasm morvik.data)
  # gzip -n: no name or time inside, so the same input gives the same bytes.
  if(NOT EXISTS ${SITE}/${n}.gz OR ${STAGE}/${n} IS_NEWER_THAN ${SITE}/${n}.gz)
    execute_process(COMMAND gzip -9 -n -c ${STAGE}/${n} OUTPUT_FILE ${SITE}/${n}.gz.part RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "site.cmake: cannot gzip ${STAGE}/${n}")
    endif()
    file(RENAME ${SITE}/${n}.gz.part ${SITE}/${n}.gz)
  endif()
  list(APPEND names ${n}.gz)
endforeach()
file(COPY_FILE ${LICENCE} ${SITE}/LICENSE-ASSETS.txt ONLY_IF_DIFFERENT)
list(APPEND names LICENSE-ASSETS.txt)
foreach(s 192 512)
  file(COPY_FILE ${ICONS}/${s}x${s}/morvik.png ${SITE}/icon-${s}.png ONLY_IF_DIFFERENT)
  list(APPEND names icon-${s}.png)
endforeach()
list(SORT names)

# The version: a digest of every file's name and content, templates included.
set(digest "")
foreach(n ${names})
  file(SHA256 ${SITE}/${n} h)
  string(APPEND digest "${n} ${h}\n")
endforeach()
foreach(n ${templates})
  file(SHA256 ${SITE_SRC}/${n} h)
  string(APPEND digest "${n} ${h}\n")
endforeach()
string(SHA256 digest "${digest}")
string(SUBSTRING ${digest} 0 12 digest)
set(MORVIK_SITE_VERSION ${GAME_VERSION}-${digest})

# Every file the offline copy keeps, as sw.js lists them.
set(MORVIK_SITE_FILES "'index.html'")
foreach(n ${names})
  string(APPEND MORVIK_SITE_FILES ", '${n}'")
endforeach()
foreach(n ${templates})
  configure_file(${SITE_SRC}/${n} ${SITE}/${n} @ONLY)
endforeach()

# Nothing else stays in the site (files of an older build).
file(GLOB present RELATIVE ${SITE} ${SITE}/*)
foreach(n ${present})
  if(NOT n IN_LIST names AND NOT n IN_LIST templates)
    file(REMOVE_RECURSE ${SITE}/${n})
  endif()
endforeach()
message(STATUS "site: version ${MORVIK_SITE_VERSION}")
