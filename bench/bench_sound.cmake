# The sound benchmark encodes its minute of Ogg Vorbis with the tests' generator and decodes it with
# libvorbisfile as the full-decode baseline.
pkg_check_modules(VORBISFILE REQUIRED IMPORTED_TARGET vorbisfile vorbisenc vorbis ogg)
target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/sound/assets/SoundAssets.cpp)
target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/sound/assets)
target_link_libraries(${name} PRIVATE PkgConfig::VORBISFILE PkgConfig::SDLMIXER)
