# Run as a script: cmake -DINPUT=file -DOUTPUT=file.cpp -DNAME=Symbol -P embed.cmake
# Writes `extern const unsigned char Symbol[]` and `Symbol_size` holding the bytes of INPUT.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" length)
math(EXPR size "${length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Generated from ${INPUT}.\nextern const unsigned char ${NAME}[] = {\n${bytes}};\nextern const unsigned long ${NAME}_size = ${size};\n")
