# The version of the packages and archives made from a source tree.
#
# The release is the commit that the annotated tag v<version> points to
# (scripts/release.sh --tag makes it), <version> being project()'s: built
# from it, unchanged, the packages are <version>-1. Any other build follows
# that release and names its commit, <version>+git<date>.<time>.<commit>
# (1.0+git20261209.045608.1dc6a58, the commit's time in UTC), so that apt
# replaces the release with it, a later commit's build replaces an earlier
# one's, and `dpkg -l stylo` tells which is installed.
#
# Without git, a tree made by `git archive` still knows its commit: git
# writes it into packaging/archive-commit (export-subst in .gitattributes).
# A tree that has neither is taken for the release, there being no commit to
# name.
#
# Used two ways:
#   include() it, then stylo_package_version(<source dir> <version> <var>):
#     <var> is the version; <var>_COMMIT the short commit and <var>_TIME its
#     time in seconds since 1970, both empty for the release.
#   cmake -DSTYLO_SOURCE_DIR=<dir> -P PackageVersion.cmake: prints
#     project()'s version and the package version, on one line.

# stylo_format_time(<seconds since 1970> <format> <var>): the time in UTC, in
# string(TIMESTAMP)'s format, which formats the time SOURCE_DATE_EPOCH holds.
function(stylo_format_time time format out)
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(saved "$ENV{SOURCE_DATE_EPOCH}")
  endif()
  set(ENV{SOURCE_DATE_EPOCH} "${time}")
  string(TIMESTAMP formatted "${format}" UTC)
  if(DEFINED saved)
    set(ENV{SOURCE_DATE_EPOCH} "${saved}")
  else()
    unset(ENV{SOURCE_DATE_EPOCH})
  endif()
  set(${out} "${formatted}" PARENT_SCOPE)
endfunction()

function(stylo_package_version source_dir version out)
  set(commit "")
  set(time "")
  set(released FALSE)
  find_program(STYLO_GIT git)
  if(STYLO_GIT AND EXISTS "${source_dir}/.git")
    execute_process(COMMAND "${STYLO_GIT}" -C "${source_dir}" log -1 --abbrev=7 --format=%ct:%h
      OUTPUT_VARIABLE head OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed ERROR_VARIABLE git_error)
    if(failed OR NOT head MATCHES "^([0-9]+):([0-9a-f]+)$")
      message(FATAL_ERROR "${source_dir} is a git checkout, but git cannot read its last commit: ${git_error}")
    endif()
    set(time "${CMAKE_MATCH_1}")
    set(commit "${CMAKE_MATCH_2}")
    # Without --tags, describe takes annotated tags only.
    execute_process(COMMAND "${STYLO_GIT}" -C "${source_dir}" describe --exact-match --match "v${version}" HEAD
      RESULT_VARIABLE not_tagged OUTPUT_QUIET ERROR_QUIET)
    execute_process(COMMAND "${STYLO_GIT}" -C "${source_dir}" status --porcelain --untracked-files=no
      OUTPUT_VARIABLE changes RESULT_VARIABLE failed ERROR_QUIET)
    if(NOT not_tagged AND NOT failed AND changes STREQUAL "")
      set(released TRUE)
    endif()
  else()
    set(archived "")
    if(EXISTS "${source_dir}/packaging/archive-commit")
      file(STRINGS "${source_dir}/packaging/archive-commit" archived REGEX "^[0-9]+ [0-9a-f]+")
    endif()
    if(archived MATCHES "^([0-9]+) ([0-9a-f]+) ?(.*)$")
      set(time "${CMAKE_MATCH_1}")
      string(SUBSTRING "${CMAKE_MATCH_2}" 0 7 commit)
      # The refs that pointed at the commit when it was archived.
      string(REPLACE ", " ";" refs "${CMAKE_MATCH_3}")
      list(FIND refs "tag: v${version}" tag_index)
      if(tag_index GREATER -1)
        set(released TRUE)
      endif()
    else()
      set(released TRUE)
    endif()
  endif()

  if(released)
    set(${out} "${version}" PARENT_SCOPE)
    set(${out}_COMMIT "" PARENT_SCOPE)
    set(${out}_TIME "" PARENT_SCOPE)
    return()
  endif()
  stylo_format_time("${time}" "%Y%m%d.%H%M%S" stamp)
  set(${out} "${version}+git${stamp}.${commit}" PARENT_SCOPE)
  set(${out}_COMMIT "${commit}" PARENT_SCOPE)
  set(${out}_TIME "${time}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(NOT STYLO_SOURCE_DIR)
    get_filename_component(STYLO_SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
  endif()
  file(STRINGS "${STYLO_SOURCE_DIR}/CMakeLists.txt" project_line REGEX "^project\\(stylo VERSION ")
  if(NOT project_line MATCHES "^project\\(stylo VERSION ([0-9.]+)[ )]")
    message(FATAL_ERROR "no project(stylo VERSION ...) in ${STYLO_SOURCE_DIR}/CMakeLists.txt")
  endif()
  set(version "${CMAKE_MATCH_1}")
  stylo_package_version("${STYLO_SOURCE_DIR}" "${version}" package_version)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "${version} ${package_version}")
endif()
