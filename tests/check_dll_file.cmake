# Inspects the shipped DLL with the cross toolchain's own binary tools: the
# export directory, the one export and its ordinal, the imports, and the
# version resource's language and numbers.
function(expect text pattern what)
  if(NOT text MATCHES "${pattern}")
    message(FATAL_ERROR "${what}: no match for '${pattern}'")
  endif()
endfunction()

execute_process(COMMAND ${OBJDUMP} -p ${MODULE} OUTPUT_VARIABLE headers RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${MODULE}")
endif()

expect("${headers}" "Name[ \t]+[0-9a-fA-F]+ QZ_Lasso\\.p\n" "export directory name")
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[^\n]*\n)+)" table "${headers}")
set(entries "${CMAKE_MATCH_1}")
string(REGEX MATCHALL "\\[[ 0-9]+\\] [^\n]+" exports "${entries}")
list(LENGTH exports count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected exactly one export, found ${count}: ${exports}")
endif()
expect("${exports}" "^\\[ *0\\] _mod_descrip$" "the single named export")
expect("${headers}" "Export Address Table -- Ordinal Base 1\n[ \t]+\\[ *0\\] \\+base\\[ *1\\] [0-9a-fA-F]+ Export RVA\n\n" "one address, at ordinal 1")

# The export's address must be the descriptor itself. A link that loses the
# symbol (link-time optimisation does not see the .def file) still writes the
# name and an address, but one outside the module, and the host crashes on
# load; so the address must fall inside a data section and hold the
# descriptor's sync word, interface version and machine type.
set(descriptor_size 40)
string(REGEX MATCH "\nImageBase[ \t]+([0-9a-fA-F]+)\n" found "${headers}")
if(NOT found)
  message(FATAL_ERROR "no image base in the headers of ${MODULE}")
endif()
set(image_base "0x${CMAKE_MATCH_1}")
string(REGEX MATCH "\\+base\\[ *1\\] ([0-9a-fA-F]+) Export RVA" found "${headers}")
math(EXPR export_address "${image_base} + 0x${CMAKE_MATCH_1}" OUTPUT_FORMAT HEXADECIMAL)
execute_process(COMMAND ${OBJDUMP} -h ${MODULE} OUTPUT_VARIABLE sections RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "objdump could not list the sections of ${MODULE}")
endif()
# Each section is two lines: index, name, size, addresses, offset, alignment; then its flags.
string(REGEX MATCHALL "[0-9]+ [^ \n]+ +[0-9a-fA-F]+ +[0-9a-fA-F]+ +[0-9a-fA-F]+ +[0-9a-fA-F]+ +2\\*\\*[0-9]+\n[^\n]+"
       section_entries "${sections}")
set(descriptor_section "")
foreach(entry IN LISTS section_entries)
  string(REGEX MATCH "^[0-9]+ ([^ ]+) +([0-9a-fA-F]+) +([0-9a-fA-F]+) [^\n]*\n([^\n]+)$" found "${entry}")
  set(name "${CMAKE_MATCH_1}")
  set(size "0x${CMAKE_MATCH_2}")
  set(start "0x${CMAKE_MATCH_3}")
  set(flags "${CMAKE_MATCH_4}")
  if(NOT flags MATCHES "LOAD" OR NOT flags MATCHES "DATA" OR flags MATCHES "CODE")
    continue()
  endif()
  math(EXPR offset "${export_address} - ${start}")
  math(EXPR room "${size} - ${offset}")
  if(offset GREATER_EQUAL 0 AND room GREATER_EQUAL descriptor_size)
    set(descriptor_section "${name}")
  endif()
endforeach()
if(descriptor_section STREQUAL "")
  message(FATAL_ERROR "the export _mod_descrip points at ${export_address}, outside every data section of the module")
endif()
math(EXPR header_end "${export_address} + 12" OUTPUT_FORMAT HEXADECIMAL)
execute_process(
  COMMAND ${OBJDUMP} -s -j ${descriptor_section} --start-address=${export_address} --stop-address=${header_end}
          ${MODULE}
  OUTPUT_VARIABLE descriptor RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "objdump could not read the descriptor at ${export_address}")
endif()
# Little-endian words: sync 0x04121994, version 3, machine 0x300.
expect("${descriptor}" "\n [0-9a-fA-F]+ 94191204 03000000 00030000 "
       "the descriptor's sync word, version and machine at the export's address (${descriptor_section})")
message(STATUS "descriptor: ${export_address} in ${descriptor_section}")

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
foreach(import IN LISTS imports)
  string(REPLACE "DLL Name: " "" dll "${import}")
  string(TOUPPER "${dll}" dll)
  if(NOT dll MATCHES "^(KERNEL32|USER32|MSVCRT|UCRTBASE|API-MS-WIN-CRT-[A-Z0-9-]+)\\.DLL$")
    message(FATAL_ERROR "imports a non-system DLL: ${dll}")
  endif()
endforeach()
message(STATUS "imports: ${imports}")

# windres decompiles the resource section back to a script.
execute_process(COMMAND ${WINDRES} -J coff -i ${MODULE} -O rc OUTPUT_VARIABLE script RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "windres could not read the resources of ${MODULE}")
endif()
expect("${script}" "LANGUAGE 17, 1" "Japanese resource language 0x0411")
expect("${script}" "FILEVERSION 0, 1, 4, 1" "file version")
expect("${script}" "PRODUCTVERSION 1, 0, 0, 0" "product version")
expect("${script}" "BLOCK \"041103a4\"" "string table for 0x0411 / code page 932")
expect("${script}" "VALUE \"FileDescription\", \"Lightwave3D Plugin\"" "FileDescription")
expect("${script}" "VALUE \"FileVersion\", \"0.1.4.1\"" "FileVersion")
expect("${script}" "VALUE \"OriginalFilename\", \"QZ_Lasso.dll\"" "OriginalFilename")
expect("${script}" "VALUE \"Translation\", 0x411, 932" "translation")

# The DLL as the release ships it (SHIPPED=ON, run by scripts/test.sh on the
# unpacked zip): no debug information or symbols left, only the link to the
# symbol file of the debug zip, and small enough for its budget.
if(SHIPPED)
  set(max_bytes 163840)  # 160 KiB
  file(SIZE ${MODULE} bytes)
  if(bytes GREATER max_bytes)
    message(FATAL_ERROR "the shipped DLL is ${bytes} bytes, more than ${max_bytes}")
  endif()
  message(STATUS "size: ${bytes} bytes (at most ${max_bytes})")

  execute_process(COMMAND ${OBJDUMP} -h ${MODULE} OUTPUT_VARIABLE sections RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "objdump -h failed on ${MODULE}")
  endif()
  if(sections MATCHES "[ \t](\\.z?debug_[A-Za-z_.]*)")
    message(FATAL_ERROR "debug section ${CMAKE_MATCH_1} left in the shipped DLL")
  endif()
  expect("${sections}" "[ \t]\\.gnu_debuglink[ \t]" "link to the symbol file")

  execute_process(COMMAND ${OBJDUMP} -t ${MODULE} OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
  expect("${symbols}" "SYMBOL TABLE:\nno symbols" "stripped symbol table")
endif()
