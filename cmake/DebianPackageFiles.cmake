# Run by cpack (CPACK_PRE_BUILD_SCRIPTS) on the staged tree of the Debian
# package, before the package is made from it. Sets the package's version
# from the commit the sources are at (cmake/PackageVersion.cmake); adds what
# a Debian package must carry beside the programs: the licence as a
# machine-readable copyright file, the Debian changelog, the manual pages
# compressed; and sets Depends to what dpkg-shlibdeps finds the staged
# programs link, for the package's own architecture (a cross build's
# libraries are looked up in the cross toolchain's directory). It works on
# whatever `cmake --install` staged: every program in bin/, every page in
# share/man/man1/.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

set(root "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(doc "${root}/share/doc/${CPACK_PACKAGE_NAME}")
set(work "${CPACK_TOPLEVEL_DIRECTORY}/debian-files")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}" "${doc}")

# gzip -9n: the best compression Debian asks for, and no name or time in the
# header, so that one input gives the same bytes every time.
function(stylo_gzip input output)
  execute_process(COMMAND gzip -9n -c INPUT_FILE "${input}" OUTPUT_FILE "${output}"
    RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${input} failed")
  endif()
endfunction()

include("${CPACK_STYLO_SOURCE_DIR}/cmake/PackageVersion.cmake")
stylo_package_version("${CPACK_STYLO_SOURCE_DIR}" "${CPACK_PACKAGE_VERSION}" package_version)
set(CPACK_DEBIAN_PACKAGE_VERSION "${package_version}")
message(STATUS "Version: ${package_version}-${CPACK_DEBIAN_PACKAGE_RELEASE}")

# The changelog's top entry must be the release's. A build of another commit
# gets an entry of its own above it, naming the commit, dated by it.
set(release "${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")
file(STRINGS "${CPACK_STYLO_SOURCE_DIR}/packaging/debian/changelog" top LIMIT_COUNT 1)
if(NOT top MATCHES "^${CPACK_PACKAGE_NAME} \\(${release}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog begins with '${top}', not with version ${release}")
endif()
file(READ "${CPACK_STYLO_SOURCE_DIR}/packaging/debian/changelog" changelog)
if(package_version_COMMIT)
  stylo_format_time("${package_version_TIME}" "%a, %d %b %Y %H:%M:%S +0000" date)
  set(changelog "${CPACK_PACKAGE_NAME} (${package_version}-${CPACK_DEBIAN_PACKAGE_RELEASE}) UNRELEASED; urgency=medium

  * Built from commit ${package_version_COMMIT}, not from the ${CPACK_PACKAGE_VERSION} release.

 -- ${CPACK_PACKAGE_CONTACT}  ${date}

${changelog}")
endif()
file(WRITE "${work}/changelog" "${changelog}")
stylo_gzip("${work}/changelog" "${work}/changelog.Debian.gz")

# The copyright file in the machine-readable format (DEP-5), made from
# LICENSE so that the two cannot differ: its copyright line, then the
# permission text as the Expat licence, each line indented, each blank line
# a lone '.'.
file(STRINGS "${CPACK_STYLO_SOURCE_DIR}/LICENSE" licence_lines)
set(holder "")
set(licence_text "")
foreach(line IN LISTS licence_lines)
  if(holder STREQUAL "")
    if(line MATCHES "^Copyright \\(c\\) (.+)$")
      set(holder "${CMAKE_MATCH_1}")
    endif()
  elseif(line STREQUAL "")
    string(APPEND licence_text " .\n")
  else()
    string(APPEND licence_text " ${line}\n")
  endif()
endforeach()
string(REGEX REPLACE "^ \\.\n" "" licence_text "${licence_text}")
if(holder STREQUAL "" OR licence_text STREQUAL "")
  message(FATAL_ERROR "LICENSE has no 'Copyright (c) ...' line followed by the licence text")
endif()
file(WRITE "${work}/copyright"
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${CPACK_PACKAGE_NAME}
Upstream-Contact: ${CPACK_PACKAGE_CONTACT}

Files: *
Copyright: ${holder}
License: Expat
${licence_text}")

set(doc_permissions FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(COPY "${work}/copyright" "${work}/changelog.Debian.gz" DESTINATION "${doc}" ${doc_permissions})

# The lintian overrides, each with its reason beside it in the file.
file(MAKE_DIRECTORY "${root}/share/lintian/overrides")
file(COPY_FILE "${CPACK_STYLO_SOURCE_DIR}/packaging/debian/lintian-overrides"
  "${work}/${CPACK_PACKAGE_NAME}")
file(COPY "${work}/${CPACK_PACKAGE_NAME}" DESTINATION "${root}/share/lintian/overrides" ${doc_permissions})

# Debian installs manual pages compressed.
file(GLOB pages "${root}/share/man/man1/*.1")
foreach(page IN LISTS pages)
  get_filename_component(page_name "${page}" NAME)
  stylo_gzip("${page}" "${work}/${page_name}.gz")
  file(REMOVE "${page}")
  file(COPY "${work}/${page_name}.gz" DESTINATION "${root}/share/man/man1" ${doc_permissions})
endforeach()

# The directories made here get the usual mode whatever the umask.
foreach(dir "${root}/share/doc" "${doc}" "${root}/share/lintian" "${root}/share/lintian/overrides")
  file(CHMOD "${dir}" PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()

# Depends from the libraries the program links. dpkg-shlibdeps reads the
# shlibs and symbols files of the packages that hold them; in a cross build
# those are Debian's cross packages (libc6-arm64-cross, say), whose names
# are turned back into those of the packages on the target system.
find_program(shlibdeps dpkg-shlibdeps)
if(NOT shlibdeps)
  message(FATAL_ERROR "dpkg-shlibdeps is needed to make the Debian package (apt-get install dpkg-dev)")
endif()
file(MAKE_DIRECTORY "${work}/debian")
file(TOUCH "${work}/debian/control")
# The architecture is set only for a cross build; otherwise it is this
# machine's, as cpack finds it.
set(arch "${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}")
if(arch STREQUAL "")
  set(command "${shlibdeps}")
else()
  list(TRANSFORM CPACK_STYLO_TARGET_LIBRARY_DIRS PREPEND -l OUTPUT_VARIABLE library_options)
  set(command dpkg-architecture -a${arch} -c "${shlibdeps}" ${library_options})
endif()
file(GLOB programs "${root}/bin/*")
execute_process(COMMAND ${command} -O ${programs}
  WORKING_DIRECTORY "${work}"
  OUTPUT_VARIABLE substvars ERROR_VARIABLE shlibdeps_errors RESULT_VARIABLE failed)
if(failed OR NOT substvars MATCHES "shlibs:Depends=([^\n]+)")
  message(FATAL_ERROR "dpkg-shlibdeps failed:\n${shlibdeps_errors}")
endif()
set(depends "${CMAKE_MATCH_1}")
if(NOT arch STREQUAL "")
  string(REGEX REPLACE "-${arch}-cross|:${arch}" "" depends "${depends}")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${depends}")
message(STATUS "Depends: ${depends}")
