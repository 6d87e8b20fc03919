# Writes a C++ source that holds the bytes of one file, run at build time:
#   cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -P embed.cmake
# The source defines `std::string_view quorvel::<SYMBOL>()` over the bytes.
if(NOT INPUT OR NOT OUTPUT OR NOT SYMBOL)
  message(FATAL_ERROR "embed.cmake needs INPUT, OUTPUT and SYMBOL")
endif()
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR byteCount "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Break the initializer into lines of 16 bytes so compilers and diffs cope.
string(REPEAT "0x[0-9a-f][0-9a-f]," 16 sixteenBytes)
string(REGEX REPLACE "(${sixteenBytes})" "\\1\n    " bytes "${bytes}")
get_filename_component(inputName "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
"// Generated at build time from ${inputName}; edit that file instead.
#include <string_view>

namespace quorvel {
namespace {
// One extra zero so an empty file still makes a valid array.
constexpr unsigned char kBytes[] = {
    ${bytes}0x00};
}  // namespace

std::string_view ${SYMBOL}() {
  return std::string_view(reinterpret_cast<const char*>(kBytes), ${byteCount});
}

}  // namespace quorvel
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
