# mksfx, the program itself, refuses a missing archive and a missing input
# with one line on standard error and exit status 1, and leaves no package.
#
#   cmake -DMKSFX=PROGRAM -DMODULE=SFX.exe -DWORK=DIR [-DEMULATOR=RUNNER]
#         [-DPREFIX=Z:] -P refusal_test.cmake
#
# PREFIX goes before the paths mksfx is given (Z: for a Windows build under
# Wine).  Without the module the test prints SKIP.
foreach(name MKSFX MODULE WORK)
  if(NOT DEFINED ${name})
    message(FATAL_ERROR "${name} not given")
  endif()
endforeach()
if(NOT EXISTS "${MODULE}")
  message("SKIP: no module ${MODULE}")
  return()
endif()
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

# expect_refusal(WHAT MESSAGE INPUT...): MESSAGE is a regular expression
# for the line after "mksfx: ".
function(expect_refusal what message)
  execute_process(
    COMMAND ${EMULATOR} ${MKSFX} -o "${PREFIX}${WORK}/out.exe" --module "${PREFIX}${MODULE}" ${ARGN}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status STREQUAL "1")
    message(FATAL_ERROR "${what}: exit status ${status}, not 1\nstdout: ${out}\nstderr: ${err}")
  endif()
  if(NOT err MATCHES "^mksfx: ${message}\r?\n$")
    message(FATAL_ERROR "${what}: not the one line expected (${message}):\n${err}")
  endif()
  if(EXISTS "${WORK}/out.exe")
    message(FATAL_ERROR "${what}: a package was left behind")
  endif()
  message("${what}: refused: ${err}")
endfunction()

expect_refusal("a missing archive" "[^\r\n]*missing\\.lzh: cannot read the archive"
               "${PREFIX}${WORK}/missing.lzh")
expect_refusal("a missing folder" "[^\r\n]*missing-folder: [^\r\n]+" "${PREFIX}${WORK}/missing-folder")
file(WRITE "${WORK}/here.txt" "here\n")
expect_refusal("a missing file beside one that exists" "[^\r\n]*missing\\.txt: [^\r\n]+"
               "${PREFIX}${WORK}/here.txt" "${PREFIX}${WORK}/missing.txt")
