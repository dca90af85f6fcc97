// template_name_format.cpp — pure functions over template names: relative
// names, normalisation of root-based names, absolute names, the names a
// template written inside another template stands for, localized candidates
// and acquisition ("*") expansion.
#include "cache/template_name_format.h"

#include <cstddef>

namespace tovarn {

namespace {

// A name has a scheme when "://" occurs anywhere but at its very start.
size_t scheme_separator(std::string_view name) {
  return name.size() < 4 ? std::string_view::npos : name.find("://", 1);
}

bool contains_scheme(std::string_view name) {
  return scheme_separator(name) != std::string_view::npos;
}

bool starts_with(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// Splits at every '/', keeping empty segments.
std::vector<std::string_view> split_segments(std::string_view s) {
  std::vector<std::string_view> out;
  size_t start = 0;
  for (;;) {
    size_t slash = s.find('/', start);
    if (slash == std::string_view::npos) {
      out.push_back(s.substr(start));
      return out;
    }
    out.push_back(s.substr(start, slash - start));
    start = slash + 1;
  }
}

void append_joined(std::string& out, const std::vector<std::string_view>& segs, size_t begin,
                   size_t end) {
  for (size_t i = begin; i < end; ++i) {
    if (i > begin) out += '/';
    out += segs[i];
  }
}

Error invalid_name(std::string_view name, std::string_view reason) {
  std::string msg = "Template name \"";
  msg += name;
  msg += "\" is not valid. ";
  msg += reason;
  return Error::misc(std::move(msg));
}

}  // namespace

std::string TemplateNameFormat::to_root_based_name(std::string_view base, std::string_view target) {
  if (contains_scheme(target)) return std::string(target);
  if (starts_with(target, "/")) {
    size_t i = scheme_separator(base);
    if (i == std::string_view::npos) return std::string(target.substr(1));
    // Keep "scheme:/" from the base; the target supplies the second "/".
    std::string out(base.substr(0, i + 2));
    out += target;
    return out;
  }
  size_t dir_end = base.rfind('/');
  std::string out(dir_end == std::string_view::npos ? std::string_view() : base.substr(0, dir_end + 1));
  out += target;
  return out;
}

Result<std::string> TemplateNameFormat::normalize_root_based_name(std::string_view name) {
  if (name.find('\0') != std::string_view::npos)
    return invalid_name(name, "Null character (\\u0000) in the name; possible attack attempt");
  const char* kLeavesRoot = "It doesn't stay within the template root directory.";

  std::string s(name);
  // Each "/../" cancels the segment just before it; the segment may be ".".
  for (size_t i; (i = s.find("/../")) != std::string::npos;) {
    if (i == 0) return invalid_name(name, kLeavesRoot);
    size_t prev_slash = s.rfind('/', i - 1);
    size_t seg_start = prev_slash == std::string::npos ? 0 : prev_slash + 1;
    s.erase(seg_start, i + 4 - seg_start);
  }
  if (starts_with(s, "../")) return invalid_name(name, kLeavesRoot);

  for (size_t i; (i = s.find("/./")) != std::string::npos;) s.erase(i, 2);

  if (s.size() > 1) {
    if (starts_with(s, "./")) s.erase(0, 2);
    // Only one leading "/" goes: "//x" keeps one.
    if (s.size() > 1 && s[0] == '/') s.erase(0, 1);
  }
  return s;
}

std::string TemplateNameFormat::root_based_name_to_absolute_name(std::string_view name) {
  if (contains_scheme(name) || starts_with(name, "/")) return std::string(name);
  std::string out = "/";
  out += name;
  return out;
}

std::string resolve_template_name(std::string_view base, std::string_view name) {
  if (starts_with(name, "/") || name.find("://") != std::string_view::npos) return std::string(name);

  std::string joined;
  size_t k = base.rfind('/');
  if (k != std::string_view::npos) {
    joined.append(base.substr(0, k));
    joined += '/';
  }
  joined += name;

  // A base with a scheme keeps its "scheme://" intact; only the path after it
  // is resolved (splitting it would turn "s://h/x" into "s:/h/x").
  std::string out;
  std::string_view path = joined;
  if (size_t i = scheme_separator(joined); i != std::string_view::npos) {
    out.append(joined, 0, i + 3);
    path.remove_prefix(i + 3);
  }

  std::vector<std::string_view> stack;
  for (std::string_view seg : split_segments(path)) {
    if (seg.empty() || seg == ".") continue;
    // A ".." with nothing to cancel stays, so normalisation can reject it later.
    if (seg == ".." && !stack.empty() && stack.back() != "..") {
      stack.pop_back();
      continue;
    }
    stack.push_back(seg);
  }
  append_joined(out, stack, 0, stack.size());
  return out;
}

std::vector<std::string> localized_candidates(std::string_view name, std::string_view locale) {
  size_t dot = name.rfind('.');
  std::string_view stem = dot == std::string_view::npos ? name : name.substr(0, dot);
  std::string_view ext = dot == std::string_view::npos ? std::string_view() : name.substr(dot);

  std::string suffix = "_";
  suffix += locale;
  std::vector<std::string> out;
  for (;;) {
    std::string candidate(stem);
    candidate += suffix;
    candidate += ext;
    out.push_back(std::move(candidate));
    size_t cut = suffix.rfind('_');
    if (cut == std::string::npos) return out;
    suffix.erase(cut);
  }
}

std::vector<std::string> acquisition_names(std::string_view candidate) {
  std::vector<std::string_view> segs;
  size_t star = std::string_view::npos;
  for (std::string_view seg : split_segments(candidate)) {
    if (seg == "*") {
      // Only the last "*" is an acquisition step; earlier ones vanish.
      if (star != std::string_view::npos) segs.erase(segs.begin() + star);
      star = segs.size();
    }
    segs.push_back(seg);
  }
  if (star == std::string_view::npos) return {std::string(candidate)};

  std::string tail;
  append_joined(tail, segs, star + 1, segs.size());
  std::vector<std::string> out;
  out.reserve(star + 1);
  for (size_t p = star + 1; p-- > 0;) {
    std::string name;
    append_joined(name, segs, 0, p);
    if (!name.empty()) name += '/';
    name += tail;
    out.push_back(std::move(name));
  }
  return out;
}

std::vector<std::string> lookup_candidate_names(std::string_view name, std::string_view locale) {
  std::vector<std::string> out;
  auto expand = [&out](std::string_view candidate) {
    for (std::string& n : acquisition_names(candidate)) out.push_back(std::move(n));
  };
  if (locale.empty()) {
    expand(name);
  } else {
    for (const std::string& c : localized_candidates(name, locale)) expand(c);
  }
  return out;
}

}  // namespace tovarn
