# web_site: textdemo-web and the folder a static web host serves, build-web/site/: the page
# (index.html, page.js), the program (textdemo-web.js, textdemo-web.wasm) and the archive,
# packed with stored entries only from the native build's content (TEXTDEMO_SALAD and
# TEXTDEMO_CONTENT_FILES, which `make web` passes).
set(TEXTDEMO_SITE ${CMAKE_BINARY_DIR}/site)
set(TEXTDEMO_PAGE ${PROJECT_SOURCE_DIR}/display/web)

add_executable(textdemo-web ${CMAKE_CURRENT_SOURCE_DIR}/textdemo_web.cpp)
target_link_libraries(textdemo-web PRIVATE textdemo_web_display textdemo_player_options)
# Asyncify lets the frame loop wait for the page's animation frames and its question.
target_link_options(textdemo-web PRIVATE -sASYNCIFY
  "-sASYNCIFY_IMPORTS=['textdemo_page_wait_animation_frame','textdemo_page_ask_fullscreen']"
  -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1 -sENVIRONMENT=web "-sEXPORTED_RUNTIME_METHODS=['FS']")
set_target_properties(textdemo-web PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TEXTDEMO_SITE})

set(page_outputs)
foreach(file index.html page.js)
  add_custom_command(OUTPUT ${TEXTDEMO_SITE}/${file}
    COMMAND ${CMAKE_COMMAND} -E copy ${TEXTDEMO_PAGE}/${file} ${TEXTDEMO_SITE}/${file}
    DEPENDS ${TEXTDEMO_PAGE}/${file} VERBATIM)
  list(APPEND page_outputs ${TEXTDEMO_SITE}/${file})
endforeach()

set(TEXTDEMO_SALAD "" CACHE FILEPATH "the native build's salad tool")
set(TEXTDEMO_CONTENT_FILES "" CACHE PATH "the native build's generated resources")
if(NOT TEXTDEMO_SALAD OR NOT TEXTDEMO_CONTENT_FILES)
  message(FATAL_ERROR "the web build packs the native build's content: configure it with -DTEXTDEMO_SALAD= "
                      "and -DTEXTDEMO_CONTENT_FILES= (make web does)")
endif()
file(GLOB_RECURSE content_files CONFIGURE_DEPENDS ${TEXTDEMO_CONTENT_FILES}/*)
add_custom_command(OUTPUT ${TEXTDEMO_SITE}/ruk.salad
  COMMAND ${CMAKE_COMMAND} -DSALAD=${TEXTDEMO_SALAD} -DSTORE=--store -DFILES=${TEXTDEMO_CONTENT_FILES}
          -DARCHIVE=${TEXTDEMO_SITE}/ruk.salad -P ${PROJECT_SOURCE_DIR}/tools/content/pack_archive.cmake
  DEPENDS ${content_files} ${TEXTDEMO_SALAD} ${PROJECT_SOURCE_DIR}/tools/content/pack_archive.cmake
  COMMENT "Packing the site's ruk.salad (stored entries)"
  VERBATIM)
add_custom_target(site ALL DEPENDS ${page_outputs} ${TEXTDEMO_SITE}/ruk.salad textdemo-web)
