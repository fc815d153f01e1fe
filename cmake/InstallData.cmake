# Copies the shipped data into the installation folder and makes the fixed media
# files of the resources folder with ffmpeg.

file(GLOB_RECURSE TESSALINE_DATA_FILES CONFIGURE_DEPENDS
  RELATIVE ${CMAKE_SOURCE_DIR}/data ${CMAKE_SOURCE_DIR}/data/*)
set(TESSALINE_DATA_OUTPUTS)
foreach(rel ${TESSALINE_DATA_FILES})
  # data/resources/*.cmake are generator scripts, not installed files
  if(rel MATCHES "\\.cmake$")
    continue()
  endif()
  set(out ${TESSALINE_DIST_DIR}/${rel})
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/data/${rel} ${out}
    DEPENDS ${CMAKE_SOURCE_DIR}/data/${rel}
    COMMENT "Installing ${rel}")
  list(APPEND TESSALINE_DATA_OUTPUTS ${out})
endforeach()

find_program(FFMPEG_EXECUTABLE ffmpeg)
if(FFMPEG_EXECUTABLE)
  # A short black PAL DVD program stream with a silent 48 kHz track: the menu
  # video of the video manager.
  add_custom_command(OUTPUT ${TESSALINE_DIST_DIR}/resources/empty.mpg
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TESSALINE_DIST_DIR}/resources
    COMMAND ${FFMPEG_EXECUTABLE} -nostdin -hide_banner -loglevel error -y
      -f lavfi -i color=c=black:s=720x576:r=25:d=1
      -f lavfi -i anullsrc=r=48000:cl=stereo
      -t 1 -target pal-dvd -aspect 4:3 -b:a 192k -fflags +bitexact -flags:v +bitexact -flags:a +bitexact
      ${TESSALINE_DIST_DIR}/resources/empty.mpg
    COMMENT "Making resources/empty.mpg")
  # The silent audio of every menu video.
  add_custom_command(OUTPUT ${TESSALINE_DIST_DIR}/resources/silence.mp2
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TESSALINE_DIST_DIR}/resources
    COMMAND ${FFMPEG_EXECUTABLE} -nostdin -hide_banner -loglevel error -y
      -f lavfi -i anullsrc=r=48000:cl=stereo -t 2 -c:a mp2 -b:a 192k -fflags +bitexact -flags:a +bitexact
      ${TESSALINE_DIST_DIR}/resources/silence.mp2
    COMMENT "Making resources/silence.mp2")
  list(APPEND TESSALINE_DATA_OUTPUTS
    ${TESSALINE_DIST_DIR}/resources/empty.mpg ${TESSALINE_DIST_DIR}/resources/silence.mp2)
else()
  message(WARNING "ffmpeg not found: resources/empty.mpg and silence.mp2 are not made")
endif()

add_custom_target(tessaline_data ALL DEPENDS ${TESSALINE_DATA_OUTPUTS})
