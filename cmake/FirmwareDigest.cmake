# cmake -DIMAGE=<file> -DOUTPUT=<source> -P FirmwareDigest.cmake
# Writes a C++ source that holds the SHA-256 of the image file, so that the
# program can tell at update time whether the bytes it carries are still the
# ones it was built with. Run as a build step on the very file that is
# embedded, on the build host, for every target platform.
if(NOT IMAGE OR NOT OUTPUT)
    message(FATAL_ERROR "FirmwareDigest.cmake: give -DIMAGE=<file> -DOUTPUT=<source>")
endif()
file(SHA256 "${IMAGE}" digest)
file(SIZE "${IMAGE}" size)
file(WRITE "${OUTPUT}"
    "// Generated at build time from the embedded image (${size} bytes); do not edit.\n"
    "#include \"EmbeddedFirmwareDigest.h\"\n"
    "\n"
    "const char kEmbeddedFirmwareSha256[] = \"${digest}\";\n")
