# Refuses an include that goes against the layering of the engine:
#   text <- store <- archive <- import, index, maintenance, export, scheduler <- cli, app
# Each source folder may include its own headers and those of the layers it
# lists below. Run by the build (target check_layers) before anything compiles.
set(allowed_text        text)
set(allowed_store       store text)
set(allowed_archive     archive store text)
set(allowed_import      import archive store text)
set(allowed_index       index archive store text)
set(allowed_maintenance maintenance index archive store text)
set(allowed_export      export index archive store text)
set(allowed_scheduler   scheduler import index maintenance export archive store text)
set(allowed_cli         cli scheduler import index maintenance export archive store text)
set(allowed_app         app scheduler import index maintenance export archive text)

file(GLOB_RECURSE sources RELATIVE ${SRC_DIR} ${SRC_DIR}/*.h ${SRC_DIR}/*.cpp)
set(violations "")
foreach(src ${sources})
  string(REGEX MATCH "^[a-z_]+" layer "${src}")
  if(NOT DEFINED allowed_${layer})
    continue()
  endif()
  file(STRINGS ${SRC_DIR}/${src} includes REGEX "^#include \"[a-z_]+/")
  foreach(inc ${includes})
    string(REGEX REPLACE "^#include \"([a-z_]+)/.*" "\\1" target "${inc}")
    list(FIND allowed_${layer} ${target} found)
    if(found EQUAL -1)
      string(APPEND violations "  src/${src}: ${inc} (${layer} may not depend on ${target})\n")
    endif()
  endforeach()
endforeach()
# The windows show what the engine's queries return: no source under src/app
# includes a header that reads or writes record buffers, and none touches a
# record buffer of the session (its files by number, the record in a
# buffer, OP_CLOSE).
file(GLOB_RECURSE app_sources RELATIVE ${SRC_DIR} ${SRC_DIR}/app/*.h ${SRC_DIR}/app/*.cpp)
foreach(src ${app_sources})
  file(STRINGS ${SRC_DIR}/${src} lines REGEX
    "#include \"archive/(records|record_access|file_table)\\.h\"|[.]rec[.]|[.]rec[^A-Za-z_]|OP_CLOSE|[.](Codes|Forums|MsgNmbr|MsgText|Person|Sections|Threads|Control|SIndex|Mail|CCR|SaveFile|REF|PLINK|MsgString|Neo)[(][)]|[.]table<|[.>]file[(]|existingFile")
  foreach(line ${lines})
    string(STRIP "${line}" line)
    string(APPEND violations "  src/${src}: ${line} (windows read rows from the engine's browse queries)\n")
  endforeach()
endforeach()
if(violations)
  message(FATAL_ERROR "Includes against the layering:\n${violations}")
endif()
