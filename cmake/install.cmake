# What `cmake --install` puts under the prefix: the program, its manual page and
# the example sets, laid out as the program looks for them (../share from bin).
install(TARGETS quorlin RUNTIME DESTINATION bin)
install(DIRECTORY "${PROJECT_SOURCE_DIR}/examples/" DESTINATION share/quorlin/examples)

# The page is made from --help by help2man. The sanitizer and fuzz builds are
# for tests only and go without it.
if(QUORLIN_SANITIZE OR QUORLIN_FUZZ)
  return()
endif()
find_program(HELP2MAN help2man)
if(NOT HELP2MAN)
  message(WARNING "help2man was not found: the manual page will be neither built nor installed. "
                  "Install Debian's help2man package (scripts/setup.sh does) and configure again.")
  return()
endif()

# A reproducible date: the caller's SOURCE_DATE_EPOCH, else the last commit's;
# outside a git checkout, the day of the build.
set(QUORLIN_PAGE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
if(QUORLIN_PAGE_EPOCH STREQUAL "")
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
                  OUTPUT_VARIABLE QUORLIN_PAGE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
set(QUORLIN_PAGE_ENV "")
if(NOT QUORLIN_PAGE_EPOCH STREQUAL "")
  set(QUORLIN_PAGE_ENV "SOURCE_DATE_EPOCH=${QUORLIN_PAGE_EPOCH}")
endif()

# The build tree's --help names the checkout's examples; the page names where
# an installed program finds them, whatever its prefix.
set(QUORLIN_HELP_WRAPPER "${CMAKE_BINARY_DIR}/quorlin-for-help2man")
file(GENERATE OUTPUT "${QUORLIN_HELP_WRAPPER}"
     CONTENT "#!/bin/sh\n\"$<TARGET_FILE:quorlin>\" \"$@\" | sed 's|^Example sets: .*|Example sets: PREFIX/share/quorlin/examples|'\n"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(QUORLIN_PAGE "${CMAKE_BINARY_DIR}/quorlin.1")
add_custom_command(
  OUTPUT "${QUORLIN_PAGE}"
  COMMAND "${CMAKE_COMMAND}" -E env ${QUORLIN_PAGE_ENV}
          "${HELP2MAN}" --no-info --no-discard-stderr
          "--name=fill a window with a fragment shader you write"
          "--include=${PROJECT_SOURCE_DIR}/docs/quorlin.h2m" "--output=${QUORLIN_PAGE}"
          "${QUORLIN_HELP_WRAPPER}"
  DEPENDS quorlin "${PROJECT_SOURCE_DIR}/docs/quorlin.h2m" "${CMAKE_CURRENT_LIST_FILE}"
  COMMENT "Making the manual page with help2man"
  VERBATIM)
add_custom_target(manpage ALL DEPENDS "${QUORLIN_PAGE}")
install(FILES "${QUORLIN_PAGE}" DESTINATION share/man/man1)
