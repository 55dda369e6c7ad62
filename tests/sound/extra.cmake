# The sound tests encode their Ogg Vorbis data with libvorbisenc and compare against SDL_mixer's own
# loaders and SMPEG directly.
pkg_check_modules(VORBISENC REQUIRED IMPORTED_TARGET vorbisenc vorbis ogg)
target_sources(test_${area} PRIVATE ${area_dir}/assets/SoundAssets.cpp)
target_include_directories(test_${area} PRIVATE ${area_dir}/assets)
target_link_libraries(test_${area} PRIVATE PkgConfig::VORBISENC PkgConfig::SDLMIXER ${SMPEG_LIBRARY})
