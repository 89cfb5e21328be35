# cmake -DGROFF=... -DSOURCE=guide.ms -DOUTPUT=guide.pdf -P TypesetUserGuide.cmake
# Typesets the ms source as PDF; a warning from groff fails the build, so that
# a broken macro does not slip into the guide.
execute_process(
  COMMAND "${GROFF}" -ms -Tpdf -t -ww "${SOURCE}"
  OUTPUT_FILE "${OUTPUT}.part"
  ERROR_VARIABLE messages
  RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT messages STREQUAL "")
  file(REMOVE "${OUTPUT}.part")
  message(FATAL_ERROR "groff could not typeset ${SOURCE} (status ${status}):\n${messages}")
endif()
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
