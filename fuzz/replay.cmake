# Replays each fuzz target's seed corpus as an ordinary test (the sanitizer build catches faults):
# fuzz/fuzz_<name>.cpp is linked with a small driver and run over fuzz/corpus/<name>/.
file(GLOB YDX_FUZZ_TARGETS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/fuzz_*.cpp)
foreach(src ${YDX_FUZZ_TARGETS})
  get_filename_component(name ${src} NAME_WE)
  string(REGEX REPLACE "^fuzz_" "" corpus ${name})
  add_executable(replay_${corpus} ${src} ${CMAKE_SOURCE_DIR}/fuzz/ReplayMain.cpp)
  target_link_libraries(replay_${corpus} PRIVATE ydx_testcommon)
  if(TARGET ydx_tileengine_t)
    target_link_libraries(replay_${corpus} PRIVATE ydx_tileengine_t)
  endif()
  target_link_libraries(replay_${corpus} PRIVATE YandorixStatic)
  add_test(NAME fuzz_replay.${corpus}
    COMMAND replay_${corpus} ${CMAKE_SOURCE_DIR}/fuzz/corpus/${corpus})
  set_tests_properties(fuzz_replay.${corpus} PROPERTIES
    ENVIRONMENT "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy" TIMEOUT 600)
endforeach()
