// charset.h — character encodings: WHATWG encoding labels, decoding of template
// sources (byte-order-mark sniffing, malformed input replaced by U+FFFD),
// encoding of the finished output, and the UTF-8 checks the engine shares.
//
// Legacy encodings are converted by ICU; UTF-8, UTF-16, "replacement",
// "x-user-defined" and ISO-8859-16 (absent from ICU's data) are handled here.
#pragma once

#include <string>
#include <string_view>

#include "error/template_error.h"

namespace tovarn {

// One encoding of the WHATWG Encoding Standard.
//   name      its name, in lower case ("utf-8", "windows-1252", "shift_jis").
//   icu_name  the ICU converter that implements it, or nullptr when this unit
//             converts it itself (utf-8, utf-16be/le, replacement,
//             x-user-defined, iso-8859-16).
struct Encoding {
  std::string_view name;
  const char* icu_name;
};

// Resolves a WHATWG encoding label: leading and trailing ASCII white space is
// ignored and letters match in any case. nullptr for an unknown label.
//   resolve_encoding_label(" Latin1 ")->name == "windows-1252"
//   resolve_encoding_label("utf-32") == nullptr
const Encoding* resolve_encoding_label(std::string_view label);

// Decodes template source bytes to UTF-8. The label is resolved first (unknown:
// "Unknown encoding: ..." error); then a byte-order mark overrides it
// (EF BB BF: UTF-8, FF FE: UTF-16LE, FE FF: UTF-16BE; the mark is dropped).
// Malformed input becomes U+FFFD, so only the label can fail.
//   decode_source("\x80", "windows-1252").value() == "\u20AC"
Result<std::string> decode_source(std::string_view bytes, std::string_view label);

// Encodes the UTF-8 output buffer for the output-encoding setting `name`:
//   ""/"utf-8"      the bytes unchanged (not even validated);
//   "iso-8859-1"    code points below 256 as one byte, others as "?";
//   *UTF-16*        UTF-16 code units, little-endian when the upper-cased name
//                   contains "LE", else big-endian; the mark FE FF leads only
//                   when the name says neither "BE" nor "LE";
//   any other       a WHATWG label; characters the encoding lacks are written
//                   as "&#NNN;".
// Errors: invalid UTF-8 input (any name but ""/"utf-8"), unknown label.
//   encode_output("", "UTF-16").value() == "\xFE\xFF"
//   encode_output("\u4E2D", "ascii").value() == "&#20013;"
Result<std::string> encode_output(std::string_view utf8, std::string_view name);

// True when `bytes` is well-formed UTF-8 (no overlongs, surrogates or values
// above U+10FFFF).
bool is_valid_utf8(std::string_view bytes);

// Copies `bytes`, replacing each maximal invalid subpart by U+FFFD (the usual
// decoder practice: "\xE2\x82" then "A" gives U+FFFD "A", "\xFF\xFF" gives two).
std::string utf8_replace_invalid(std::string_view bytes);

// Describes the first invalid sequence of `bytes`, empty when all is valid:
//   "invalid utf-8 sequence of {n} bytes from index {i}"  (n: bytes of the bad
//     maximal subpart, 1 for a byte that cannot start or continue a sequence)
//   "incomplete utf-8 byte sequence from index {i}"       (truncated at the end)
std::string utf8_error_description(std::string_view bytes);

}  // namespace tovarn
