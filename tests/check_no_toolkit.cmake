# Fails when a source file of a library below the front-ends includes a Qt
# header, or a Windows SDK header or one of the Win32 front-end's own headers
# outside a platform file named *_win32.cpp: those folders must build for
# every front-end. cli/ is a front-end itself and may use the Windows API.
# usage: cmake -DROOT=<source folder> -P check_no_toolkit.cmake
set(qt_include "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]|qt)")
set(windows_include
    "^[ \t]*#[ \t]*include[ \t]*[<\"]([A-Za-z0-9_]*windows|windowsx|winbase|winuser|wingdi|winnls|winnt|wincon|winerror|shellapi|shlobj|shlobj_core|shlwapi|shobjidl|shtypes|knownfolders|commctrl|commdlg|objbase|ole2|oleidl|dbt|dwmapi|uxtheme|winioctl|ntdef|ntstatus|win32/[^\">]*)\\.h[\">]")
set(found "")
foreach(dir text jww jws app testkit cli)
  file(GLOB_RECURSE sources "${ROOT}/${dir}/*.h" "${ROOT}/${dir}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" hits REGEX "${qt_include}")
    if(NOT dir STREQUAL "cli" AND NOT source MATCHES "_win32\\.cpp$")
      file(STRINGS "${source}" windows_hits REGEX "${windows_include}")
      list(APPEND hits ${windows_hits})
    endif()
    if(hits)
      list(APPEND found "${source}: ${hits}")
    endif()
  endforeach()
endforeach()
if(found)
  list(JOIN found "\n" lines)
  message(FATAL_ERROR "toolkit or Windows headers below the front-ends:\n${lines}")
endif()
message(STATUS "no toolkit or Windows header below the front-ends")
