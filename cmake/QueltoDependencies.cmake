# Every library the project builds on, found once here; the folders only
# link the targets. Debian package names are in scripts/install-deps.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
pkg_check_modules(PORTAUDIO REQUIRED IMPORTED_TARGET portaudio-2.0)
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)
pkg_check_modules(PULSE REQUIRED IMPORTED_TARGET libpulse)
pkg_check_modules(PULSE_SIMPLE REQUIRED IMPORTED_TARGET libpulse-simple)
pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)
pkg_check_modules(SAMPLERATE REQUIRED IMPORTED_TARGET samplerate)
pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)

if(NOT QUELTO_UNIT_ONLY)
  # spandsp: the interoperability peer and the benchmarks' reference detectors.
  pkg_check_modules(SPANDSP REQUIRED IMPORTED_TARGET spandsp)
  find_program(QUELTO_FLUID fluid REQUIRED)
  find_path(QUELTO_FLTK_INCLUDE_DIR FL/Fl.H REQUIRED)
  find_library(QUELTO_FLTK_LIBRARY fltk REQUIRED)
endif()
