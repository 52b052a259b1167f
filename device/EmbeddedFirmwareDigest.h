#pragma once

// The SHA-256 of the embedded image file, 64 lower-case hex digits, taken
// when the program was built (generated from the very file that is
// embedded). It lives in the code, apart from the image, so damage to the
// image does not change it.
extern const char kEmbeddedFirmwareSha256[];
