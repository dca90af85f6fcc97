// utility_test.cpp — tests of the string utilities: markup escapes, the
// JavaScript/JSON and Java string encoders, URL encoding in several charsets,
// the per-format markup escape and the control-character trim.
#include "template/utility.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tovarn {
namespace {

using namespace std::string_literals;

struct MarkupCase {
  std::string text;
  std::string html;
  std::string xml;
};

TEST(MarkupEscape, HtmlAndXml) {
  const std::vector<MarkupCase> cases = {
      {"", "", ""},
      {"plain text, nothing to do", "plain text, nothing to do", "plain text, nothing to do"},
      {"<a href='x'>&", "&lt;a href=&#39;x&#39;&gt;&amp;", "&lt;a href=&apos;x&apos;&gt;&amp;"},
      {"\"q\"", "&quot;q&quot;", "&quot;q&quot;"},
      {"&amp;", "&amp;amp;", "&amp;amp;"},  // already-escaped text is escaped again
      {"<", "&lt;", "&lt;"},
      {"x>", "x&gt;", "x&gt;"},
      {"]]>", "]]&gt;", "]]&gt;"},
      {"<!-- c -->", "&lt;!-- c --&gt;", "&lt;!-- c --&gt;"},
      {"<<>>", "&lt;&lt;&gt;&gt;", "&lt;&lt;&gt;&gt;"},
      // Non-ASCII characters (2-, 3- and 4-byte) and controls are copied.
      {"é<€>😀", "é&lt;€&gt;😀", "é&lt;€&gt;😀"},
      {"a\0b\n\t"s, "a\0b\n\t"s, "a\0b\n\t"s},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(html_escape(c.text), c.html) << c.text;
    EXPECT_EQ(xml_escape(c.text), c.xml) << c.text;
  }
}

// Escapes are found in 16-byte blocks; place them at every offset around the
// block edges, alone and in pairs, and compare with a character-by-character
// reference.
TEST(MarkupEscape, MatchesReferenceAtEveryOffset) {
  auto reference = [](std::string_view text) {
    std::string r;
    for (char c : text) {
      switch (c) {
        case '<': r += "&lt;"; break;
        case '>': r += "&gt;"; break;
        case '&': r += "&amp;"; break;
        case '"': r += "&quot;"; break;
        case '\'': r += "&#39;"; break;
        default: r += c;
      }
    }
    return r;
  };
  for (size_t n = 1; n <= 49; ++n) {
    for (size_t pos = 0; pos < n; ++pos) {
      for (char special : std::string_view("<>&\"'")) {
        std::string text(n, 'x');
        text[pos] = special;
        text[(pos * 7 + 3) % n] = '&';
        std::string out = "pre";
        html_escape(text, out);
        ASSERT_EQ(out, "pre" + reference(text)) << "n=" << n << " pos=" << pos;
      }
    }
  }
}

TEST(MarkupEscape, RtfAndEscapeMarkupByFormat) {
  EXPECT_EQ(rtf_escape(""), "");
  EXPECT_EQ(rtf_escape("{\\b x}"), "\\{\\\\b x\\}");
  EXPECT_EQ(rtf_escape("<'é'>"), "<'é'>");

  struct Case {
    OutputFormatKind kind;
    std::string expected;
  };
  const std::string text = "<'{\\}'>&";
  const std::vector<Case> cases = {
      {OutputFormatKind::PlainText, text},
      {OutputFormatKind::HTML, "&lt;&#39;{\\}&#39;&gt;&amp;"},
      {OutputFormatKind::XHTML, "&lt;&#39;{\\}&#39;&gt;&amp;"},
      {OutputFormatKind::XML, "&lt;&apos;{\\}&apos;&gt;&amp;"},
      {OutputFormatKind::JavaScript, text},
      {OutputFormatKind::JSON, text},
      {OutputFormatKind::CSS, text},
      {OutputFormatKind::RTF, "<'\\{\\\\\\}'>&"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(escape_markup(c.kind, text), c.expected) << static_cast<int>(c.kind);
  }
}

struct JsCase {
  std::string text;
  std::string js;    // JavaScript mode
  std::string json;  // JSON mode
};

TEST(JsStringEnc, QuotesBackslashAndControls) {
  const std::vector<JsCase> cases = {
      {"", "", ""},
      {"plain é € 😀", "plain é € 😀", "plain é € 😀"},
      {"it's", "it\\'s", "it's"},
      {"say \"hi\"", "say \\\"hi\\\"", "say \\\"hi\\\""},
      {"a\\b", "a\\\\b", "a\\\\b"},
      {"'\"\n", "\\'\\\"\\n", "'\\\"\\n"},
      {"\b\t\n\f\r", "\\b\\t\\n\\f\\r", "\\b\\t\\n\\f\\r"},
      {"\0"s, "\\x00", "\\u0000"},
      {"a\x01z", "a\\x01z", "a\\u0001z"},
      {"\x0B\x1B\x1F", "\\x0B\\x1B\\x1F", "\\u000B\\u001B\\u001F"},
      {"\x7F", "\\x7F", "\\u007F"},
      // C1 controls U+0080-U+009F; U+00A0 and above are copied.
      {"\u0080", "\\x80", "\\u0080"},
      {"x\u009Fy", "x\\x9Fy", "x\\u009Fy"},
      {"\u00A0\u00FF\u0100", "\u00A0\u00FF\u0100", "\u00A0\u00FF\u0100"},
      // Line and paragraph separators, and their neighbours that stay.
      {"a\u2028b\u2029c", "a\\u2028b\\u2029c", "a\\u2028b\\u2029c"},
      {"\u2027\u202A", "\u2027\u202A", "\u2027\u202A"},
      // Truncated UTF-8 sequences of the watched lead bytes are copied.
      {"\xC2", "\xC2", "\xC2"},
      {"\xE2\x80", "\xE2\x80", "\xE2\x80"},
      {"\xC2" "A", "\xC2" "A", "\xC2" "A"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(js_string_enc(c.text, false), c.js) << c.text;
    EXPECT_EQ(js_string_enc(c.text, true), c.json) << c.text;
  }
}

TEST(JsStringEnc, MarkupSensitiveSequences) {
  const std::vector<JsCase> cases = {
      // '/' at the start or after '<'.
      {"</script>", "<\\/script>", "<\\/script>"},
      {"/a", "\\/a", "\\/a"},
      {"a/b", "a/b", "a/b"},
      {"<</", "<<\\/", "<<\\/"},
      {"é/", "é/", "é/"},
      // '<' before '!' or '?'.
      {"<!--", "\\x3C!--", "\\u003C!--"},
      {"<?xml", "\\x3C?xml", "\\u003C?xml"},
      {"<![CDATA[", "\\x3C![CDATA[", "\\u003C![CDATA["},
      {"a<b", "a<b", "a<b"},
      {"<", "<", "<"},
      {"x<", "x<", "x<"},
      // '>' at the start, or closing "]]>" / "-->".
      {">", "\\>", "\\u003E"},
      {"a>", "a>", "a>"},
      {"-->", "--\\>", "--\\u003E"},
      {"]]>", "]]\\>", "]]\\u003E"},
      {"x]]>", "x]]\\>", "x]]\\u003E"},
      {"]>", "]\\>", "]\\u003E"},  // the bracket is the first character
      {"->", "-\\>", "-\\u003E"},
      {"a]>", "a]>", "a]>"},
      {"a->", "a->", "a->"},
      {"-]>", "-]>", "-]>"},
      {"]->", "]->", "]->"},
      {"é]>", "é]>", "é]>"},       // a multi-byte character before the bracket
      {"é]]>", "é]]\\>", "é]]\\u003E"},
      {"😀>", "😀>", "😀>"},
      {"<!-- x -->", "\\x3C!-- x --\\>", "\\u003C!-- x --\\u003E"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(js_string_enc(c.text, false), c.js) << c.text;
    EXPECT_EQ(js_string_enc(c.text, true), c.json) << c.text;
  }
}

TEST(JavaStringEnc, Rules) {
  struct Case {
    std::string text;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"plain", "plain"},
      {"\x01", "\\u0001"},
      {"\x1F", "\\u001f"},
      {"\x0B\x1A", "\\u000b\\u001a"},
      {"\0"s, "\\u0000"},
      {"\b\t\n\f\r", "\\b\\t\\n\\f\\r"},
      {"\"a\\b\"", "\\\"a\\\\b\\\""},
      // Apostrophe, DEL, C1, separators and markup sequences are copied.
      {"it's", "it's"},
      {"\x7F\u0085\u2028", "\x7F\u0085\u2028"},
      {"</script>]]>", "</script>]]>"},
      {"é😀\n", "é😀\\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(java_string_enc(c.text), c.expected) << c.text;
}

struct UrlCase {
  std::string text;
  std::string charset;
  bool path;
  std::string expected;
};

void check_url_cases(const std::vector<UrlCase>& cases) {
  for (const auto& c : cases) {
    Result<std::string> r = url_enc(c.text, c.charset, c.path);
    ASSERT_TRUE(r.ok()) << c.text << " in " << c.charset << ": " << r.error().to_user_message();
    EXPECT_EQ(r.value(), c.expected) << c.text << " in " << c.charset;
  }
}

TEST(UrlEnc, SafeAndReservedCharacters) {
  check_url_cases({
      {"", "", false, ""},
      {"a b/c?d", "", false, "a%20b%2Fc%3Fd"},
      {"a b/c?d", "", true, "a%20b/c%3Fd"},
      {"AZaz09-_.!~*'()", "", false, "AZaz09-_.!~*'()"},
      {":/?#[]@", "", false, "%3A%2F%3F%23%5B%5D%40"},
      {"$&+,;=%", "", false, "%24%26%2B%2C%3B%3D%25"},
      {"\"<>\\^`{|}", "", false, "%22%3C%3E%5C%5E%60%7B%7C%7D"},
      {"\t\n\x7F", "", false, "%09%0A%7F"},
      {"/", "", true, "/"},
      {"/ /", "", true, "/%20/"},
  });
}

TEST(UrlEnc, UnicodeFamilies) {
  check_url_cases({
      {"é", "", false, "%C3%A9"},
      {"é", "UTF-8", false, "%C3%A9"},
      {"é", "utf8", false, "%C3%A9"},
      {"a€b😀", "utf-8", false, "a%E2%82%ACb%F0%9F%98%80"},
      {"\xFF", "UTF-8", false, "%FF"},  // malformed bytes are passed through
      // UTF-16: each run gets its own byte-order mark.
      {" ", "utf-16", false, "%FE%FF%00%20"},
      {"a é b", "UTF16", false, "a%FE%FF%00%20%00%E9%00%20b"},
      {"x y z", "UTF-16", false, "x%FE%FF%00%20y%FE%FF%00%20z"},
      {"😀", "UTF-16", false, "%FE%FF%D8%3D%DE%00"},
      {"\xFF", "UTF-16", false, "%FE%FF%FF%FD"},  // malformed byte: U+FFFD
  });
}

TEST(UrlEnc, Latin1Family) {
  check_url_cases({
      {"é", "ISO-8859-1", false, "%E9"},
      {"é", "iso8859-1", false, "%E9"},
      {"é", "8859_1", false, "%E9"},
      {"é", "Latin1", false, "%E9"},
      {"a b", "ISO-8859-1", false, "a%20b"},
      {"\u00FF\u0080", "ISO-8859-1", false, "%FF%80"},
      // Characters Latin-1 lacks become '?', not some other character.
      {"€", "ISO-8859-1", false, "%3F"},
      {"\u0100😀", "ISO-8859-1", false, "%3F%3F"},
  });
}

TEST(UrlEnc, OtherCharsetsThroughConverters) {
  check_url_cases({
      {"日本", "Shift_JIS", false, "%93%FA%96%7B"},
      {"a 日本/b", "shift_jis", true, "a%20%93%FA%96%7B/b"},
      {"\uFF71", "Shift_JIS", false, "%B1"},  // half-width katakana: one byte
      {"😀", "Shift_JIS", false, "%3F"},      // unmappable
      {"€ é", "windows-1252", false, "%80%20%E9"},
      {"é", "UTF-16BE", false, "%00%E9"},
      // A stateful charset ends every run back in its initial state.
      {"日 x 日", "ISO-2022-JP", false,
       "%1B%24%42%46%7C%1B%28%42%20x%20%1B%24%42%46%7C%1B%28%42"},
  });
}

TEST(UrlEnc, UnknownCharset) {
  Result<std::string> r = url_enc("a b", "no-such-charset", false);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().kind(), ErrorKind::Misc);
  EXPECT_EQ(r.error()->text, "Unsupported charset: \"no-such-charset\"");

  std::string out = "kept";
  EXPECT_FALSE(url_enc("abc def", "no-such-charset", false, out).ok());
  EXPECT_EQ(out, "kept");

  // A name with an embedded NUL must not be cut short into a valid name.
  EXPECT_FALSE(url_enc("a b", "UTF-8\0x"s, false).ok());

  // A text with nothing to escape never consults the charset.
  Result<std::string> safe = url_enc("abc/def", "no-such-charset", true);
  ASSERT_TRUE(safe.ok());
  EXPECT_EQ(safe.value(), "abc/def");
}

TEST(JavaTrim, RemovesControlsAndSpaceAtBothEnds) {
  struct Case {
    std::string text;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {" \t\r\n", ""},
      {"x", "x"},
      {"\t x y \n", "x y"},
      {"\0\x01 a\x1F"s, "a"},
      {"\x7F" "a\x7F", "\x7F" "a\x7F"},  // DEL is above U+0020
      {"\u00A0a\u3000", "\u00A0a\u3000"},  // non-ASCII blanks stay
  };
  for (const auto& c : cases) EXPECT_EQ(java_trim(c.text), c.expected) << c.text;
}

// The appending forms keep what the buffer already holds, on both the copy
// path and the escaping path.
TEST(Appending, KeepsExistingOutput) {
  const std::string prefix = "head:";
  for (std::string_view text : {"plain", "<'\"\\&>{}/ é\n"}) {
    std::string out = prefix;
    html_escape(text, out);
    EXPECT_EQ(out, prefix + html_escape(text));
    out = prefix;
    xml_escape(text, out);
    EXPECT_EQ(out, prefix + xml_escape(text));
    out = prefix;
    rtf_escape(text, out);
    EXPECT_EQ(out, prefix + rtf_escape(text));
    out = prefix;
    escape_markup(OutputFormatKind::XML, text, out);
    EXPECT_EQ(out, prefix + xml_escape(text));
    out = prefix;
    js_string_enc(text, true, out);
    EXPECT_EQ(out, prefix + js_string_enc(text, true));
    out = prefix;
    java_string_enc(text, out);
    EXPECT_EQ(out, prefix + java_string_enc(text));
    out = prefix;
    ASSERT_TRUE(url_enc(text, "UTF-8", false, out).ok());
    EXPECT_EQ(out, prefix + url_enc(text, "UTF-8", false).value());
  }
}

// Long texts with escapes at the very first and last byte and long clean
// stretches between them.
TEST(LongText, EscapesAtBoundaries) {
  const std::string middle(5000, 'x');
  const std::string text = "<" + middle + "&" + middle + ">";
  EXPECT_EQ(html_escape(text), "&lt;" + middle + "&amp;" + middle + "&gt;");
  EXPECT_EQ(js_string_enc("/" + middle + "\n", false), "\\/" + middle + "\\n");
  EXPECT_EQ(url_enc(" " + middle + " ", "", false).value(), "%20" + middle + "%20");

  // A converted run far longer than any conversion buffer, in a stateful
  // charset: one shift in at the start and one shift out at the end.
  std::string run, encoded;
  for (int k = 0; k < 3000; ++k) {
    run += "日";
    encoded += "%46%7C";
  }
  EXPECT_EQ(url_enc(run, "ISO-2022-JP", false).value(),
            "%1B%24%42" + encoded + "%1B%28%42");
}

}  // namespace
}  // namespace tovarn
