// charset_test.cpp — tests of encoding labels, source decoding, output
// encoding and the UTF-8 helpers.
#include "template/charset.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <string>
#include <string_view>
#include <vector>

namespace tovarn {
namespace {

using namespace std::string_literals;

// Every encoding the label table can produce.
const std::vector<std::string_view> kAllNames = {
    "utf-8",        "ibm866",       "iso-8859-2",   "iso-8859-3",     "iso-8859-4",
    "iso-8859-5",   "iso-8859-6",   "iso-8859-7",   "iso-8859-8",     "iso-8859-8-i",
    "iso-8859-10",  "iso-8859-13",  "iso-8859-14",  "iso-8859-15",    "iso-8859-16",
    "koi8-r",       "koi8-u",       "macintosh",    "windows-874",    "windows-1250",
    "windows-1251", "windows-1252", "windows-1253", "windows-1254",   "windows-1255",
    "windows-1256", "windows-1257", "windows-1258", "x-mac-cyrillic", "gbk",
    "gb18030",      "big5",         "euc-jp",       "iso-2022-jp",    "shift_jis",
    "euc-kr",       "replacement",  "utf-16be",     "utf-16le",       "x-user-defined",
};

TEST(Charset, EveryEncodingResolvesByItsNameAndHasAConverter) {
  for (std::string_view name : kAllNames) {
    SCOPED_TRACE(std::string(name));
    const Encoding* e = resolve_encoding_label(name);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->name, name);
    if (e->icu_name != nullptr) {
      UErrorCode err = U_ZERO_ERROR;
      UConverter* cnv = ucnv_open(e->icu_name, &err);
      EXPECT_TRUE(U_SUCCESS(err)) << e->icu_name << ": " << u_errorName(err);
      if (cnv != nullptr) ucnv_close(cnv);
    }
  }
}

TEST(Charset, ResolveLabel) {
  struct Case {
    std::string label;
    std::string_view expected;  // empty: unknown
  };
  const std::vector<Case> cases = {
      {"utf-8", "utf-8"},
      {"UTF8", "utf-8"},
      {"unicode-1-1-utf-8", "utf-8"},
      {" \t\n\f\rUtf-8 \r\n", "utf-8"},
      {"latin1", "windows-1252"},
      {"ISO-8859-1", "windows-1252"},
      {"us-ascii", "windows-1252"},
      {"ascii", "windows-1252"},
      {"ansi_x3.4-1968", "windows-1252"},
      {"x-sjis", "shift_jis"},
      {"MS932", "shift_jis"},
      {"windows-31j", "shift_jis"},
      {"latin5", "windows-1254"},
      {"tis-620", "windows-874"},
      {"iso-8859-11", "windows-874"},
      {"logical", "iso-8859-8-i"},
      {"visual", "iso-8859-8"},
      {"gb2312", "gbk"},
      {"big5-hkscs", "big5"},
      {"ks_c_5601-1987", "euc-kr"},
      {"cseucpkdfmtjapanese", "euc-jp"},
      {"x-mac-ukrainian", "x-mac-cyrillic"},
      {"koi8-ru", "koi8-u"},
      {"iso-2022-kr", "replacement"},
      {"hz-gb-2312", "replacement"},
      {"utf-16", "utf-16le"},
      {"unicode", "utf-16le"},
      {"unicodeFFFE", "utf-16be"},
      {"X-User-Defined", "x-user-defined"},
      // Unknown labels.
      {"", ""},
      {"  ", ""},
      {"utf-32", ""},
      {"utf 8", ""},
      {"latin-1", ""},
      {"utf-8\v", ""},  // vertical tab is not ASCII white space here
      {"cseucpkdfmtjapanesex", ""},
      {"utf-8\0"s, ""},
      {"\xC5\xBFhift_jis", ""},  // U+017F folds to 's' only outside ASCII rules
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const Encoding* e = resolve_encoding_label(c.label);
    if (c.expected.empty()) {
      EXPECT_EQ(e, nullptr);
    } else {
      ASSERT_NE(e, nullptr);
      EXPECT_EQ(e->name, c.expected);
    }
  }
}

TEST(Charset, DecodeSource) {
  struct Case {
    std::string bytes;
    std::string label;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"abc \xC3\xA9", "utf-8", "abc \u00E9"},
      // A byte-order mark overrides the label and is dropped.
      {"\xEF\xBB\xBF\xC3\xA9", "windows-1252", "\u00E9"},
      {"\xFF\xFE" "a\x00\xAC\x20"s, "utf-8", "a\u20AC"},
      {"\xFE\xFF\x00" "a\x20\xAC"s, "latin1", "a\u20AC"},
      {"\xFE\xFF", "utf-8", ""},
      {"\xEF\xBB\xBF" "abc", "replacement", "abc"},
      {"\xEF\xBB\xBF\xEF\xBB\xBF", "utf-8", "\uFEFF"},  // only the first mark goes
      {"\xEF\xBB", "windows-1252", "\u00EF\u00BB"},     // not a mark
      // Malformed UTF-8.
      {"a\xFF" "b", "utf-8", "a\uFFFDb"},
      {"\xE2\x82" "A", "utf8", "\uFFFDA"},
      {"\xC0\xAF", "utf-8", "\uFFFD\uFFFD"},
      // Single-byte encodings.
      {"\x80\x81", "windows-1252", "\u20AC\u0081"},
      {"\xC6\xE7\x88", "cp1251", "\u0416\u0437\u20AC"},
      {"\xD2", "windows-1253", "\uFFFD"},
      {"\xC1", "koi8-r", "\u0430"},
      {"\xA4\xAA\xDE", "iso-8859-16", "\u20AC\u0218\u021A"},
      {"\x80\xFF", "x-user-defined", "\uF780\uF7FF"},
      // Multi-byte encodings.
      {"\x82\xA0\x5C~", " Shift_JIS ", "\u3042\\~"},
      {"\xD6\xD0", "gbk", "\u4E2D"},
      {"\x94\x39\xFC\x36", "gb18030", "\U0001F600"},
      {"\xA4\xA4", "big5", "\u4E2D"},
      {"\xC6\xFC", "euc-jp", "\u65E5"},
      {"\xB0\xA1", "euc-kr", "\uAC00"},
      {"a\x1B$B$\"\x1B(Bb", "iso-2022-jp", "a\u3042b"},
      {"\x82", "shift_jis", "\uFFFD"},  // truncated double-byte character
      // UTF-16 by label.
      {"\x00" "a\xD8\x3D\xDE\x00"s, "utf-16be", "a\U0001F600"},
      {"a\x00" "b"s, "utf-16le", "a\uFFFD"},                 // odd trailing byte
      {"\x00\xD8" "a\x00"s, "utf-16", "\uFFFDa"},             // unpaired lead
      {"\x00\xDC\x00\xD8"s, "utf-16le", "\uFFFD\uFFFD"},       // lone trail, lead at end
      // replacement: any non-empty input is one U+FFFD.
      {"abc", "replacement", "\uFFFD"},
      {"", "iso-2022-kr", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label + " / " + c.bytes);
    Result<std::string> r = decode_source(c.bytes, c.label);
    ASSERT_TRUE(r.ok()) << r.error().to_user_message();
    EXPECT_EQ(r.value(), c.expected);
  }
}

TEST(Charset, DecodeSourceUnknownLabel) {
  for (std::string label : {"utf-32", " bogus ", ""}) {
    Result<std::string> r = decode_source("\xEF\xBB\xBF" "abc", label);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().kind(), ErrorKind::Misc);
    EXPECT_EQ(r.error()->text,
              "Unknown encoding: \"" + label + "\". Did you mean to use an IANA character set name?");
  }
}

TEST(Charset, DecodeLongInputAcrossBuffers) {
  // Longer than the converter's work buffer, with a character on every boundary.
  std::string bytes, expected;
  for (int i = 0; i < 3000; ++i) {
    bytes += "\x82\xA0x";
    expected += "\u3042x";
  }
  Result<std::string> r = decode_source(bytes, "shift_jis");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.value(), expected);
}

TEST(Charset, EncodeOutput) {
  struct Case {
    std::string utf8;
    std::string name;
    std::string expected;
  };
  const std::vector<Case> cases = {
      // Unchanged, not even validated.
      {"a\u20AC", "", "a\u20AC"},
      {"a\u20AC", "UTF-8", "a\u20AC"},
      {"\xFF", "utf-8", "\xFF"},
      // iso-8859-1 by its own rule: "?" for what it lacks, one per character.
      {"a\u00E9\u20AC\U0001F600", "ISO-8859-1", "a\xE9??"},
      // UTF-16: a mark only when no byte order is named.
      {"", "UTF-16", "\xFE\xFF"},
      {"a\u20AC", "utf-16", "\xFE\xFF\x00" "a\x20\xAC"s},
      {"a\u20AC", "UTF-16BE", "\x00" "a\x20\xAC"s},
      {"a\u20AC", "UTF-16LE", "a\x00\xAC\x20"s},
      {"a", "utf-16le", "a\x00"s},
      {"\U0001F600", "x-UTF-16LE", "\x3D\xD8\x00\xDE"s},
      {"\U0001F600", "UTF-16", "\xFE\xFF\xD8\x3D\xDE\x00"s},
      // WHATWG labels; what the encoding lacks becomes a character reference.
      {"a\u20AC", "utf8", "a\u20AC"},
      {"\u20AC", "latin1", "\x80"},
      {"a\u4E2D", "ascii", "a&#20013;"},
      {"\U0001F600", "windows-1252", "&#128512;"},
      {"\u0416\u0437\u20AC\u4E2D", "windows-1251", "\xC6\xE7\x88&#20013;"},
      {"\u0218\u20AC\u4E2D", "iso-8859-16", "\xAA\xA4&#20013;"},
      {"a\uF780\uF7FF\u00E9", "x-user-defined", "a\x80\xFF&#233;"},
      {"\u3042\\", "shift_jis", "\x82\xA0\\"},
      {"\u4E2D\U0001F600", "gbk", "\xD6\xD0&#128512;"},
      {"\u4E2D\U0001F600", "gb18030", "\xD6\xD0\x94\x39\xFC\x36"},
      {"\uAC00", "euc-kr", "\xB0\xA1"},
      {"a\u3042b", "iso-2022-jp", "a\x1B$B$\"\x1B(Bb"},
      {"\u3042\U0001F600", "iso-2022-jp", "\x1B$B$\"\x1B(B&#128512;"},
      {"a\u20AC", "unicodefffe", "\x00" "a\x20\xAC"s},
      {"\u00E9", "iso-2022-kr", "\u00E9"},  // replacement has no encoder: UTF-8
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " / " + c.utf8);
    Result<std::string> r = encode_output(c.utf8, c.name);
    ASSERT_TRUE(r.ok()) << r.error().to_user_message();
    EXPECT_EQ(r.value(), c.expected);
  }
}

TEST(Charset, EncodeOutputErrors) {
  struct Case {
    std::string utf8;
    std::string name;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"a\xFF", "UTF-16", "Internal output is not valid UTF-8"},
      {"a\xC3", "iso-8859-1", "Internal output is not valid UTF-8"},
      {"\xED\xA0\x80", "bogus", "Internal output is not valid UTF-8"},  // checked first
      {"a", "bogus", "Unknown output encoding: \"bogus\""},
      {"a", "utf-32", "Unknown output encoding: \"utf-32\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Result<std::string> r = encode_output(c.utf8, c.name);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().kind(), ErrorKind::Misc);
    EXPECT_EQ(r.error()->text, c.message);
  }
}

TEST(Charset, EncodeLongOutputAcrossBuffers) {
  // Long enough to be fed to the converter in several slices, with surrogate
  // pairs and references landing on the slice boundaries.
  std::string in, expected;
  for (int i = 0; i < 2000; ++i) {
    in += "\u3042\U0001F600";
    expected += "\x82\xA0&#128512;";
  }
  Result<std::string> r = encode_output(in, "shift_jis");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.value(), expected);
}

TEST(Charset, Utf8Helpers) {
  struct Case {
    std::string bytes;
    std::string replaced;     // what utf8_replace_invalid gives
    std::string description;  // empty: valid
  };
  const std::vector<Case> cases = {
      {"", "", ""},
      {"h\u00E9llo \u20AC\U0001F600\U0010FFFF", "h\u00E9llo \u20AC\U0001F600\U0010FFFF", ""},
      {"\x80", "\uFFFD", "invalid utf-8 sequence of 1 bytes from index 0"},
      {"\xFF\xFF", "\uFFFD\uFFFD", "invalid utf-8 sequence of 1 bytes from index 0"},
      {"12345678\xFF", "12345678\uFFFD", "invalid utf-8 sequence of 1 bytes from index 8"},
      {"\xC0\xAF", "\uFFFD\uFFFD", "invalid utf-8 sequence of 1 bytes from index 0"},
      {"\xE0\x80\x80", "\uFFFD\uFFFD\uFFFD", "invalid utf-8 sequence of 1 bytes from index 0"},
      {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD", "invalid utf-8 sequence of 1 bytes from index 0"},
      {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD",
       "invalid utf-8 sequence of 1 bytes from index 0"},
      {"ab\xE2\x82x", "ab\uFFFDx", "invalid utf-8 sequence of 2 bytes from index 2"},
      {"\xF0\x9F\x98!", "\uFFFD!", "invalid utf-8 sequence of 3 bytes from index 0"},
      {"\xC3\xA9\xE2\x82", "\u00E9\uFFFD", "incomplete utf-8 byte sequence from index 2"},
      {"\xF0\x9F\x98", "\uFFFD", "incomplete utf-8 byte sequence from index 0"},
      {"\xE2\x82\xAC\xE2\x82" "a\xC3", "\u20AC\uFFFDa\uFFFD",
       "invalid utf-8 sequence of 2 bytes from index 3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(is_valid_utf8(c.bytes), c.description.empty());
    EXPECT_EQ(utf8_replace_invalid(c.bytes), c.replaced);
    EXPECT_TRUE(is_valid_utf8(utf8_replace_invalid(c.bytes)));
    EXPECT_EQ(utf8_error_description(c.bytes), c.description);
  }
}

}  // namespace
}  // namespace tovarn
