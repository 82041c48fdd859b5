# web_platform: what the web build has in place of the native libraries, which emscripten
# does not ship.
# - liblzma: its header (from liblzma-dev) for the archive format's declarations; the
#   decoder's entry points report that LZMA is absent (resources/web/lzma_absent.cpp). The
#   site's archive is packed with stored entries only, and the page names an archive that
#   has LZMA entries in one line.
# - libmpg123 and SDL2 audio: the browser decodes and plays the music (song/web/).
set(TEXTDEMO_WEB_INCLUDE ${CMAKE_BINARY_DIR}/web-include)
file(COPY /usr/include/lzma.h /usr/include/lzma DESTINATION ${TEXTDEMO_WEB_INCLUDE})
add_library(textdemo_web_lzma INTERFACE)
target_include_directories(textdemo_web_lzma SYSTEM INTERFACE ${TEXTDEMO_WEB_INCLUDE})
set(TEXTDEMO_LZMA textdemo_web_lzma)

add_library(textdemo_web_audio INTERFACE)
target_link_options(textdemo_web_audio INTERFACE "SHELL:--js-library ${PROJECT_SOURCE_DIR}/song/web/web_audio.js")
set(TEXTDEMO_SOUND textdemo_web_audio)

# Node runs the tools with the real file system.
set(TEXTDEMO_NODE_LINK_OPTIONS -sNODERAWFS=1 -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1 -sENVIRONMENT=node)
set(STB_INCLUDE_DIR /usr/include/stb CACHE PATH "stb headers (libstb-dev), outside emscripten's sysroot")
