# Writes build_version.cpp with the project version and `git describe` of the source tree.
# Run at every build; the file changes (and recompiles) only when the description does.
execute_process(
  COMMAND git describe --always --dirty --tags
  WORKING_DIRECTORY "${SOURCE_DIR}"
  OUTPUT_VARIABLE description
  ERROR_QUIET
  RESULT_VARIABLE status
  OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT status EQUAL 0 OR description STREQUAL "")
  set(description "no git description")
endif()
set(text "#include \"version/build_version.h\"\n\nnamespace norvale {\n\nconst char* const kProgramVersion = \"${VERSION}\";\nconst char* const kBuildDescription = \"${description}\";\n\n}  // namespace norvale\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" previous)
endif()
if(NOT "${previous}" STREQUAL "${text}")
  file(WRITE "${OUTPUT}" "${text}")
endif()
