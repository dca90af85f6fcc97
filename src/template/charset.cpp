// charset.cpp — the WHATWG label table, source decoding, output encoding and
// the UTF-8 scanner shared by validation, replacement and error messages.
#include "template/charset.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>

namespace tovarn {
namespace {

// ---------------------------------------------------------------------------
// Encodings and labels

enum class Enc : uint8_t {
  Utf8, Ibm866, Iso8859_2, Iso8859_3, Iso8859_4, Iso8859_5, Iso8859_6, Iso8859_7,
  Iso8859_8, Iso8859_8I, Iso8859_10, Iso8859_13, Iso8859_14, Iso8859_15, Iso8859_16,
  Koi8R, Koi8U, Macintosh, Windows874, Windows1250, Windows1251, Windows1252,
  Windows1253, Windows1254, Windows1255, Windows1256, Windows1257, Windows1258,
  XMacCyrillic, Gbk, Gb18030, Big5, EucJp, Iso2022Jp, ShiftJis, EucKr, Replacement,
  Utf16Be, Utf16Le, XUserDefined, Count_
};

// Indexed by Enc. ICU converter names are the exact table names, so that an
// ambiguous alias never picks a variant that differs from the standard's index.
constexpr Encoding kEncodings[] = {
    {"utf-8", nullptr},
    {"ibm866", "ibm-866_P100-1995"},
    {"iso-8859-2", "ibm-912_P100-1995"},
    {"iso-8859-3", "ibm-913_P100-2000"},
    {"iso-8859-4", "ibm-914_P100-1995"},
    {"iso-8859-5", "ibm-915_P100-1995"},
    {"iso-8859-6", "ibm-1089_P100-1995"},
    {"iso-8859-7", "ibm-9005_X110-2007"},
    {"iso-8859-8", "ibm-5012_P100-1999"},
    {"iso-8859-8-i", "ibm-5012_P100-1999"},  // same index as iso-8859-8
    {"iso-8859-10", "iso-8859_10-1998"},
    {"iso-8859-13", "ibm-921_P100-1995"},
    {"iso-8859-14", "iso-8859_14-1998"},
    {"iso-8859-15", "ibm-923_P100-1998"},
    {"iso-8859-16", nullptr},  // not in ICU's data: table below
    {"koi8-r", "ibm-878_P100-1996"},
    {"koi8-u", "ibm-1168_P100-2002"},
    {"macintosh", "macos-0_2-10.2"},
    {"windows-874", "windows-874-2000"},
    {"windows-1250", "ibm-5346_P100-1998"},
    {"windows-1251", "ibm-5347_P100-1998"},
    {"windows-1252", "ibm-5348_P100-1997"},
    {"windows-1253", "ibm-5349_P100-1998"},
    {"windows-1254", "ibm-5350_P100-1998"},
    {"windows-1255", "ibm-9447_P100-2002"},
    {"windows-1256", "ibm-9448_X100-2005"},
    {"windows-1257", "ibm-9449_P100-2002"},
    {"windows-1258", "ibm-5354_P100-1998"},
    {"x-mac-cyrillic", "macos-7_3-10.2"},
    {"gbk", "gb18030"},  // decodes as gb18030; encode_output uses windows-936
    {"gb18030", "gb18030"},
    {"big5", "ibm-1375_P100-2008"},  // Big5 with the HKSCS extensions
    {"euc-jp", "euc-jp-2007"},
    {"iso-2022-jp", "ISO_2022,locale=ja,version=0"},
    {"shift_jis", "ibm-943_P15A-2003"},  // the Windows variant: 5C and 7E stay ASCII
    {"euc-kr", "windows-949-2000"},      // the Windows superset (UHC)
    {"replacement", nullptr},
    {"utf-16be", nullptr},
    {"utf-16le", nullptr},
    {"x-user-defined", nullptr},
};
static_assert(std::size(kEncodings) == static_cast<size_t>(Enc::Count_));

// The ICU converter used to encode gbk: the two-byte table only, so characters
// that gb18030 would write as four bytes become character references.
constexpr const char* kGbkEncoder = "windows-936-2000";

struct Label {
  std::string_view label;
  Enc enc;
};

// Every label of the Encoding Standard, sorted bytewise for binary search.
constexpr Label kLabels[] = {
    {"866", Enc::Ibm866},
    {"ansi_x3.4-1968", Enc::Windows1252},
    {"arabic", Enc::Iso8859_6},
    {"ascii", Enc::Windows1252},
    {"asmo-708", Enc::Iso8859_6},
    {"big5", Enc::Big5},
    {"big5-hkscs", Enc::Big5},
    {"chinese", Enc::Gbk},
    {"cn-big5", Enc::Big5},
    {"cp1250", Enc::Windows1250},
    {"cp1251", Enc::Windows1251},
    {"cp1252", Enc::Windows1252},
    {"cp1253", Enc::Windows1253},
    {"cp1254", Enc::Windows1254},
    {"cp1255", Enc::Windows1255},
    {"cp1256", Enc::Windows1256},
    {"cp1257", Enc::Windows1257},
    {"cp1258", Enc::Windows1258},
    {"cp819", Enc::Windows1252},
    {"cp866", Enc::Ibm866},
    {"csbig5", Enc::Big5},
    {"cseuckr", Enc::EucKr},
    {"cseucpkdfmtjapanese", Enc::EucJp},
    {"csgb2312", Enc::Gbk},
    {"csibm866", Enc::Ibm866},
    {"csiso2022jp", Enc::Iso2022Jp},
    {"csiso2022kr", Enc::Replacement},
    {"csiso58gb231280", Enc::Gbk},
    {"csiso88596e", Enc::Iso8859_6},
    {"csiso88596i", Enc::Iso8859_6},
    {"csiso88598e", Enc::Iso8859_8},
    {"csiso88598i", Enc::Iso8859_8I},
    {"csisolatin1", Enc::Windows1252},
    {"csisolatin2", Enc::Iso8859_2},
    {"csisolatin3", Enc::Iso8859_3},
    {"csisolatin4", Enc::Iso8859_4},
    {"csisolatin5", Enc::Windows1254},
    {"csisolatin6", Enc::Iso8859_10},
    {"csisolatin9", Enc::Iso8859_15},
    {"csisolatinarabic", Enc::Iso8859_6},
    {"csisolatincyrillic", Enc::Iso8859_5},
    {"csisolatingreek", Enc::Iso8859_7},
    {"csisolatinhebrew", Enc::Iso8859_8},
    {"cskoi8r", Enc::Koi8R},
    {"csksc56011987", Enc::EucKr},
    {"csmacintosh", Enc::Macintosh},
    {"csshiftjis", Enc::ShiftJis},
    {"csunicode", Enc::Utf16Le},
    {"cyrillic", Enc::Iso8859_5},
    {"dos-874", Enc::Windows874},
    {"ecma-114", Enc::Iso8859_6},
    {"ecma-118", Enc::Iso8859_7},
    {"elot_928", Enc::Iso8859_7},
    {"euc-jp", Enc::EucJp},
    {"euc-kr", Enc::EucKr},
    {"gb18030", Enc::Gb18030},
    {"gb2312", Enc::Gbk},
    {"gb_2312", Enc::Gbk},
    {"gb_2312-80", Enc::Gbk},
    {"gbk", Enc::Gbk},
    {"greek", Enc::Iso8859_7},
    {"greek8", Enc::Iso8859_7},
    {"hebrew", Enc::Iso8859_8},
    {"hz-gb-2312", Enc::Replacement},
    {"ibm819", Enc::Windows1252},
    {"ibm866", Enc::Ibm866},
    {"iso-10646-ucs-2", Enc::Utf16Le},
    {"iso-2022-cn", Enc::Replacement},
    {"iso-2022-cn-ext", Enc::Replacement},
    {"iso-2022-jp", Enc::Iso2022Jp},
    {"iso-2022-kr", Enc::Replacement},
    {"iso-8859-1", Enc::Windows1252},
    {"iso-8859-10", Enc::Iso8859_10},
    {"iso-8859-11", Enc::Windows874},
    {"iso-8859-13", Enc::Iso8859_13},
    {"iso-8859-14", Enc::Iso8859_14},
    {"iso-8859-15", Enc::Iso8859_15},
    {"iso-8859-16", Enc::Iso8859_16},
    {"iso-8859-2", Enc::Iso8859_2},
    {"iso-8859-3", Enc::Iso8859_3},
    {"iso-8859-4", Enc::Iso8859_4},
    {"iso-8859-5", Enc::Iso8859_5},
    {"iso-8859-6", Enc::Iso8859_6},
    {"iso-8859-6-e", Enc::Iso8859_6},
    {"iso-8859-6-i", Enc::Iso8859_6},
    {"iso-8859-7", Enc::Iso8859_7},
    {"iso-8859-8", Enc::Iso8859_8},
    {"iso-8859-8-e", Enc::Iso8859_8},
    {"iso-8859-8-i", Enc::Iso8859_8I},
    {"iso-8859-9", Enc::Windows1254},
    {"iso-ir-100", Enc::Windows1252},
    {"iso-ir-101", Enc::Iso8859_2},
    {"iso-ir-109", Enc::Iso8859_3},
    {"iso-ir-110", Enc::Iso8859_4},
    {"iso-ir-126", Enc::Iso8859_7},
    {"iso-ir-127", Enc::Iso8859_6},
    {"iso-ir-138", Enc::Iso8859_8},
    {"iso-ir-144", Enc::Iso8859_5},
    {"iso-ir-148", Enc::Windows1254},
    {"iso-ir-149", Enc::EucKr},
    {"iso-ir-157", Enc::Iso8859_10},
    {"iso-ir-58", Enc::Gbk},
    {"iso8859-1", Enc::Windows1252},
    {"iso8859-10", Enc::Iso8859_10},
    {"iso8859-11", Enc::Windows874},
    {"iso8859-13", Enc::Iso8859_13},
    {"iso8859-14", Enc::Iso8859_14},
    {"iso8859-15", Enc::Iso8859_15},
    {"iso8859-2", Enc::Iso8859_2},
    {"iso8859-3", Enc::Iso8859_3},
    {"iso8859-4", Enc::Iso8859_4},
    {"iso8859-5", Enc::Iso8859_5},
    {"iso8859-6", Enc::Iso8859_6},
    {"iso8859-7", Enc::Iso8859_7},
    {"iso8859-8", Enc::Iso8859_8},
    {"iso8859-9", Enc::Windows1254},
    {"iso88591", Enc::Windows1252},
    {"iso885910", Enc::Iso8859_10},
    {"iso885911", Enc::Windows874},
    {"iso885913", Enc::Iso8859_13},
    {"iso885914", Enc::Iso8859_14},
    {"iso885915", Enc::Iso8859_15},
    {"iso88592", Enc::Iso8859_2},
    {"iso88593", Enc::Iso8859_3},
    {"iso88594", Enc::Iso8859_4},
    {"iso88595", Enc::Iso8859_5},
    {"iso88596", Enc::Iso8859_6},
    {"iso88597", Enc::Iso8859_7},
    {"iso88598", Enc::Iso8859_8},
    {"iso88599", Enc::Windows1254},
    {"iso_8859-1", Enc::Windows1252},
    {"iso_8859-15", Enc::Iso8859_15},
    {"iso_8859-1:1987", Enc::Windows1252},
    {"iso_8859-2", Enc::Iso8859_2},
    {"iso_8859-2:1987", Enc::Iso8859_2},
    {"iso_8859-3", Enc::Iso8859_3},
    {"iso_8859-3:1988", Enc::Iso8859_3},
    {"iso_8859-4", Enc::Iso8859_4},
    {"iso_8859-4:1988", Enc::Iso8859_4},
    {"iso_8859-5", Enc::Iso8859_5},
    {"iso_8859-5:1988", Enc::Iso8859_5},
    {"iso_8859-6", Enc::Iso8859_6},
    {"iso_8859-6:1987", Enc::Iso8859_6},
    {"iso_8859-7", Enc::Iso8859_7},
    {"iso_8859-7:1987", Enc::Iso8859_7},
    {"iso_8859-8", Enc::Iso8859_8},
    {"iso_8859-8:1988", Enc::Iso8859_8},
    {"iso_8859-9", Enc::Windows1254},
    {"iso_8859-9:1989", Enc::Windows1254},
    {"koi", Enc::Koi8R},
    {"koi8", Enc::Koi8R},
    {"koi8-r", Enc::Koi8R},
    {"koi8-ru", Enc::Koi8U},
    {"koi8-u", Enc::Koi8U},
    {"koi8_r", Enc::Koi8R},
    {"korean", Enc::EucKr},
    {"ks_c_5601-1987", Enc::EucKr},
    {"ks_c_5601-1989", Enc::EucKr},
    {"ksc5601", Enc::EucKr},
    {"ksc_5601", Enc::EucKr},
    {"l1", Enc::Windows1252},
    {"l2", Enc::Iso8859_2},
    {"l3", Enc::Iso8859_3},
    {"l4", Enc::Iso8859_4},
    {"l5", Enc::Windows1254},
    {"l6", Enc::Iso8859_10},
    {"l9", Enc::Iso8859_15},
    {"latin1", Enc::Windows1252},
    {"latin2", Enc::Iso8859_2},
    {"latin3", Enc::Iso8859_3},
    {"latin4", Enc::Iso8859_4},
    {"latin5", Enc::Windows1254},
    {"latin6", Enc::Iso8859_10},
    {"logical", Enc::Iso8859_8I},
    {"mac", Enc::Macintosh},
    {"macintosh", Enc::Macintosh},
    {"ms932", Enc::ShiftJis},
    {"ms_kanji", Enc::ShiftJis},
    {"replacement", Enc::Replacement},
    {"shift-jis", Enc::ShiftJis},
    {"shift_jis", Enc::ShiftJis},
    {"sjis", Enc::ShiftJis},
    {"sun_eu_greek", Enc::Iso8859_7},
    {"tis-620", Enc::Windows874},
    {"ucs-2", Enc::Utf16Le},
    {"unicode", Enc::Utf16Le},
    {"unicode-1-1-utf-8", Enc::Utf8},
    {"unicode11utf8", Enc::Utf8},
    {"unicode20utf8", Enc::Utf8},
    {"unicodefeff", Enc::Utf16Le},
    {"unicodefffe", Enc::Utf16Be},
    {"us-ascii", Enc::Windows1252},
    {"utf-16", Enc::Utf16Le},
    {"utf-16be", Enc::Utf16Be},
    {"utf-16le", Enc::Utf16Le},
    {"utf-8", Enc::Utf8},
    {"utf8", Enc::Utf8},
    {"visual", Enc::Iso8859_8},
    {"windows-1250", Enc::Windows1250},
    {"windows-1251", Enc::Windows1251},
    {"windows-1252", Enc::Windows1252},
    {"windows-1253", Enc::Windows1253},
    {"windows-1254", Enc::Windows1254},
    {"windows-1255", Enc::Windows1255},
    {"windows-1256", Enc::Windows1256},
    {"windows-1257", Enc::Windows1257},
    {"windows-1258", Enc::Windows1258},
    {"windows-31j", Enc::ShiftJis},
    {"windows-874", Enc::Windows874},
    {"windows-949", Enc::EucKr},
    {"x-cp1250", Enc::Windows1250},
    {"x-cp1251", Enc::Windows1251},
    {"x-cp1252", Enc::Windows1252},
    {"x-cp1253", Enc::Windows1253},
    {"x-cp1254", Enc::Windows1254},
    {"x-cp1255", Enc::Windows1255},
    {"x-cp1256", Enc::Windows1256},
    {"x-cp1257", Enc::Windows1257},
    {"x-cp1258", Enc::Windows1258},
    {"x-euc-jp", Enc::EucJp},
    {"x-gbk", Enc::Gbk},
    {"x-mac-cyrillic", Enc::XMacCyrillic},
    {"x-mac-roman", Enc::Macintosh},
    {"x-mac-ukrainian", Enc::XMacCyrillic},
    {"x-sjis", Enc::ShiftJis},
    {"x-unicode20utf8", Enc::Utf8},
    {"x-user-defined", Enc::XUserDefined},
    {"x-x-big5", Enc::Big5},
};

constexpr bool labels_sorted() {
  for (size_t i = 1; i < std::size(kLabels); ++i)
    if (!(kLabels[i - 1].label < kLabels[i].label)) return false;
  return true;
}
static_assert(labels_sorted(), "kLabels must be sorted and free of duplicates");

constexpr size_t kMaxLabelLength = 19;  // "cseucpkdfmtjapanese"

const Encoding& encoding_of(Enc e) { return kEncodings[static_cast<size_t>(e)]; }

Enc enc_of(const Encoding* e) { return static_cast<Enc>(e - kEncodings); }

bool is_ascii_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool iequals_ascii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  return true;
}

// ---------------------------------------------------------------------------
// UTF-8 scanning

// What the sequence starting at a byte turned out to be. `len` is the length
// of the valid sequence, or of the maximal invalid subpart a decoder replaces
// by one U+FFFD.
struct Utf8Step {
  uint32_t len;
  bool valid;
  bool truncated;  // invalid only because the input ended inside it
};

Utf8Step scan_utf8(const unsigned char* p, size_t avail) {
  const unsigned char b = p[0];
  if (b < 0x80) return {1, true, false};
  uint32_t need;
  unsigned char lo = 0x80, hi = 0xBF;  // bounds of the next continuation byte
  if (b >= 0xC2 && b <= 0xDF) {
    need = 1;
  } else if (b >= 0xE0 && b <= 0xEF) {
    need = 2;
    if (b == 0xE0) lo = 0xA0;       // no overlongs
    else if (b == 0xED) hi = 0x9F;  // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    need = 3;
    if (b == 0xF0) lo = 0x90;       // no overlongs
    else if (b == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
  } else {
    return {1, false, false};
  }
  for (uint32_t i = 1; i <= need; ++i) {
    if (i >= avail) return {i, false, true};
    if (p[i] < lo || p[i] > hi) return {i, false, false};
    lo = 0x80;
    hi = 0xBF;
  }
  return {need + 1, true, false};
}

const unsigned char* ubytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// Index of the first byte that is not part of a valid sequence, or s.size().
size_t valid_utf8_prefix(std::string_view s) {
  const unsigned char* p = ubytes(s);
  const size_t n = s.size();
  size_t i = 0;
  while (i < n) {
    // ASCII runs are the common case: check eight bytes at once.
    while (i + 8 <= n) {
      uint64_t w;
      std::memcpy(&w, p + i, 8);
      if (w & 0x8080808080808080ull) break;
      i += 8;
    }
    if (i >= n) break;
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    Utf8Step st = scan_utf8(p + i, n - i);
    if (!st.valid) return i;
    i += st.len;
  }
  return n;
}

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

void append_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes the code point at p[i] of valid UTF-8 and advances i.
uint32_t next_code_point(const unsigned char* p, size_t& i) {
  const unsigned char b = p[i];
  if (b < 0x80) {
    ++i;
    return b;
  }
  if (b < 0xE0) {
    uint32_t cp = ((b & 0x1Fu) << 6) | (p[i + 1] & 0x3Fu);
    i += 2;
    return cp;
  }
  if (b < 0xF0) {
    uint32_t cp = ((b & 0x0Fu) << 12) | ((p[i + 1] & 0x3Fu) << 6) | (p[i + 2] & 0x3Fu);
    i += 3;
    return cp;
  }
  uint32_t cp = ((b & 0x07u) << 18) | ((p[i + 1] & 0x3Fu) << 12) | ((p[i + 2] & 0x3Fu) << 6) |
                (p[i + 3] & 0x3Fu);
  i += 4;
  return cp;
}

// Turns a stream of UTF-16 code units into UTF-8; unpaired surrogates become
// U+FFFD. Units may arrive in pieces: a lead surrogate waits for its partner.
class Utf16ToUtf8 {
 public:
  explicit Utf16ToUtf8(std::string& out) : out_(out) {}

  void put(char16_t u) {
    if (high_ != 0) {
      const char16_t high = high_;
      high_ = 0;
      if (u >= 0xDC00 && u <= 0xDFFF) {
        append_utf8(out_, 0x10000 + ((high - 0xD800u) << 10) + (u - 0xDC00u));
        return;
      }
      out_ += kReplacementUtf8;  // and `u` is read afresh below
    }
    if (u >= 0xD800 && u <= 0xDBFF) high_ = u;
    else if (u >= 0xDC00 && u <= 0xDFFF) out_ += kReplacementUtf8;
    else append_utf8(out_, u);
  }

  void finish() {
    if (high_ != 0) out_ += kReplacementUtf8;
    high_ = 0;
  }

 private:
  std::string& out_;
  char16_t high_ = 0;
};

// ---------------------------------------------------------------------------
// Decoders

std::string decode_utf8(std::string_view bytes) {
  if (is_valid_utf8(bytes)) return std::string(bytes);
  return utf8_replace_invalid(bytes);
}

std::string decode_utf16(std::string_view bytes, bool big_endian) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  Utf16ToUtf8 sink(out);
  const unsigned char* p = ubytes(bytes);
  const size_t pairs = bytes.size() / 2;
  for (size_t k = 0; k < pairs; ++k) {
    const unsigned char a = p[2 * k], b = p[2 * k + 1];
    sink.put(static_cast<char16_t>(big_endian ? (a << 8 | b) : (b << 8 | a)));
  }
  sink.finish();
  if (bytes.size() % 2 != 0) out += kReplacementUtf8;  // a lone trailing byte
  return out;
}

// x-user-defined: ASCII as itself, 0x80-0xFF onto U+F780-U+F7FF.
std::string decode_x_user_defined(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (unsigned char b : bytes) append_utf8(out, b < 0x80 ? b : 0xF780u + (b - 0x80u));
  return out;
}

// ISO-8859-16 bytes 0xA0-0xFF; below 0xA0 every byte maps to itself.
constexpr char16_t kIso8859_16High[96] = {
    0x00A0, 0x0104, 0x0105, 0x0141, 0x20AC, 0x201E, 0x0160, 0x00A7,
    0x0161, 0x00A9, 0x0218, 0x00AB, 0x0179, 0x00AD, 0x017A, 0x017B,
    0x00B0, 0x00B1, 0x010C, 0x0142, 0x017D, 0x201D, 0x00B6, 0x00B7,
    0x017E, 0x010D, 0x0219, 0x00BB, 0x0152, 0x0153, 0x0178, 0x017C,
    0x00C0, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0106, 0x00C6, 0x00C7,
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x0110, 0x0143, 0x00D2, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x015A,
    0x0170, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x0118, 0x021A, 0x00DF,
    0x00E0, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x0107, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,
    0x0111, 0x0144, 0x00F2, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x015B,
    0x0171, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0119, 0x021B, 0x00FF,
};

std::string decode_iso8859_16(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) append_utf8(out, b < 0xA0 ? b : kIso8859_16High[b - 0xA0]);
  return out;
}

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr open_converter(const char* icu_name) {
  UErrorCode e = U_ZERO_ERROR;
  ConverterPtr cnv(ucnv_open(icu_name, &e));
  if (U_FAILURE(e)) cnv.reset();
  return cnv;
}

// To-Unicode callback: every malformed or unmapped sequence becomes one U+FFFD
// (ICU's own substitute would give U+001A for some converters).
void to_u_replace(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                  UConverterCallbackReason reason, UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close, clone: nothing to write
  static const UChar kFffd = 0xFFFD;
  *err = U_ZERO_ERROR;
  ucnv_cbToUWriteUChars(args, &kFffd, 1, 0, err);
}

std::string decode_icu(const char* icu_name, std::string_view bytes) {
  std::string out;
  ConverterPtr cnv = open_converter(icu_name);
  if (!cnv) {
    // ICU's data lacks a converter the table names: keep ASCII, mark the rest.
    for (unsigned char b : bytes) {
      if (b < 0x80) out.push_back(static_cast<char>(b));
      else out += kReplacementUtf8;
    }
    return out;
  }
  UErrorCode e = U_ZERO_ERROR;
  ucnv_setToUCallBack(cnv.get(), to_u_replace, nullptr, nullptr, nullptr, &e);
  out.reserve(bytes.size() + bytes.size() / 2);
  Utf16ToUtf8 sink(out);
  const char* src = bytes.data();
  const char* const end = src + bytes.size();
  UChar buf[2048];
  do {
    UChar* t = buf;
    e = U_ZERO_ERROR;
    ucnv_toUnicode(cnv.get(), &t, buf + std::size(buf), &src, end, nullptr, true, &e);
    for (UChar* u = buf; u < t; ++u) sink.put(*u);
  } while (e == U_BUFFER_OVERFLOW_ERROR);
  sink.finish();
  return out;
}

std::string decode_with(Enc enc, std::string_view bytes) {
  switch (enc) {
    case Enc::Utf8: return decode_utf8(bytes);
    case Enc::Utf16Be: return decode_utf16(bytes, true);
    case Enc::Utf16Le: return decode_utf16(bytes, false);
    case Enc::Replacement: return bytes.empty() ? std::string() : std::string(kReplacementUtf8);
    case Enc::XUserDefined: return decode_x_user_defined(bytes);
    case Enc::Iso8859_16: return decode_iso8859_16(bytes);
    default: return decode_icu(encoding_of(enc).icu_name, bytes);
  }
}

// ---------------------------------------------------------------------------
// Encoders (input: valid UTF-8)

void append_ncr(std::string& out, uint32_t cp) {
  out += "&#";
  out += std::to_string(cp);
  out.push_back(';');
}

std::string encode_iso8859_1(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  const unsigned char* p = ubytes(utf8);
  for (size_t i = 0; i < utf8.size();) {
    const uint32_t cp = next_code_point(p, i);
    out.push_back(cp < 256 ? static_cast<char>(cp) : '?');
  }
  return out;
}

void append_unit(std::string& out, uint32_t unit, bool big_endian) {
  const char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
  if (big_endian) {
    out.push_back(hi);
    out.push_back(lo);
  } else {
    out.push_back(lo);
    out.push_back(hi);
  }
}

std::string encode_utf16(std::string_view utf8, bool big_endian, bool bom) {
  std::string out;
  out.reserve(utf8.size() * 2 + 2);
  if (bom) append_unit(out, 0xFEFF, big_endian);
  const unsigned char* p = ubytes(utf8);
  for (size_t i = 0; i < utf8.size();) {
    const uint32_t cp = next_code_point(p, i);
    if (cp < 0x10000) {
      append_unit(out, cp, big_endian);
    } else {
      append_unit(out, 0xD800 + ((cp - 0x10000) >> 10), big_endian);
      append_unit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF), big_endian);
    }
  }
  return out;
}

std::string encode_x_user_defined(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  const unsigned char* p = ubytes(utf8);
  for (size_t i = 0; i < utf8.size();) {
    const uint32_t cp = next_code_point(p, i);
    if (cp < 0x80) out.push_back(static_cast<char>(cp));
    else if (cp >= 0xF780 && cp <= 0xF7FF) out.push_back(static_cast<char>(cp - 0xF700));
    else append_ncr(out, cp);
  }
  return out;
}

std::string encode_iso8859_16(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  const unsigned char* p = ubytes(utf8);
  for (size_t i = 0; i < utf8.size();) {
    const uint32_t cp = next_code_point(p, i);
    if (cp < 0xA0) {
      out.push_back(static_cast<char>(cp));
      continue;
    }
    const char16_t* hit = std::find(std::begin(kIso8859_16High), std::end(kIso8859_16High), cp);
    if (hit != std::end(kIso8859_16High))
      out.push_back(static_cast<char>(0xA0 + (hit - kIso8859_16High)));
    else
      append_ncr(out, cp);
  }
  return out;
}

// Encodes through ICU; characters without a round-trip mapping are written
// as "&#NNN;" by ICU's escape callback (decimal XML form, whole code points).
std::string encode_icu(const char* icu_name, std::string_view utf8) {
  std::string out;
  ConverterPtr cnv = open_converter(icu_name);
  if (!cnv) {
    // No converter in ICU's data: ASCII as itself, the rest as references.
    const unsigned char* p = ubytes(utf8);
    for (size_t i = 0; i < utf8.size();) {
      const uint32_t cp = next_code_point(p, i);
      if (cp < 0x80) out.push_back(static_cast<char>(cp));
      else append_ncr(out, cp);
    }
    return out;
  }
  UErrorCode e = U_ZERO_ERROR;
  ucnv_setFallback(cnv.get(), false);  // no best-fit look-alikes
  ucnv_setFromUCallBack(cnv.get(), UCNV_FROM_U_CALLBACK_ESCAPE, UCNV_ESCAPE_XML_DEC, nullptr,
                        nullptr, &e);
  out.reserve(utf8.size());
  // Feed the converter UTF-16 in slices; a surrogate pair split across two
  // slices is joined by the converter itself.
  std::u16string units;
  units.reserve(1024);
  char buf[4096];
  const unsigned char* p = ubytes(utf8);
  size_t i = 0;
  do {
    units.clear();
    while (i < utf8.size() && units.size() < 1022) {
      const uint32_t cp = next_code_point(p, i);
      if (cp < 0x10000) {
        units.push_back(static_cast<char16_t>(cp));
      } else {
        units.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
        units.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
      }
    }
    const bool last = i >= utf8.size();
    const UChar* src = units.data();
    const UChar* const end = src + units.size();
    do {
      char* t = buf;
      e = U_ZERO_ERROR;
      ucnv_fromUnicode(cnv.get(), &t, buf + sizeof buf, &src, end, nullptr, last, &e);
      out.append(buf, static_cast<size_t>(t - buf));
    } while (e == U_BUFFER_OVERFLOW_ERROR);
  } while (i < utf8.size());
  return out;
}

std::string encode_with(Enc enc, std::string_view utf8) {
  switch (enc) {
    case Enc::Utf8:
    case Enc::Replacement:  // has no encoder of its own: UTF-8, as browsers do
      return std::string(utf8);
    case Enc::Utf16Be: return encode_utf16(utf8, true, false);
    case Enc::Utf16Le: return encode_utf16(utf8, false, false);
    case Enc::XUserDefined: return encode_x_user_defined(utf8);
    case Enc::Iso8859_16: return encode_iso8859_16(utf8);
    case Enc::Gbk: return encode_icu(kGbkEncoder, utf8);
    default: return encode_icu(encoding_of(enc).icu_name, utf8);
  }
}

bool contains(std::string_view s, std::string_view part) { return s.find(part) != std::string_view::npos; }

}  // namespace

// ---------------------------------------------------------------------------
// Public calls

const Encoding* resolve_encoding_label(std::string_view label) {
  while (!label.empty() && is_ascii_space(label.front())) label.remove_prefix(1);
  while (!label.empty() && is_ascii_space(label.back())) label.remove_suffix(1);
  if (label.empty() || label.size() > kMaxLabelLength) return nullptr;
  char lower[kMaxLabelLength];
  for (size_t i = 0; i < label.size(); ++i) lower[i] = ascii_lower(label[i]);
  const std::string_view key(lower, label.size());
  const Label* it = std::lower_bound(std::begin(kLabels), std::end(kLabels), key,
                                     [](const Label& l, std::string_view k) { return l.label < k; });
  if (it == std::end(kLabels) || it->label != key) return nullptr;
  return &encoding_of(it->enc);
}

Result<std::string> decode_source(std::string_view bytes, std::string_view label) {
  const Encoding* resolved = resolve_encoding_label(label);
  if (resolved == nullptr)
    return Error::misc("Unknown encoding: \"" + std::string(label) +
                       "\". Did you mean to use an IANA character set name?");
  Enc enc = enc_of(resolved);
  const unsigned char* p = ubytes(bytes);
  if (bytes.size() >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
    enc = Enc::Utf8;
    bytes.remove_prefix(3);
  } else if (bytes.size() >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    enc = Enc::Utf16Le;
    bytes.remove_prefix(2);
  } else if (bytes.size() >= 2 && p[0] == 0xFE && p[1] == 0xFF) {
    enc = Enc::Utf16Be;
    bytes.remove_prefix(2);
  }
  return decode_with(enc, bytes);
}

Result<std::string> encode_output(std::string_view utf8, std::string_view name) {
  if (name.empty() || iequals_ascii(name, "utf-8")) return std::string(utf8);
  if (!is_valid_utf8(utf8)) return Error::misc("Internal output is not valid UTF-8");
  if (iequals_ascii(name, "iso-8859-1")) return encode_iso8859_1(utf8);
  std::string upper(name);
  for (char& c : upper) c = ascii_upper(c);
  if (contains(upper, "UTF-16")) {
    // Byte order and mark are both read from the upper-cased name, so that
    // "utf-16le" is plain little-endian and only big-endian output has a
    // mark, which is then the bytes FE FF.
    const bool little = contains(upper, "LE");
    const bool bom = !little && !contains(upper, "BE");
    return encode_utf16(utf8, !little, bom);
  }
  const Encoding* resolved = resolve_encoding_label(name);
  if (resolved == nullptr) return Error::misc("Unknown output encoding: \"" + std::string(name) + "\"");
  return encode_with(enc_of(resolved), utf8);
}

bool is_valid_utf8(std::string_view bytes) { return valid_utf8_prefix(bytes) == bytes.size(); }

std::string utf8_replace_invalid(std::string_view bytes) {
  size_t i = valid_utf8_prefix(bytes);
  std::string out(bytes.substr(0, i));
  if (i == bytes.size()) return out;
  out.reserve(bytes.size() + 8);
  const unsigned char* p = ubytes(bytes);
  while (i < bytes.size()) {
    const Utf8Step st = scan_utf8(p + i, bytes.size() - i);
    if (st.valid) out.append(bytes.data() + i, st.len);
    else out += kReplacementUtf8;
    i += st.len;
  }
  return out;
}

std::string utf8_error_description(std::string_view bytes) {
  const size_t i = valid_utf8_prefix(bytes);
  if (i == bytes.size()) return {};
  const Utf8Step st = scan_utf8(ubytes(bytes) + i, bytes.size() - i);
  if (st.truncated) return "incomplete utf-8 byte sequence from index " + std::to_string(i);
  return "invalid utf-8 sequence of " + std::to_string(st.len) + " bytes from index " +
         std::to_string(i);
}

}  // namespace tovarn
