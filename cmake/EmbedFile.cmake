# lt_embed_file(<file> <output.inc>): writes the file's bytes as a C array
# initialiser ("0xff,0xd8,...") for a source to #include. Done at configure
# time; a changed file configures again.
function(lt_embed_file input output)
  file(READ ${input} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
  file(CONFIGURE OUTPUT ${output} CONTENT "${bytes}\n")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${input})
endfunction()
