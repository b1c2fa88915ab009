# Writes the build's stamp into a header: the date and time (UTC) of the source, so that the same
# source always gets the same stamp, whoever builds it and when. The time is SOURCE_DATE_EPOCH
# where the builder sets it (reproducible package builds do), else the last commit's time; only a
# source outside git without it is stamped with the time of the build.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SRC}" log -1 --format=%ct
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed ERROR_QUIET)
    if(NOT failed AND epoch MATCHES "^[0-9]+$")
      set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
    endif()
  endif()
endif()
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  message(STATUS "build stamp: no commit and no SOURCE_DATE_EPOCH, the time of the build is taken")
endif()
string(TIMESTAMP date "%Y%m%d" UTC)
string(TIMESTAMP h "%H" UTC)
string(TIMESTAMP m "%M" UTC)
string(TIMESTAMP s "%S" UTC)
math(EXPR seconds "${h} * 3600 + ${m} * 60 + ${s}")
set(text "#pragma once\n// Generated at build time.\ninline constexpr int kBuildDate = ${date};\ninline constexpr int kBuildTime = ${seconds};\n")
# Written only when it changes: the same stamp compiles nothing anew.
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUT}.tmp" "${text}")
  file(RENAME "${OUT}.tmp" "${OUT}")
endif()
