# Units that need no Windows: they build for the host too (sanitizers, fuzzing).
# Keep one line per unit.
set(OVRELLE_PURE_SOURCES
  src/framework/KmxFormat.cpp
  src/framework/KmxPathShortening.cpp
  src/framework/KmxMiscellaneousText.cpp
  src/framework/KmxSessionFlags.cpp
  src/framework/KmxRegistryText.cpp
  src/framework/KmxLinks.cpp
  src/framework/KmxModuleHits.cpp
  src/sysinfo/JclFileVersionData.cpp
  src/sysinfo/JclAppInstTable.cpp
)
get_filename_component(_ovrelle_top "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
list(TRANSFORM OVRELLE_PURE_SOURCES PREPEND "${_ovrelle_top}/")
# A unit that is not written yet is simply not built.
set(_ovrelle_pure_present)
foreach(pure ${OVRELLE_PURE_SOURCES})
  get_filename_component(pure "${pure}" ABSOLUTE)
  if(EXISTS "${pure}")
    list(APPEND _ovrelle_pure_present "${pure}")
  endif()
endforeach()
set(OVRELLE_PURE_SOURCES ${_ovrelle_pure_present})

# Every other unit under src/ but the program entry is Windows code.
file(GLOB_RECURSE OVRELLE_WIN_SOURCES CONFIGURE_DEPENDS "${_ovrelle_top}/src/*.cpp")
list(FILTER OVRELLE_WIN_SOURCES EXCLUDE REGEX "/src/app/")
list(REMOVE_ITEM OVRELLE_WIN_SOURCES ${OVRELLE_PURE_SOURCES})
