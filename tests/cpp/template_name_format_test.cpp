// template_name_format_test.cpp — tests of the template-name functions:
// relative names, normalisation, absolute names, resolution inside a
// template, localized candidates and acquisition expansion.
#include "cache/template_name_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tovarn {
namespace {

using Names = std::vector<std::string>;

const char* kLeavesRoot = "\" is not valid. It doesn't stay within the template root directory.";

TEST(TemplateNameFormat, ToRootBasedName) {
  struct Case {
    std::string base, target, want;
  };
  const std::vector<Case> cases = {
      {"dir/t.tvl", "x.tvl", "dir/x.tvl"},
      {"dir/", "x.tvl", "dir/x.tvl"},
      {"t.tvl", "x.tvl", "x.tvl"},
      {"", "x.tvl", "x.tvl"},
      {"a/b/c.tvl", "../x.tvl", "a/b/../x.tvl"},  // nothing resolved here
      {"a/b/c.tvl", "./x.tvl", "a/b/./x.tvl"},
      {"t.tvl", "/x.tvl", "x.tvl"},
      {"dir/t.tvl", "/sub/x.tvl", "sub/x.tvl"},
      {"s://host/d/t.tvl", "/x.tvl", "s://x.tvl"},
      {"s://host/d/t.tvl", "x.tvl", "s://host/d/x.tvl"},
      {"dir/t.tvl", "s://y", "s://y"},
      {"s://a/b", "q://y/z", "q://y/z"},
      {"dir/t.tvl", "/", ""},
      {"dir/t.tvl", "", "dir/"},
      // "://" at the very start is no scheme.
      {"dir/t.tvl", "://x", "dir/://x"},
      {"://host/t.tvl", "/x.tvl", "x.tvl"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TemplateNameFormat::to_root_based_name(c.base, c.target), c.want)
        << "base=" << c.base << " target=" << c.target;
  }
}

TEST(TemplateNameFormat, NormalizeAccepted) {
  struct Case {
    std::string in, want;
  };
  const std::vector<Case> cases = {
      {"a/b/../c", "a/c"},
      {"x/../c", "c"},
      {"/a/./b", "a/b"},
      {"./x", "x"},
      {"//x", "/x"},
      {"/", "/"},
      {".", "."},
      {"", ""},
      {"./", ""},
      {"a/..", "a/.."},  // trailing ".." has no following "/"
      {"..", ".."},
      {"a/b/c/../../d", "a/d"},
      {"a/./../b", "a/b"},  // "." counts as a segment that ".." cancels
      {"./../x", "x"},
      {"a/././b", "a/b"},
      {"a/b/", "a/b/"},
      {"/x", "x"},
      {"s://x/../y", "s://y"},  // the scheme is a segment like any other
      {"a//../b", "a/b"},       // the empty segment is cancelled
  };
  for (const Case& c : cases) {
    auto r = TemplateNameFormat::normalize_root_based_name(c.in);
    ASSERT_TRUE(r.ok()) << c.in << ": " << r.error().to_user_message();
    EXPECT_EQ(r.value(), c.want) << c.in;
  }
}

TEST(TemplateNameFormat, NormalizeRefused) {
  const std::vector<std::string> leaving = {"/../x", "a/../../x", "../x", "../",
                                            "a/b/../../../c"};
  for (const std::string& in : leaving) {
    auto r = TemplateNameFormat::normalize_root_based_name(in);
    ASSERT_FALSE(r.ok()) << in;
    EXPECT_EQ(r.error().kind(), ErrorKind::Misc);
    // The message quotes the name as given, not the partly normalised text.
    EXPECT_EQ(r.error()->text, "Template name \"" + in + kLeavesRoot) << in;
  }

  std::string with_nul("a\0b/../../c", 11);
  auto r = TemplateNameFormat::normalize_root_based_name(with_nul);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().kind(), ErrorKind::Misc);
  EXPECT_EQ(r.error()->text, "Template name \"" + with_nul +
                                 "\" is not valid. Null character (\\u0000) in the name; "
                                 "possible attack attempt");
}

TEST(TemplateNameFormat, RootBasedNameToAbsoluteName) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"x", "/x"}, {"", "/"}, {"/x", "/x"}, {"s://x", "s://x"}, {"a/b", "/a/b"}, {"://x", "/://x"},
  };
  for (const auto& [in, want] : cases)
    EXPECT_EQ(TemplateNameFormat::root_based_name_to_absolute_name(in), want) << in;
}

TEST(TemplateNameFormat, ResolveTemplateName) {
  struct Case {
    std::string base, name, want;
  };
  const std::vector<Case> cases = {
      {"pages/home.tvl", "footer.tvl", "pages/footer.tvl"},
      {"pages/home.tvl", "../lib/x.tvl", "lib/x.tvl"},
      {"pages/home.tvl", "./a//b.tvl", "pages/a/b.tvl"},
      {"pages/home.tvl", "/abs.tvl", "/abs.tvl"},
      {"home.tvl", "../x.tvl", "../x.tvl"},
      {"home.tvl", "x.tvl", "x.tvl"},
      {"/home.tvl", "x.tvl", "x.tvl"},  // the only "/" at index 0
      {"a/b/c.tvl", "../../../../x", "../../x"},
      {"a/b/c.tvl", "../../x/../y", "y"},
      {"a/b/c.tvl", "", "a/b"},
      {"", "", ""},
      {"a/b.tvl", "..", ""},
      {"pages/home.tvl", "s://x/../y", "s://x/../y"},  // schemes pass untouched
      {"pages/home.tvl", "://x", "://x"},              // "://" anywhere counts here
      // The base's scheme survives; only the path after it is resolved.
      {"s://host/d/t.tvl", "x.tvl", "s://host/d/x.tvl"},
      {"s://host/d/t.tvl", "../x.tvl", "s://host/x.tvl"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(resolve_template_name(c.base, c.name), c.want) << "base=" << c.base << " name=" << c.name;

  // A name that climbs above the root survives resolution and is rejected later.
  auto r = TemplateNameFormat::normalize_root_based_name(resolve_template_name("home.tvl", "../x.tvl"));
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error()->text, std::string("Template name \"../x.tvl") + kLeavesRoot);
}

TEST(TemplateNameFormat, LocalizedCandidates) {
  struct Case {
    std::string name, locale;
    Names want;
  };
  const std::vector<Case> cases = {
      {"page.tvl", "en_US", {"page_en_US.tvl", "page_en.tvl", "page.tvl"}},
      {"page.tvl", "", {"page_.tvl", "page.tvl"}},
      {"mail", "de_AT", {"mail_de_AT", "mail_de", "mail"}},
      {"lib.tvl", "de", {"lib_de.tvl", "lib.tvl"}},
      {"a.b.tvl", "fr", {"a.b_fr.tvl", "a.b.tvl"}},
      {"docs.old/page", "en", {"docs_en.old/page", "docs.old/page"}},
      {"x.tvl", "ja_JP_JP", {"x_ja_JP_JP.tvl", "x_ja_JP.tvl", "x_ja.tvl", "x.tvl"}},
      {"x.tvl", "en__US", {"x_en__US.tvl", "x_en_.tvl", "x_en.tvl", "x.tvl"}},
      {".tvl", "en", {"_en.tvl", ".tvl"}},
      {"", "en", {"_en", ""}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(localized_candidates(c.name, c.locale), c.want) << c.name << " / " << c.locale;
}

TEST(TemplateNameFormat, AcquisitionNames) {
  struct Case {
    std::string candidate;
    Names want;
  };
  const std::vector<Case> cases = {
      {"a/b/*/x.tvl", {"a/b/x.tvl", "a/x.tvl", "x.tvl"}},
      {"x.tvl", {"x.tvl"}},
      {"a/b/x.tvl", {"a/b/x.tvl"}},
      {"*/x.tvl", {"x.tvl"}},
      {"a/*/b/*/x.tvl", {"a/b/x.tvl", "a/x.tvl", "x.tvl"}},  // only the last "*" counts
      {"a/*/*/x.tvl", {"a/x.tvl", "x.tvl"}},
      {"a/*/sub/x.tvl", {"a/sub/x.tvl", "sub/x.tvl"}},
      {"a/b*/x.tvl", {"a/b*/x.tvl"}},  // "*" must be the whole segment
      {"a/*", {"a/", ""}},
      {"a//*/x", {"a//x", "a/x", "x"}},  // empty segments kept
  };
  for (const Case& c : cases) EXPECT_EQ(acquisition_names(c.candidate), c.want) << c.candidate;
}

TEST(TemplateNameFormat, LookupCandidateOrder) {
  struct Case {
    std::string name, locale;
    Names want;
  };
  const std::vector<Case> cases = {
      {"a/b/*/x.tvl",
       "en_US",
       {"a/b/x_en_US.tvl", "a/x_en_US.tvl", "x_en_US.tvl", "a/b/x_en.tvl", "a/x_en.tvl", "x_en.tvl",
        "a/b/x.tvl", "a/x.tvl", "x.tvl"}},
      // An empty locale gives no localized candidates at all for includes.
      {"a/*/x.tvl", "", {"a/x.tvl", "x.tvl"}},
      {"lib.tvl", "", {"lib.tvl"}},
      {"lib.tvl", "de", {"lib_de.tvl", "lib.tvl"}},
  };
  for (const Case& c : cases) EXPECT_EQ(lookup_candidate_names(c.name, c.locale), c.want) << c.name;
}

}  // namespace
}  // namespace tovarn
