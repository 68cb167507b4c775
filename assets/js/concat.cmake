# Joins files into one: cmake -DOUTPUT=out -DINPUTS="a;b;c" -P concat.cmake
file(WRITE ${OUTPUT}.tmp "")
foreach(input ${INPUTS})
  file(READ ${input} content)
  file(APPEND ${OUTPUT}.tmp "${content}")
endforeach()
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
