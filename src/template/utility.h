// utility.h — string utilities shared by output formats, auto-escaping, the
// computer formats and the encoding built-ins: markup escapes (HTML, XML, RTF),
// string-literal encoders (JavaScript/JSON, Java), URL percent-encoding in a
// charset, the per-format markup escape and the control-character trim.
//
// All functions take UTF-8 text. Each comes in two forms: one that appends to
// an output buffer (so interpolation can write straight into the run's output)
// and a convenience that returns a new string. Texts that need no escaping are
// found by one scan and copied in one piece.
//
//   std::string out;
//   html_escape("a<b", out);            // out == "a&lt;b"
//   js_string_enc("it's", false);       // "it\\'s"
#pragma once

#include <string>
#include <string_view>

#include "core/configurable.h"
#include "error/template_error.h"

namespace tovarn {

// HTML escape: < > & " ' become &lt; &gt; &amp; &quot; &#39;.
//   html_escape("<a href='x'>&") == "&lt;a href=&#39;x&#39;&gt;&amp;"
void html_escape(std::string_view text, std::string& out);
std::string html_escape(std::string_view text);

// XML escape: as html_escape, but the apostrophe becomes &apos;.
//   xml_escape("'") == "&apos;"
void xml_escape(std::string_view text, std::string& out);
std::string xml_escape(std::string_view text);

// RTF escape: a backslash before every \, { and }.
//   rtf_escape("{\\b x}") == "\\{\\\\b x\\}"
void rtf_escape(std::string_view text, std::string& out);
std::string rtf_escape(std::string_view text);

// Escapes `text` for an output format: HTML and XHTML with html_escape, XML
// with xml_escape, RTF with rtf_escape; every other format leaves it unchanged.
//   escape_markup(OutputFormatKind::XML, "'") == "&apos;"
//   escape_markup(OutputFormatKind::CSS, "<") == "<"
void escape_markup(OutputFormatKind kind, std::string_view text, std::string& out);
std::string escape_markup(OutputFormatKind kind, std::string_view text);

// Encodes `text` for the inside of a JavaScript string literal, or with
// `json` set of a JSON string literal. Quotes, backslash and control
// characters are escaped, as are the sequences that could close or open a
// markup context around an inline script ("</", "<!", "<?", "]]>", "-->", a
// leading ">") and U+007F-U+009F, U+2028, U+2029.
//   js_string_enc("it's\n", false) == "it\\'s\\n"
//   js_string_enc("<!--", true) == "\\u003C!--"
void js_string_enc(std::string_view text, bool json, std::string& out);
std::string js_string_enc(std::string_view text, bool json);

// Encodes `text` for the inside of a Java string literal: \b \t \n \f \r,
// \" and \\, other characters below U+0020 as \u00xx (lower-case hex).
//   java_string_enc("\x1F") == "\\u001f"
void java_string_enc(std::string_view text, std::string& out);
std::string java_string_enc(std::string_view text);

// Percent-encodes `text` for a URL. ASCII letters, digits and - _ . ! ~ * ' ( )
// (and / when `path` is set) are kept; every maximal run of other characters
// is converted to `charset` and each byte written as %XX (upper-case hex).
// Charset names, matched ignoring ASCII case: "" / "UTF-8" / "UTF8" (UTF-8),
// "UTF-16" / "UTF16" (FE FF then big-endian units, for every run),
// "ISO-8859-1" / "ISO8859-1" / "8859_1" / "LATIN1" (characters above U+00FF
// become "?"); any other name is opened as an ICU converter, whose unmappable
// characters become "?". A name no converter knows fails with
// "Unsupported charset: \"{name}\"" — but only once a run needs converting:
// a text with nothing to escape never looks at the charset. On error `out` is
// left as it was.
//   url_enc("a b/c?d", "", false) == "a%20b%2Fc%3Fd"
//   url_enc("\u00E9", "ISO-8859-1", false) == "%E9"
Status url_enc(std::string_view text, std::string_view charset, bool path, std::string& out);
Result<std::string> url_enc(std::string_view text, std::string_view charset, bool path);

// `text` without the leading and trailing characters of code U+0020 or below.
// Returns a view into `text`.
//   java_trim("\t x y \n") == "x y"
std::string_view java_trim(std::string_view text);

}  // namespace tovarn
