# The default data: every entry is generated from source, then packed into build/tivrel.ovl.
set(TIVREL_CONTENT_DIR ${CMAKE_BINARY_DIR}/content)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/tivrel.ovl
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${TIVREL_CONTENT_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TIVREL_CONTENT_DIR}
  COMMAND $<TARGET_FILE:gencontent> ${TIVREL_CONTENT_DIR}
  COMMAND $<TARGET_FILE:genmusic> ${TIVREL_CONTENT_DIR}/music.s3m
  COMMAND $<TARGET_FILE:ovltool> pack ${TIVREL_CONTENT_DIR} -o ${CMAKE_BINARY_DIR}/tivrel.ovl --force
  DEPENDS gencontent genmusic ovltool
  COMMENT "Generating and packing the default data into tivrel.ovl"
  VERBATIM)
add_custom_target(content ALL DEPENDS ${CMAKE_BINARY_DIR}/tivrel.ovl)
