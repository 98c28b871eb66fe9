# Writes the four bootstrap files as C++ string constants:
#   cmake -DSOURCE_DIR=data/rdap -DOUTPUT=rdap_bootstrap_data.cpp -P embed.cmake
# A JSON string holds no raw line break, so dropping each line break with the
# indentation after it leaves the same document in half the bytes. Each
# file's publication date is written beside it, so that a newer cached copy
# can be taken without reading the built-in one.
set(out "// Generated from data/rdap/*.json by data/rdap/embed.cmake. Do not edit.\n")
string(APPEND out "#include \"engine/rdap_bootstrap.h\"\n\n")
foreach(name dns ipv4 ipv6 asn)
  file(READ ${SOURCE_DIR}/${name}.json text)
  string(REGEX REPLACE "\r?\n[ \t]*" "" text "${text}")
  string(JSON publication ERROR_VARIABLE none GET "${text}" publication)
  if(none OR NOT publication MATCHES "^[0-9A-Za-z:.+-]*$")
    set(publication "")
  endif()
  string(APPEND out "extern const char RdapBuiltIn_${name}[] = R\"rdapjson(${text})rdapjson\";\n")
  string(APPEND out "extern const char RdapBuiltInPublication_${name}[] = \"${publication}\";\n")
endforeach()
file(WRITE ${OUTPUT} "${out}")
