// error_ctx.h — the context record of the errors that blame an expression,
// and the instruction-stack frame that traces record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tovarn {

// One entry of the environment's instruction stack, copied into errors.
struct StackFrame {
  std::string description;             // at most 40 characters
  std::string template_name;
  uint32_t line = 0;
  uint32_t column = 0;
  std::optional<std::string> macro;    // the enclosing macro, when there is one
  bool nested = false;                 // a #nested frame

  // "[in template "t" in macro "m" at line 1, column 2]"
  std::string location() const;
};

// Context of InvalidReference and UnexpectedType errors. Every field starts empty.
struct ErrorCtx {
  std::vector<StackFrame> frames;
  std::optional<std::string> template_name;
  std::optional<std::string> prefix;
  std::optional<std::string> blamed_expression;
  std::optional<std::string> assignment_target;
  std::optional<std::string> expected_phrase;
  std::optional<std::string> tip;
  uint32_t line = 0;
  uint32_t column = 0;
};

// The "TVL stack trace" section for frames ordered from the failing instruction
// outwards; empty when there are no frames.
std::string render_tvl_stack_section(const std::vector<StackFrame>& frames);

}  // namespace tovarn
