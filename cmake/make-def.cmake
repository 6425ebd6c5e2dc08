# Writes a module-definition file listing every function that an import library imports.
execute_process(COMMAND ${NM} ${IMPORT_LIB} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "__imp_[A-Za-z0-9_]+" imports "${symbols}")
list(REMOVE_DUPLICATES imports)
set(def "EXPORTS\n")
foreach(symbol ${imports})
  string(REGEX REPLACE "^__imp_" "" name ${symbol})
  # Interface and library ids are data that libuuid defines, not functions to load late.
  if(NOT name MATCHES "^(IID|LIBID|CLSID)_")
    string(APPEND def "${name}\n")
  endif()
endforeach()
file(WRITE ${DEF} "${def}")
