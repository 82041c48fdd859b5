# Packs every file of FILES (sorted by name, so the archive is the same for the same
# files) into ARCHIVE with the salad tool SALAD. Run by the content target, and with
# STORE=--store (no compression) for the web site's archive.
file(GLOB resources LIST_DIRECTORIES false ${FILES}/*)
list(SORT resources)
execute_process(COMMAND ${SALAD} pack ${STORE} ${ARCHIVE} ${resources} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "salad pack failed (${result})")
endif()
