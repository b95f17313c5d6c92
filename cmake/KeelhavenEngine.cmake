# The UI engine library, as one imported target: keelhaven::engine.
#
# KEELHAVEN_ENGINE_DIR names a folder of an engine build holding
#   <name>.dll               the library (name: KEELHAVEN_ENGINE_LIBRARY_NAME)
#   <name>.dll.lib or <name>.lib   its import library (MinGW: also
#                            lib<name>.dll.a or <name>.dll.a)
#   data/                    optional: the app's data folder for the bundle
# Empty (the default), the target stands for the stand-in engine built here
# (standins/engine) under the same file name, and the bundle takes its data
# from shell/bundle_data.
#
# Gives, for the bundle and the package:
#   KEELHAVEN_ENGINE_DLL       the library's file (a generator expression for
#                              the stand-in)
#   KEELHAVEN_ENGINE_DATA_DIR  the folder copied into the bundle as data/
set(KEELHAVEN_ENGINE_DIR "" CACHE PATH
    "Folder of the engine library (DLL, import library, optional data/); empty: the stand-in")

set(KEELHAVEN_ENGINE_DATA_DIR "${PROJECT_SOURCE_DIR}/shell/bundle_data")
if(KEELHAVEN_ENGINE_DIR)
  set(name "${KEELHAVEN_ENGINE_LIBRARY_NAME}")
  set(KEELHAVEN_ENGINE_DLL "${KEELHAVEN_ENGINE_DIR}/${name}.dll")
  if(NOT EXISTS "${KEELHAVEN_ENGINE_DLL}")
    message(FATAL_ERROR "KEELHAVEN_ENGINE_DIR: no ${name}.dll in ${KEELHAVEN_ENGINE_DIR}")
  endif()
  set(implib "")
  foreach(candidate "${name}.dll.lib" "${name}.lib" "lib${name}.dll.a" "${name}.dll.a")
    if(NOT implib AND EXISTS "${KEELHAVEN_ENGINE_DIR}/${candidate}")
      set(implib "${KEELHAVEN_ENGINE_DIR}/${candidate}")
    endif()
  endforeach()
  if(NOT implib)
    message(FATAL_ERROR "KEELHAVEN_ENGINE_DIR: no import library of ${name}.dll in "
                        "${KEELHAVEN_ENGINE_DIR}")
  endif()
  add_library(keelhaven::engine SHARED IMPORTED GLOBAL)
  set_target_properties(keelhaven::engine PROPERTIES
    IMPORTED_LOCATION "${KEELHAVEN_ENGINE_DLL}"
    IMPORTED_IMPLIB "${implib}")
  if(IS_DIRECTORY "${KEELHAVEN_ENGINE_DIR}/data")
    set(KEELHAVEN_ENGINE_DATA_DIR "${KEELHAVEN_ENGINE_DIR}/data")
  endif()
  unset(name)
  unset(implib)
  message(STATUS "Keelhaven: engine from ${KEELHAVEN_ENGINE_DIR}")
elseif(WIN32)
  add_library(keelhaven::engine INTERFACE IMPORTED GLOBAL)
  set_target_properties(keelhaven::engine PROPERTIES
    INTERFACE_LINK_LIBRARIES keelhaven_engine_standin)
  set(KEELHAVEN_ENGINE_DLL "$<TARGET_FILE:keelhaven_engine_standin>")
endif()
