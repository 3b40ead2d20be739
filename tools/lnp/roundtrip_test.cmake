# Compiles a pack source (gzip), dumps it again and expects the same entries.
# -DTOOL=<tidelark-lnp> -DEMULATOR=<runner or empty> -DSOURCE=<src> -DWORK=<dir>
set(runner ${EMULATOR})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${runner} ${TOOL} compile ${SOURCE} ${WORK}/roundtrip.lnp --gzip
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "compile failed: ${rc}")
endif()
execute_process(COMMAND ${runner} ${TOOL} dump ${WORK}/roundtrip.lnp --offset 9999
                RESULT_VARIABLE rc OUTPUT_VARIABLE dumped)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "dump failed: ${rc}")
endif()
file(READ ${SOURCE} source)
string(REGEX REPLACE "(^|\n)#[^\n]*" "" source "${source}")
string(REGEX REPLACE "^\n+" "" source "${source}")
string(REPLACE "\r" "" dumped "${dumped}")
if(NOT source STREQUAL dumped)
  file(WRITE ${WORK}/expected.txt "${source}")
  file(WRITE ${WORK}/dumped.txt "${dumped}")
  message(FATAL_ERROR "dump differs from the source; see ${WORK}")
endif()
# A pack with a bad version is refused with its code.
file(WRITE ${WORK}/bad.lnp "\u0003")
execute_process(COMMAND ${runner} ${TOOL} dump ${WORK}/bad.lnp RESULT_VARIABLE rc ERROR_VARIABLE err)
if(rc EQUAL 0)
  message(FATAL_ERROR "a broken pack was dumped")
endif()
