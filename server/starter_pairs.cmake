# Turns the starter thesaurus (UTF-8, "original<TAB>new" per line, "#" comments)
# into a C++ table of pairs, one string literal per word:
#   cmake -DIN=data/synonyms.txt -DOUT=starter_pairs.inc -P starter_pairs.cmake
file(STRINGS "${IN}" lines ENCODING UTF-8 REGEX "^[^#\t][^\t]*\t")
set(out "// Made by server/starter_pairs.cmake from data/synonyms.txt; do not edit.\n")
foreach(line IN LISTS lines)
  string(REPLACE "\\" "\\\\" line "${line}")
  string(REPLACE "\"" "\\\"" line "${line}")
  string(REPLACE "\r" "" line "${line}")
  string(REPLACE "\t" "\", \"" line "${line}")
  string(APPEND out "{\"${line}\"},\n")
endforeach()
file(WRITE "${OUT}.tmp" "${out}")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
