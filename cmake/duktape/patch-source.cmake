# Copies Duktape's src-input from the cached Debian source into the build tree and applies
# our numbered patch series to the copy, so the cache stays as Debian ships it.
#   cmake -DSOURCE=<duktape source> -DPATCHES=<patch dir> -DOUT=<dir> -P patch-source.cmake
find_program(PATCH_PROGRAM patch REQUIRED)
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
file(COPY ${SOURCE}/src-input DESTINATION ${OUT})
file(GLOB patches ${PATCHES}/[0-9][0-9][0-9][0-9]-*.patch)
list(SORT patches)
foreach(p IN LISTS patches)
  execute_process(COMMAND ${PATCH_PROGRAM} -p1 --batch --forward --no-backup-if-mismatch -d ${OUT} -i ${p}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    file(REMOVE_RECURSE ${OUT})
    message(FATAL_ERROR "Duktape patch ${p} does not apply:\n${out}")
  endif()
endforeach()
file(TOUCH ${OUT}/patched.stamp)
