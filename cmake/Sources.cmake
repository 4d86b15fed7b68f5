# Units that need no Windows: they build for the host too (sanitizers, fuzzing).
# Keep one line per unit.
set(OVRELLE_PURE_SOURCES
  src/framework/KmxFormat.cpp
)
list(TRANSFORM OVRELLE_PURE_SOURCES PREPEND "${CMAKE_CURRENT_LIST_DIR}/../")

# Every other unit under src/ but the program entry is Windows code.
file(GLOB_RECURSE OVRELLE_WIN_SOURCES CONFIGURE_DEPENDS "${CMAKE_CURRENT_LIST_DIR}/../src/*.cpp")
list(FILTER OVRELLE_WIN_SOURCES EXCLUDE REGEX "/src/app/")
foreach(pure ${OVRELLE_PURE_SOURCES})
  get_filename_component(pure "${pure}" ABSOLUTE)
  list(REMOVE_ITEM OVRELLE_WIN_SOURCES "${pure}")
endforeach()
