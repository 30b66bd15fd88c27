# Fails when a source file of a library below the front-ends includes a Qt
# header: those folders must build for every front-end.
# usage: cmake -DROOT=<source folder> -P check_no_toolkit.cmake
set(found "")
foreach(dir text jww jws app cli testkit)
  file(GLOB_RECURSE sources "${ROOT}/${dir}/*.h" "${ROOT}/${dir}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]|qt)")
    if(hits)
      list(APPEND found "${source}: ${hits}")
    endif()
  endforeach()
endforeach()
if(found)
  list(JOIN found "\n" lines)
  message(FATAL_ERROR "toolkit headers below the front-ends:\n${lines}")
endif()
message(STATUS "no toolkit header below the front-ends")
