// add_concat.cpp — addition and concatenation of values, markup joining and
// interpolated string literals.
#include "core/expression/add_concat.h"

#include "core/arithmetic_engine.h"
#include "core/environment.h"
#include "core/eval.h"
#include "core/settings_values.h"
#include "core/value_output.h"
#include "template/simple_hash.h"
#include "template/utility.h"

namespace tovarn {

namespace {

bool is_markup(const TModel& v) { return v.kind() == ModelKind::Markup; }

OutputFormatKind format_of(Environment& env, const TModel& markup) {
  return markup->output_format().value_or(env.settings().output_format);
}

Result<TModel> join_sequences(const TModel& a, const TModel& b) {
  ASSIGN_OR_RETURN(uint64_t na, a->seq_size());
  ASSIGN_OR_RETURN(uint64_t nb, b->seq_size());
  if (na > kMaxBuiltSequenceItems || nb > kMaxBuiltSequenceItems - na)
    return Error::misc("Can't join the sequences: the result would have more than " +
                       std::to_string(kMaxBuiltSequenceItems) + " items.");
  std::vector<TModel> items;
  items.reserve(na + nb);
  for (uint64_t i = 0; i < na; ++i) {
    ASSIGN_OR_RETURN(TModel v, a->seq_get(i));
    items.push_back(std::move(v));
  }
  for (uint64_t i = 0; i < nb; ++i) {
    ASSIGN_OR_RETURN(TModel v, b->seq_get(i));
    items.push_back(std::move(v));
  }
  return TModel::from_sequence(std::move(items));
}

// Adds the entries of an extended hash (an operand without key listing adds none).
Status add_entries(const TModel& h, OrderedHash& out) {
  if (!h.has(Cap::HashEx)) return ok();
  ASSIGN_OR_RETURN(auto entries, h->hash_entries());
  for (auto& [k, v] : entries) out.put(std::move(k), std::move(v));
  return ok();
}

Result<TModel> join_hashes(const TModel& a, const TModel& b) {
  OrderedHash map;
  TRY(add_entries(a, map));
  TRY(add_entries(b, map));
  return TModel::from_hash(std::move(map));
}

// The text of an operand for joining: a markup value gives its markup.
Result<std::string> operand_text(Environment& env, const TModel& v) { return model_to_string(env, v); }

}  // namespace

Status check_text_size(uint64_t a, uint64_t b) {
  if (a > kMaxBuiltStringBytes || b > kMaxBuiltStringBytes - a)
    return Error::misc("Can't concatenate the strings: the result would be longer than " +
                       std::to_string(kMaxBuiltStringBytes) + " bytes.");
  return ok();
}

std::optional<std::string> concat_plain(const TModel& left, const TModel& right) {
  const std::string* pa = left->plain_text();
  const std::string* pb = right->plain_text();
  if (!pa || !pb) return std::nullopt;
  return *pa + *pb;
}

Result<TModel> join_with_markup(Environment& env, const ConcatOperand& left, const ConcatOperand& right) {
  if (left.markup && right.markup) {
    const TModel& l = *left.markup;
    const TModel& r = *right.markup;
    OutputFormatKind f = format_of(env, l), g = format_of(env, r);
    if (f == g) return TModel::from_markup(std::string(left.text) + std::string(right.text), concat_plain(l, r), f);
    if (const std::string* rp = r->plain_text()) {
      std::string text(left.text);
      escape_markup(f, *rp, text);
      return TModel::from_markup(std::move(text), concat_plain(l, r), f);
    }
    if (const std::string* lp = l->plain_text()) {
      std::string text = escape_markup(g, *lp);
      text += right.text;
      return TModel::from_markup(std::move(text), std::nullopt, g);
    }
    return Error::misc("Concatenation left hand operand is in " + std::string(output_format_name(f)) +
                       " format, while the right hand operand is in " + std::string(output_format_name(g)) +
                       ". Conversion to common format wasn't possible.");
  }
  if (left.markup) {
    const TModel& l = *left.markup;
    OutputFormatKind f = format_of(env, l);
    std::string text(left.text);
    escape_markup(f, right.text, text);
    std::optional<std::string> plain;
    if (const std::string* lp = l->plain_text()) plain = *lp + std::string(right.text);
    return TModel::from_markup(std::move(text), std::move(plain), f);
  }
  const TModel& r = *right.markup;
  OutputFormatKind g = format_of(env, r);
  std::string text = escape_markup(g, left.text);
  text += right.text;
  std::optional<std::string> plain;
  if (const std::string* rp = r->plain_text()) plain = std::string(left.text) + *rp;
  return TModel::from_markup(std::move(text), std::move(plain), g);
}

Result<TModel> concat_values(Environment& env, const TModel& a, const TModel& b) {
  if (a.has(Cap::Number) && b.has(Cap::Number)) {
    ASSIGN_OR_RETURN(TNumber x, a->as_number());
    ASSIGN_OR_RETURN(TNumber y, b->as_number());
    ASSIGN_OR_RETURN(TNumber sum, arithmetic(ArithOp::Add, x, y));
    return TModel::from_number(std::move(sum));
  }
  if (a.has(Cap::Sequence) && b.has(Cap::Sequence)) return join_sequences(a, b);
  if (a.has(Cap::Hash) && b.has(Cap::Hash)) return join_hashes(a, b);
  ASSIGN_OR_RETURN(std::string sa, operand_text(env, a));
  ASSIGN_OR_RETURN(std::string sb, operand_text(env, b));
  TRY(check_text_size(sa.size(), sb.size()));
  if (is_markup(a) || is_markup(b))
    return join_with_markup(env, ConcatOperand{is_markup(a) ? &a : nullptr, sa},
                            ConcatOperand{is_markup(b) ? &b : nullptr, sb});
  sa += sb;
  return TModel::from_scalar(std::move(sa));
}

Result<TModel> eval_interpolated_string(Environment& env, const InterpolatedStringExpr& node) {
  std::string text;              // the plain result while no markup piece was met
  std::optional<TModel> markup;  // the result once one was
  // Adds one piece: plain text, or a markup value with its markup text.
  auto append = [&](const TModel* piece_markup, std::string_view piece) -> Status {
    TRY(check_text_size(text.size(), piece.size()));
    if (!markup && !piece_markup) {
      text += piece;
      return ok();
    }
    ConcatOperand left{nullptr, text};
    TextRef markup_text;
    if (markup) {
      ASSIGN_OR_RETURN(markup_text, (*markup)->as_string());
      left = ConcatOperand{&*markup, markup_text.view()};
    }
    ASSIGN_OR_RETURN(TModel joined, join_with_markup(env, left, ConcatOperand{piece_markup, piece}));
    markup = std::move(joined);
    return ok();
  };
  for (const StrPart& part : node.parts) {
    if (!part.expr) {
      TRY(append(nullptr, part.text));
      continue;
    }
    ASSIGN_OR_RETURN(TModel v, eval(env, *part.expr));
    if (v.is_null()) {
      if (env.settings().classic_compatible) continue;
      return Error::invalid_reference(expr_desc(*part.expr));
    }
    ASSIGN_OR_RETURN(std::string s, model_to_string(env, v));
    TRY(append(is_markup(v) ? &v : nullptr, s));
  }
  if (markup) return std::move(*markup);
  return TModel::from_scalar(std::move(text));
}

}  // namespace tovarn
