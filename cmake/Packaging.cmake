# `cpack -G DEB` in the build folder makes a Debian package of the installed tree. The libraries the
# programs link are found by dpkg-shlibdeps; the programs Tunevale starts or reads are named here.
set(CPACK_PACKAGE_NAME tunevale)
set(CPACK_PACKAGE_VENDOR Brindle)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Brindle <tunevale@brindle-tunevale.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch audio converter for WAV, WMA, MP3 and OGG")
set(CPACK_PACKAGE_DESCRIPTION
  "Tunevale converts a list of audio files, and the sound tracks of videos, into WAV, WMA, MP3 or Ogg Vorbis files. It reads some twenty formats, plays each file before converting it and can power the computer off after a long batch. The package holds the window program tunevale and the headless tunevale-cli.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.brindle-tunevale.example/")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# lame and oggenc write MP3 and OGG, the SoundFont plays MIDI, xdg-open opens the manual and folders.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "lame, vorbis-tools, timgm6mb-soundfont, xdg-utils")
include(CPack)
