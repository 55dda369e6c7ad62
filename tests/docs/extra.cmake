# The programs of the guide (docs/*.md) and of README.md: every ```cpp block becomes a program of its
# own, compiled against the public headers and linked with the shared library as an application is,
# and test_docs runs each of them. A line "<!-- listing NAME FLAGS -->" right above a block names it
# (else PAGE_N); a "```text" block under "<!-- output -->" after it is what the program must print.
# Flags: errors (Error lines in its logs belong to the program), port (takes a free TCP port as its
# first argument), peers (two copies talk to each other), xvfb (also run in a virtual X display),
# movie (also run with a movie to play).
file(GLOB docs_pages CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/*.md)
list(APPEND docs_pages ${CMAKE_SOURCE_DIR}/README.md)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${docs_pages})

set(docs_dir ${CMAKE_CURRENT_BINARY_DIR}/docs-listings)
set(docs_manifest ${docs_dir}/listings.txt)
file(MAKE_DIRECTORY ${docs_dir})
set(docs_manifest_text "")

# Rewrites a file only when its content changes, so a new configure run rebuilds nothing that stayed.
function(ydx_docs_write path content)
  if(EXISTS "${path}")
    file(READ "${path}" old)
    if(old STREQUAL content)
      return()
    endif()
  endif()
  file(WRITE "${path}" "${content}")
endfunction()

# Cuts the ```cpp blocks out of one page; appends "name|flags|program|expected|page" lines to the
# manifest text of the caller.
function(ydx_docs_extract page)
  get_filename_component(stem ${page} NAME_WE)
  string(TOLOWER "${stem}" stem)
  file(READ "${page}" text)
  set(manifest "${docs_manifest_text}")
  set(index 0)
  while(TRUE)
    string(FIND "${text}" "```cpp\n" open)
    if(open EQUAL -1)
      break()
    endif()
    math(EXPR index "${index} + 1")
    string(SUBSTRING "${text}" 0 ${open} before)
    set(name "${stem}_${index}")
    set(flags "")
    if(before MATCHES "<!-- listing ([a-z0-9_]+)([a-z0-9_ ]*) -->\n$")
      set(name "${CMAKE_MATCH_1}")
      string(STRIP "${CMAKE_MATCH_2}" flags)
    endif()
    math(EXPR start "${open} + 7")
    string(SUBSTRING "${text}" ${start} -1 text)
    string(FIND "${text}" "\n```" close)
    if(close EQUAL -1)
      message(FATAL_ERROR "${page}: the listing ${name} has no closing fence")
    endif()
    math(EXPR length "${close} + 1")
    string(SUBSTRING "${text}" 0 ${length} code)
    math(EXPR start "${close} + 4")
    string(SUBSTRING "${text}" ${start} -1 text)
    ydx_docs_write(${docs_dir}/${name}.cpp "${code}")

    # The output block belongs to this listing when it comes before the next one.
    set(expected "-")
    string(FIND "${text}" "<!-- output -->\n```text\n" output)
    string(FIND "${text}" "```cpp\n" next)
    if(NOT output EQUAL -1 AND (next EQUAL -1 OR output LESS next))
      math(EXPR start "${output} + 24")
      string(SUBSTRING "${text}" ${start} -1 printed)
      string(FIND "${printed}" "```" length)
      string(SUBSTRING "${printed}" 0 ${length} printed)
      set(expected ${docs_dir}/${name}.out)
      ydx_docs_write(${expected} "${printed}")
    endif()

    add_executable(docs_${name} ${docs_dir}/${name}.cpp)
    target_link_libraries(docs_${name} PRIVATE Yandorix)
    target_compile_options(docs_${name} PRIVATE -Werror)
    set_target_properties(docs_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${docs_dir})
    add_dependencies(test_${area} docs_${name})
    string(APPEND manifest "${name}|${flags}|${docs_dir}/docs_${name}|${expected}|${page}\n")
  endwhile()
  set(docs_manifest_text "${manifest}" PARENT_SCOPE)
endfunction()

foreach(page ${docs_pages})
  ydx_docs_extract(${page})
endforeach()
ydx_docs_write(${docs_manifest} "${docs_manifest_text}")
target_compile_definitions(test_${area} PRIVATE YDX_DOCS_MANIFEST="${docs_manifest}")

# The movie the sound listing plays when there is one comes from the sound tests' own generator.
pkg_check_modules(DOCS_VORBISENC REQUIRED IMPORTED_TARGET vorbisenc vorbis ogg)
target_sources(test_${area} PRIVATE ${CMAKE_SOURCE_DIR}/tests/sound/assets/SoundAssets.cpp)
target_include_directories(test_${area} PRIVATE ${CMAKE_SOURCE_DIR}/tests/sound/assets)
target_link_libraries(test_${area} PRIVATE PkgConfig::DOCS_VORBISENC)
