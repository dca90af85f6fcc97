// utility.cpp — the string utilities: markup escapes, string-literal encoders,
// URL percent-encoding (with ICU for charsets beyond UTF-8/UTF-16/Latin-1) and
// the control-character trim.
//
// Every escaper walks the UTF-8 bytes once and appends the untouched stretches
// between escaped characters as whole slices. Everything that can trigger an
// escape is ASCII or starts with a known lead byte, so no decoding is needed
// except for the URL charsets.
#include "template/utility.h"

#include <unicode/ucnv.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>

namespace tovarn {

namespace {

constexpr char kUpperHex[] = "0123456789ABCDEF";
constexpr char kLowerHex[] = "0123456789abcdef";

// ---- Table-driven markup escapes ----------------------------------------

// A markup escape: the bytes it replaces (at most five; shorter sets repeat
// their first byte) and, for each byte, an index into `reps`, 0 meaning "copy
// the byte". Replacements are padded to 8 bytes so that they are copied as
// one word.
struct MarkupTable {
  std::array<char, 5> chars{};
  std::array<uint8_t, 256> index{};
  std::array<std::array<char, 8>, 6> reps{};
  std::array<uint8_t, 6> rep_len{};
};

constexpr MarkupTable make_markup_table(std::string_view chars,
                                        std::array<std::string_view, 5> reps) {
  MarkupTable t;
  for (size_t i = 0; i < t.chars.size(); ++i) t.chars[i] = chars[i < chars.size() ? i : 0];
  for (size_t i = 0; i < chars.size(); ++i) {
    t.index[static_cast<unsigned char>(chars[i])] = static_cast<uint8_t>(i + 1);
    for (size_t k = 0; k < reps[i].size(); ++k) t.reps[i + 1][k] = reps[i][k];
    t.rep_len[i + 1] = static_cast<uint8_t>(reps[i].size());
  }
  return t;
}

constexpr MarkupTable kHtmlTable =
    make_markup_table("<>&\"'", {"&lt;", "&gt;", "&amp;", "&quot;", "&#39;"});
constexpr MarkupTable kXmlTable =
    make_markup_table("<>&\"'", {"&lt;", "&gt;", "&amp;", "&quot;", "&apos;"});
constexpr MarkupTable kRtfTable = make_markup_table("\\{}", {"\\\\", "\\{", "\\}", "", ""});

// Finds a table's bytes. Most texts have long clean stretches, so with SSE2
// it tests 16 bytes at a time; without, everything goes through the table.
class MarkupScanner {
 public:
  explicit MarkupScanner(const MarkupTable& t) : t_(t) {
#if defined(__SSE2__)
    for (size_t i = 0; i < t.chars.size(); ++i) c_[i] = _mm_set1_epi8(t.chars[i]);
#endif
  }

  // Bit i set when p[i] is one of the table's bytes; p[0..15] must be readable.
  int mask16(const char* p) const {
#if defined(__SSE2__)
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i hit = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, c_[0]), _mm_cmpeq_epi8(v, c_[1])),
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, c_[2]), _mm_cmpeq_epi8(v, c_[3])),
                     _mm_cmpeq_epi8(v, c_[4])));
    return _mm_movemask_epi8(hit);
#else
    (void)p;
    return -1;  // "maybe": the caller looks at each byte
#endif
  }

  // The first byte of [p, end) that the table replaces, or end.
  const char* find(const char* p, const char* const end) const {
    for (; end - p >= 16; p += 16) {
      if (mask16(p) == 0) continue;
      for (const char* q = p; q != p + 16; ++q)
        if (t_.index[static_cast<unsigned char>(*q)] != 0) return q;
    }
    while (p != end && t_.index[static_cast<unsigned char>(*p)] == 0) ++p;
    return p;
  }

 private:
  const MarkupTable& t_;
#if defined(__SSE2__)
  __m128i c_[5];
#endif
};

// Escapes `text` onto `out`. A clean text is appended in one piece. Otherwise
// the output size is counted first and the escaped text written in place:
// clean 16-byte blocks are copied whole, the others byte by byte, so dense
// markup does not pay a string append per character.
void escape_with(const MarkupTable& t, std::string_view text, std::string& out) {
  const MarkupScanner scan(t);
  const char* p = text.data();
  const char* const end = p + text.size();
  const char* first = scan.find(p, end);
  if (first == end) {
    out.append(text);
    return;
  }
  size_t size = text.size();
  for (const char* q = first; q != end; ++q) {
    size += t.rep_len[t.index[static_cast<unsigned char>(*q)]];
    size -= t.index[static_cast<unsigned char>(*q)] != 0;
  }
  const size_t start = out.size();
  out.resize(start + size + 8);  // slack for the last 8-byte replacement copy
  char* w = out.data() + start;
  std::memcpy(w, p, static_cast<size_t>(first - p));
  w += first - p;
  p = first;
  while (p != end) {
    if (end - p >= 16 && scan.mask16(p) == 0) {
      std::memcpy(w, p, 16);
      p += 16;
      w += 16;
      continue;
    }
    const char* stop = end - p >= 16 ? p + 16 : end;
    for (; p != stop; ++p) {
      uint8_t k = t.index[static_cast<unsigned char>(*p)];
      if (k == 0) {
        *w++ = *p;
        continue;
      }
      std::memcpy(w, t.reps[k].data(), 8);
      w += t.rep_len[k];
    }
  }
  out.resize(start + size);
}

// ---- JavaScript / JSON string literals ------------------------------------

// Bytes that may need an escape in js_string_enc: quotes, backslash, controls,
// DEL, the markup-sensitive / < >, and the lead bytes of U+0080-U+009F (C2)
// and U+2028/U+2029 (E2).
constexpr std::array<bool, 256> make_js_candidates() {
  std::array<bool, 256> t{};
  for (int c = 0; c < 0x20; ++c) t[c] = true;
  for (unsigned char c : {'"', '\\', '\'', '/', '<', '>'}) t[c] = true;
  t[0x7F] = t[0xC2] = t[0xE2] = true;
  return t;
}
constexpr std::array<bool, 256> kJsCandidates = make_js_candidates();

// One escape decided by js_escape_at: the replacement text and the number of
// input bytes it replaces; `used` 0 means the byte is copied as it is.
struct JsEscape {
  std::string_view text;
  size_t used = 0;
};

constexpr JsEscape copy_byte{};

// Fills `buf` with "\u" + four upper-case hex digits.
std::string_view u4(uint32_t cp, char (&buf)[6]) {
  buf[0] = '\\';
  buf[1] = 'u';
  buf[2] = kUpperHex[(cp >> 12) & 0xF];
  buf[3] = kUpperHex[(cp >> 8) & 0xF];
  buf[4] = kUpperHex[(cp >> 4) & 0xF];
  buf[5] = kUpperHex[cp & 0xF];
  return {buf, 6};
}

// The escape of a C0 or C1 control character (below U+0100): JSON \u00XX,
// JavaScript \xXX.
std::string_view js_code(uint32_t cp, bool json, char (&buf)[6]) {
  if (json) return u4(cp, buf);
  buf[0] = '\\';
  buf[1] = 'x';
  buf[2] = kUpperHex[(cp >> 4) & 0xF];
  buf[3] = kUpperHex[cp & 0xF];
  return {buf, 4};
}

// Decides the escape of the candidate byte s[i] of an n-byte text. Escapes
// that need digits are built in `buf`.
JsEscape js_escape_at(const unsigned char* s, size_t i, size_t n, bool json, char (&buf)[6]) {
  unsigned char c = s[i];
  switch (c) {
    case '"': return {"\\\"", 1};
    case '\\': return {"\\\\", 1};
    case '\'': return json ? copy_byte : JsEscape{"\\'", 1};
    case '\b': return {"\\b", 1};
    case '\t': return {"\\t", 1};
    case '\n': return {"\\n", 1};
    case '\f': return {"\\f", 1};
    case '\r': return {"\\r", 1};
    case '/':
      // "</" could close a <script> element.
      if (i != 0 && s[i - 1] != '<') return copy_byte;
      return {"\\/", 1};
    case '<':
      // "<!" and "<?" could open a comment, CDATA section or processing instruction.
      if (i + 1 >= n || (s[i + 1] != '!' && s[i + 1] != '?')) return copy_byte;
      return {json ? "\\u003C" : "\\x3C", 1};
    case '>': {
      // A leading '>' or the end of "]]>" / "-->" could close the surrounding markup.
      bool closes = i == 0 || ((s[i - 1] == ']' || s[i - 1] == '-') &&
                               (i == 1 || s[i - 2] == s[i - 1]));
      if (!closes) return copy_byte;
      return {json ? "\\u003E" : "\\>", 1};
    }
    case 0xC2:  // U+0080-U+009F are C2 80 .. C2 9F
      if (i + 1 >= n || s[i + 1] < 0x80 || s[i + 1] > 0x9F) return copy_byte;
      return {js_code(s[i + 1], json, buf), 2};
    case 0xE2:  // U+2028 and U+2029 are E2 80 A8 and E2 80 A9
      if (i + 2 >= n || s[i + 1] != 0x80 || (s[i + 2] != 0xA8 && s[i + 2] != 0xA9))
        return copy_byte;
      return {u4(0x2000u | (s[i + 2] - 0x80u), buf), 3};
    default:  // other controls and DEL
      return {js_code(c, json, buf), 1};
  }
}

// ---- URL percent-encoding --------------------------------------------------

constexpr std::array<bool, 128> make_url_safe() {
  std::array<bool, 128> t{};
  for (int c = '0'; c <= '9'; ++c) t[c] = true;
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = true;
  for (int c = 'a'; c <= 'z'; ++c) t[c] = true;
  for (unsigned char c : {'-', '_', '.', '!', '~', '*', '\'', '(', ')'}) t[c] = true;
  return t;
}
constexpr std::array<bool, 128> kUrlSafe = make_url_safe();

bool url_safe(unsigned char c, bool path) {
  return c < 0x80 && (kUrlSafe[c] || (path && c == '/'));
}

void append_percent(unsigned char b, std::string& out) {
  char e[3] = {'%', kUpperHex[b >> 4], kUpperHex[b & 0xF]};
  out.append(e, 3);
}

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

enum class UrlCharsetKind : uint8_t { Utf8, Utf16, Latin1, Icu };

// The charset of one url_enc call, resolved at the first run that needs it.
struct UrlCharset {
  UrlCharsetKind kind = UrlCharsetKind::Utf8;
  ConverterPtr converter;  // set for Icu
};

Error unsupported_charset(std::string_view name) {
  return Error::misc("Unsupported charset: \"" + std::string(name) + "\"");
}

bool name_is(std::string_view upper, std::initializer_list<std::string_view> names) {
  for (std::string_view n : names)
    if (upper == n) return true;
  return false;
}

Result<UrlCharset> resolve_url_charset(std::string_view name) {
  std::string upper(name);
  for (char& ch : upper)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  UrlCharset cs;
  if (upper.empty() || name_is(upper, {"UTF-8", "UTF8"})) {
    cs.kind = UrlCharsetKind::Utf8;
  } else if (name_is(upper, {"UTF-16", "UTF16"})) {
    cs.kind = UrlCharsetKind::Utf16;
  } else if (name_is(upper, {"ISO-8859-1", "ISO8859-1", "8859_1", "LATIN1"})) {
    cs.kind = UrlCharsetKind::Latin1;
  } else {
    if (name.find('\0') != std::string_view::npos) return unsupported_charset(name);
    UErrorCode err = U_ZERO_ERROR;
    ConverterPtr cnv(ucnv_open(std::string(name).c_str(), &err));
    if (U_FAILURE(err) || !cnv) return unsupported_charset(name);
    // Unmappable characters become '?', as for the Latin-1 family. Converters
    // whose smallest character is wider than a byte keep their own substitute.
    UErrorCode sub_err = U_ZERO_ERROR;
    ucnv_setSubstChars(cnv.get(), "?", 1, &sub_err);
    cs.kind = UrlCharsetKind::Icu;
    cs.converter = std::move(cnv);
  }
  return cs;
}

// Calls f(code point) for each character of a UTF-8 run; malformed bytes
// count as U+FFFD.
template <class F>
void for_each_code_point(std::string_view run, F&& f) {
  const auto* s = reinterpret_cast<const uint8_t*>(run.data());
  int64_t i = 0;
  const auto n = static_cast<int64_t>(run.size());
  while (i < n) {
    UChar32 cp;
    U8_NEXT_OR_FFFD(s, i, n, cp);
    f(static_cast<uint32_t>(cp));
  }
}

void append_utf16_unit(uint16_t u, std::string& out) {
  append_percent(static_cast<unsigned char>(u >> 8), out);
  append_percent(static_cast<unsigned char>(u & 0xFF), out);
}

// Percent-encodes one maximal run of unsafe characters in the charset.
void encode_url_run(std::string_view run, UrlCharset& cs, std::string& out) {
  switch (cs.kind) {
    case UrlCharsetKind::Utf8:
      for (char b : run) append_percent(static_cast<unsigned char>(b), out);
      return;
    case UrlCharsetKind::Utf16:
      // Every run is encoded separately, so every run starts with its own mark.
      append_utf16_unit(0xFEFF, out);
      for_each_code_point(run, [&](uint32_t cp) {
        if (cp >= 0x10000) {
          append_utf16_unit(static_cast<uint16_t>(U16_LEAD(cp)), out);
          append_utf16_unit(static_cast<uint16_t>(U16_TRAIL(cp)), out);
        } else {
          append_utf16_unit(static_cast<uint16_t>(cp), out);
        }
      });
      return;
    case UrlCharsetKind::Latin1:
      for_each_code_point(run, [&](uint32_t cp) {
        append_percent(cp <= 0xFF ? static_cast<unsigned char>(cp) : '?', out);
      });
      return;
    case UrlCharsetKind::Icu: {
      std::u16string units;
      units.reserve(run.size());
      for_each_code_point(run, [&](uint32_t cp) {
        if (cp >= 0x10000) {
          units.push_back(static_cast<char16_t>(U16_LEAD(cp)));
          units.push_back(static_cast<char16_t>(U16_TRAIL(cp)));
        } else {
          units.push_back(static_cast<char16_t>(cp));
        }
      });
      // Reset, then convert with flush: a stateful charset encodes the run as
      // a complete, self-contained unit. Streaming through a fixed buffer
      // keeps every length within ICU's 32-bit limits.
      UConverter* cnv = cs.converter.get();
      ucnv_resetFromUnicode(cnv);
      const auto* src = reinterpret_cast<const UChar*>(units.data());
      const UChar* const src_end = src + units.size();
      char buf[1024];
      UErrorCode err;
      do {
        err = U_ZERO_ERROR;
        char* target = buf;
        ucnv_fromUnicode(cnv, &target, buf + sizeof buf, &src, src_end, nullptr, true, &err);
        for (const char* b = buf; b != target; ++b) append_percent(static_cast<unsigned char>(*b), out);
      } while (err == U_BUFFER_OVERFLOW_ERROR);
      return;
    }
  }
}

}  // namespace

// ---- Markup escapes ----------------------------------------------------------

void html_escape(std::string_view text, std::string& out) { escape_with(kHtmlTable, text, out); }

std::string html_escape(std::string_view text) {
  std::string out;
  html_escape(text, out);
  return out;
}

void xml_escape(std::string_view text, std::string& out) { escape_with(kXmlTable, text, out); }

std::string xml_escape(std::string_view text) {
  std::string out;
  xml_escape(text, out);
  return out;
}

void rtf_escape(std::string_view text, std::string& out) { escape_with(kRtfTable, text, out); }

std::string rtf_escape(std::string_view text) {
  std::string out;
  rtf_escape(text, out);
  return out;
}

void escape_markup(OutputFormatKind kind, std::string_view text, std::string& out) {
  switch (kind) {
    case OutputFormatKind::HTML:
    case OutputFormatKind::XHTML: html_escape(text, out); return;
    case OutputFormatKind::XML: xml_escape(text, out); return;
    case OutputFormatKind::RTF: rtf_escape(text, out); return;
    case OutputFormatKind::PlainText:
    case OutputFormatKind::JavaScript:
    case OutputFormatKind::JSON:
    case OutputFormatKind::CSS: out.append(text); return;
  }
  out.append(text);
}

std::string escape_markup(OutputFormatKind kind, std::string_view text) {
  std::string out;
  escape_markup(kind, text, out);
  return out;
}

// ---- String literals -----------------------------------------------------------

void js_string_enc(std::string_view text, bool json, std::string& out) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t run = 0;  // start of the bytes not yet written
  char buf[6];
  for (size_t i = 0; i < n;) {
    if (!kJsCandidates[s[i]]) {
      ++i;
      continue;
    }
    JsEscape e = js_escape_at(s, i, n, json, buf);
    if (e.used == 0) {
      ++i;
      continue;
    }
    out.append(text.data() + run, i - run);
    out.append(e.text);
    i += e.used;
    run = i;
  }
  out.append(text.data() + run, n - run);
}

std::string js_string_enc(std::string_view text, bool json) {
  std::string out;
  js_string_enc(text, json, out);
  return out;
}

void java_string_enc(std::string_view text, std::string& out) {
  const char* p = text.data();
  const char* const end = p + text.size();
  const char* run = p;
  for (; p != end; ++p) {
    auto c = static_cast<unsigned char>(*p);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(run, p);
    run = p + 1;
    switch (c) {
      case '"': out.append("\\\""); break;
      case '\\': out.append("\\\\"); break;
      case '\b': out.append("\\b"); break;
      case '\t': out.append("\\t"); break;
      case '\n': out.append("\\n"); break;
      case '\f': out.append("\\f"); break;
      case '\r': out.append("\\r"); break;
      default: {
        char e[6] = {'\\', 'u', '0', '0', kLowerHex[c >> 4], kLowerHex[c & 0xF]};
        out.append(e, 6);
      }
    }
  }
  out.append(run, end);
}

std::string java_string_enc(std::string_view text) {
  std::string out;
  java_string_enc(text, out);
  return out;
}

// ---- URLs -------------------------------------------------------------------------

Status url_enc(std::string_view text, std::string_view charset, bool path, std::string& out) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  const size_t start = out.size();
  std::optional<UrlCharset> cs;  // resolved lazily: safe texts never consult it
  size_t i = 0;
  while (i < n) {
    size_t safe_end = i;
    while (safe_end < n && url_safe(s[safe_end], path)) ++safe_end;
    out.append(text.data() + i, safe_end - i);
    if (safe_end == n) break;
    size_t run_end = safe_end;
    while (run_end < n && !url_safe(s[run_end], path)) ++run_end;
    if (!cs) {
      Result<UrlCharset> r = resolve_url_charset(charset);
      if (!r.ok()) {
        out.resize(start);  // leave the output as it was
        return r.take_error();
      }
      cs.emplace(std::move(r).value());
    }
    encode_url_run(text.substr(safe_end, run_end - safe_end), *cs, out);
    i = run_end;
  }
  return ok();
}

Result<std::string> url_enc(std::string_view text, std::string_view charset, bool path) {
  std::string out;
  TRY(url_enc(text, charset, path, out));
  return out;
}

// ---- Trimming -----------------------------------------------------------------------

std::string_view java_trim(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 0x20) --e;
  return text.substr(b, e - b);
}

}  // namespace tovarn
