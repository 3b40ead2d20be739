# Runs tidelark-cleantext over a fixed input, whole and line by line.
# -DTOOL=<tool> -DEMULATOR=<runner or empty> -DDIR=<this folder> -DOUT=<scratch folder>
set(runner ${EMULATOR})
file(MAKE_DIRECTORY ${OUT})
foreach(mode whole lines)
  set(args)
  if(mode STREQUAL "lines")
    set(args --lines)
  endif()
  # Through a file: output variables would fold the CR LF pairs.
  execute_process(COMMAND ${runner} ${TOOL} ${args} INPUT_FILE ${DIR}/input.txt
                  OUTPUT_FILE ${OUT}/${mode}.out RESULT_VARIABLE rc)
  file(READ ${DIR}/${mode}.txt expected HEX)
  file(READ ${OUT}/${mode}.out got HEX)
  if(NOT rc EQUAL 0 OR NOT got STREQUAL expected)
    message(FATAL_ERROR "${mode}: rc=${rc}\n got ${got}\nwant ${expected}")
  endif()
endforeach()
