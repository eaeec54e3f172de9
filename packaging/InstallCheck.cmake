# Installs a build into a fresh folder, as `cmake --install BUILD --prefix PREFIX` does for a user, and
# checks what arrived there: both programs run from the prefix and say their version, the manual pages and
# the changelog are compressed, and every icon is a picture of the size its folder promises.
#
#   cmake -DBUILD_DIR=... -DPREFIX=... -DVERSION=... -DVIEWER=ON|OFF "-DICON_SIZES=16;22;..." -P InstallCheck.cmake

foreach(required BUILD_DIR PREFIX VERSION VIEWER)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "${required} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${status}):\n${output}")
endif()

set(expected bin/quillmark-report share/man/man1/quillmark-report.1.gz share/doc/quillmark/index.html
    share/doc/quillmark/copyright share/doc/quillmark/changelog.Debian.gz)
if(VIEWER)
  list(APPEND expected bin/quillmark share/man/man1/quillmark.1.gz share/applications/quillmark.desktop
       share/icons/hicolor/scalable/apps/quillmark.svg)
  foreach(size IN LISTS ICON_SIZES)
    list(APPEND expected share/icons/hicolor/${size}x${size}/apps/quillmark.png)
  endforeach()
endif()
set(missing)
foreach(path IN LISTS expected)
  if(NOT EXISTS "${PREFIX}/${path}")
    list(APPEND missing ${path})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "not installed: ${missing}")
endif()

# Nothing else: a file that arrives unannounced (a test program, a build tool) would go into the package too.
file(GLOB_RECURSE installed RELATIVE "${PREFIX}" "${PREFIX}/*")
list(REMOVE_ITEM installed ${expected})
if(installed)
  message(FATAL_ERROR "installed but not expected: ${installed}")
endif()

# Runs PROGRAM --version from the prefix; it must print "NAME VERSION" and nothing else.
function(check_version program)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env QT_QPA_PLATFORM=offscreen "${PREFIX}/bin/${program}" --version
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT out STREQUAL "${program} ${VERSION}\n")
    message(FATAL_ERROR "${program} --version: exit ${status}, output '${out}', errors '${err}'")
  endif()
endfunction()
check_version(quillmark-report)
if(VIEWER)
  check_version(quillmark)
endif()

# gzip's magic number opens each manual page and the changelog.
foreach(path IN LISTS expected)
  if(path MATCHES "\\.gz$")
    file(READ "${PREFIX}/${path}" magic LIMIT 2 HEX)
    if(NOT magic STREQUAL "1f8b")
      message(FATAL_ERROR "${path} is not gzip-compressed")
    endif()
  endif()
endforeach()

# A PNG's header gives its width and height as 32-bit big-endian numbers at bytes 16 and 20.
if(VIEWER)
  foreach(size IN LISTS ICON_SIZES)
    set(path "${PREFIX}/share/icons/hicolor/${size}x${size}/apps/quillmark.png")
    file(READ "${path}" header LIMIT 24 HEX)
    string(SUBSTRING "${header}" 0 16 signature)
    string(SUBSTRING "${header}" 32 8 width)
    string(SUBSTRING "${header}" 40 8 height)
    math(EXPR width "0x${width}")
    math(EXPR height "0x${height}")
    if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT width EQUAL size OR NOT height EQUAL size)
      message(FATAL_ERROR "${path}: not a ${size} x ${size} PNG (${width} x ${height})")
    endif()
  endforeach()
  file(READ "${PREFIX}/share/icons/hicolor/scalable/apps/quillmark.svg" svg)
  if(NOT svg MATCHES "<svg [^>]*viewBox=\"0 0 256 256\"" OR NOT svg MATCHES "</svg>\n$")
    message(FATAL_ERROR "quillmark.svg is not a whole SVG drawing")
  endif()
  file(READ "${PREFIX}/share/applications/quillmark.desktop" entry)
  if(NOT entry MATCHES "\nExec=quillmark %f\n" OR NOT entry MATCHES "\nIcon=quillmark\n")
    message(FATAL_ERROR "the desktop entry does not start quillmark with its icon")
  endif()
endif()

file(REMOVE_RECURSE "${PREFIX}")
message(STATUS "installed and ran from ${PREFIX}")
