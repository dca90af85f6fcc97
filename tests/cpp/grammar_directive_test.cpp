// grammar_directive_test.cpp — the directive grammar: the element tree and
// payloads each directive produces, the parser's context rules (loops,
// macros, break/continue), user-directive calls with their end tags, the
// <#tvl> header, macro collection, and every message with its position.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/assignment.h"
#include "core/attempt_block.h"
#include "core/body_instruction.h"
#include "core/dollar_variable.h"
#include "core/escape_block.h"
#include "core/if_block.h"
#include "core/include.h"
#include "core/iterator_block.h"
#include "core/library_load.h"
#include "core/macro_def.h"
#include "core/output_format_block.h"
#include "core/setting_element.h"
#include "core/stop_return.h"
#include "core/switch_block.h"
#include "core/transform_block.h"
#include "core/unified_call.h"
#include "core/visit_node.h"
#include "parser/grammar.h"
#include "template/configuration.h"
#include "template/template.h"

namespace tovarn {
namespace {

Rc<Configuration> config(bool strict = false, bool strip = false) {
  Rc<Configuration> cfg = Configuration::create();
  cfg->settings.strict_syntax = strict;
  cfg->settings.whitespace_stripping = strip;
  return cfg;
}

std::string dump(const ElementList& list);

std::string opt(const ExprPtr& e) { return e ? expr_desc(*e) : "-"; }

std::string exprs(const ExprList& list) {
  std::string out;
  for (const ExprPtr& e : list) out += (out.empty() ? "" : ", ") + expr_desc(*e);
  return out;
}

// A compact one-line form of an element: Kind@line:col(fields){body}.
std::string dump(const Element& e) {
  std::string head = std::string(element_kind_name(e.kind)) + "@" + std::to_string(e.line) + ":" +
                     std::to_string(e.column);
  switch (e.kind) {
    case ElementKind::Text:
    case ElementKind::TextChunk:
    case ElementKind::Comment: return head + "'" + e.text + "'";
    case ElementKind::DollarVariable: return "${" + expr_desc(*e.as<DollarVariable>().expr) + "}";
    case ElementKind::If: {
      const auto& b = e.as<IfBlock>();
      std::string s = head;
      for (const IfBranch& br : b.branches)
        s += "(" + expr_desc(*br.condition) + "@" + std::to_string(br.line) + ":" + std::to_string(br.column) + "){" +
             dump(br.body) + "}";
      if (b.else_body) s += "else{" + dump(*b.else_body) + "}";
      return s;
    }
    case ElementKind::List: {
      const auto& b = e.as<IteratorBlock>();
      std::string s = head + "(" + expr_desc(*b.list_expr) + (b.is_foreach ? " foreach" : "");
      if (b.has_loop_var()) s += " as " + b.loop_var;
      if (b.loop_var2) s += ", " + *b.loop_var2;
      s += "){" + dump(b.body) + "}";
      if (b.else_body) s += "else{" + dump(*b.else_body) + "}";
      return s;
    }
    case ElementKind::Items: {
      const auto& b = e.as<Items>();
      return head + "(" + b.loop_var + (b.loop_var2 ? ", " + *b.loop_var2 : "") + "){" + dump(b.body) + "}";
    }
    case ElementKind::Sep: return head + "{" + dump(e.as<Sep>().body) + "}";
    case ElementKind::Switch: {
      const auto& b = e.as<SwitchBlock>();
      std::string s = head + "(" + expr_desc(*b.value) + (b.on_mode ? " on" : "") +
                      (b.default_index ? " default#" + std::to_string(*b.default_index) : "") + ")";
      static const char* kinds[] = {"case", "on", "default"};
      for (const CaseDef& c : b.cases)
        s += std::string(kinds[static_cast<int>(c.kind)]) + "(" + exprs(c.values) + "){" + dump(c.body) + "}";
      return s;
    }
    case ElementKind::Attempt: {
      const auto& b = e.as<AttemptBlock>();
      return head + "{" + dump(b.attempt_body) + "}recover{" + dump(b.recover_body) + "}";
    }
    case ElementKind::Assignment: {
      const auto& a = e.as<Assignment>();
      std::string s = head + "(" + std::string(assignment_directive_name(a.scope)) + " " + a.target + " " +
                      std::string(assign_op_text(a.op)) + (a.value ? " " + expr_desc(*a.value) : "");
      if (a.namespace_expr()) s += " in " + expr_desc(*a.namespace_expr());
      return s + ")";
    }
    case ElementKind::AssignmentGroup: return head + "[" + dump(e.as<AssignmentGroup>().assignments) + "]";
    case ElementKind::BlockAssignment:
    case ElementKind::GlobalAssignment:
    case ElementKind::LocalAssignment: {
      const auto& a = e.as<BlockAssignment>();
      return head + "(" + a.target + (a.ns_expr ? " in " + expr_desc(*a.ns_expr) : "") + "){" + dump(a.body) + "}";
    }
    case ElementKind::MacroDef: {
      const MacroDef& d = *e.as<MacroDefElement>().def;
      std::string s = head + "(" + (d.is_function ? "function " : "macro ") + d.name;
      for (const MacroParam& p : d.params())
        s += " " + p.name + (p.catch_all ? "..." : "") + (p.default_value ? "=" + expr_desc(*p.default_value) : "");
      return s + "){" + dump(d.body()) + "}";
    }
    case ElementKind::UnifiedCall: {
      const auto& c = e.as<UnifiedCall>();
      static const char* kinds[] = {"name", "ns", "expr"};
      std::string s = head + "(" + kinds[static_cast<int>(c.target.kind)] + ":" + c.target.description();
      for (const CallArg& a : c.args) s += " " + (a.name ? *a.name + "=" : "") + expr_desc(*a.value);
      if (!c.loop_vars.empty()) {
        s += ";";
        for (const std::string& v : c.loop_vars) s += " " + v;
      }
      s += ")";
      if (c.body) s += "{" + dump(*c.body) + "}";
      return s;
    }
    case ElementKind::BodyInstruction: return head + "(" + exprs(e.as<BodyInstruction>().args) + ")";
    case ElementKind::Return: return head + "(" + opt(e.as<ReturnInstruction>().value) + ")";
    case ElementKind::Stop: return head + "(" + opt(e.as<StopInstruction>().message) + ")";
    case ElementKind::Include: {
      const auto& i = e.as<Include>();
      std::string s = head + "(" + expr_desc(*i.template_name);
      for (const IncludeParam& p : i.params) s += " " + p.name + "=" + expr_desc(*p.value);
      return s + ")";
    }
    case ElementKind::Import: {
      const auto& l = e.as<LibraryLoad>();
      return head + "(" + expr_desc(*l.template_name) + " as " + l.namespace_name + ")";
    }
    case ElementKind::Setting: {
      const auto& st = e.as<Setting>();
      return head + "(" + st.name + "=" + expr_desc(*st.value) + ")";
    }
    case ElementKind::Escape: {
      const auto& b = e.as<EscapeBlock>();
      return head + "(" + b.variable + " as " + expr_desc(*b.expr) + "){" + dump(b.body) + "}";
    }
    case ElementKind::NoEscape:
    case ElementKind::AutoEsc:
    case ElementKind::NoAutoEsc: return head + "{" + dump(e.as<BodyBlock>().body) + "}";
    case ElementKind::Compress: return head + "{" + dump(e.as<CompressedBlock>().body) + "}";
    case ElementKind::Trim: return head + "{" + dump(e.as<TrimInstruction>().body) + "}";
    case ElementKind::OutputFormat: {
      const auto& b = e.as<OutputFormatBlock>();
      return head + "(" + expr_desc(*b.format) + (b.literal_format ? " known" : "") + "){" + dump(b.body) + "}";
    }
    case ElementKind::Transform: {
      const auto& b = e.as<TransformBlock>();
      return head + "(" + expr_desc(*b.transform) + "){" + dump(b.body) + "}";
    }
    case ElementKind::Visit: return head + "(" + opt(e.as<VisitNode>().node) + " using " + opt(e.as<VisitNode>().namespaces) + ")";
    case ElementKind::Recurse:
      return head + "(" + opt(e.as<RecurseNode>().node) + " using " + opt(e.as<RecurseNode>().namespaces) + ")";
    default: return head;
  }
}

std::string dump(const ElementList& list) {
  std::string out;
  for (const Element& e : list) out += (out.empty() ? "" : " ") + dump(e);
  return out;
}

struct Outcome {
  std::string tree;
  std::string error;
  Pos pos;
};

Outcome run(std::string_view src, bool strict = false) {
  Result<Rc<Template>> t = parse(config(strict), "d.tvl", src);
  Outcome o;
  if (t.ok()) {
    o.tree = dump((*t)->root);
  } else {
    EXPECT_EQ(t.error()->kind, ErrorKind::Parse) << src;
    o.error = t.error()->text;
    o.pos = {t.error()->line, t.error()->column};
  }
  return o;
}

struct TreeCase {
  std::string_view src;
  std::string_view tree;
};

void check_trees(const std::vector<TreeCase>& cases) {
  for (const TreeCase& c : cases) {
    Outcome o = run(c.src);
    EXPECT_EQ(o.error, "") << c.src;
    EXPECT_EQ(o.tree, c.tree) << c.src;
  }
}

struct ErrorCase {
  std::string_view src;
  std::string_view message;
  Pos pos;
};

void check_errors(const std::vector<ErrorCase>& cases) {
  for (const ErrorCase& c : cases) {
    Outcome o = run(c.src);
    EXPECT_EQ(o.error, c.message) << c.src;
    EXPECT_EQ(o.pos, c.pos) << c.src << " -> " << o.pos.line << ":" << o.pos.column;
  }
}

TEST(GrammarDirectiveTest, ConditionalsAndSwitches) {
  check_trees({
      {"<#if x>a</#if>", "If@1:1(x@1:1){Text@1:8'a'}"},
      {"<#IF x>a</#If>", "If@1:1(x@1:1){Text@1:8'a'}"},
      {"<#if a>1<#elseIf b>2<#elseif c>3<#else >4</#if>",
       "If@1:1(a@1:1){Text@1:8'1'}(b@1:9){Text@1:20'2'}(c@1:21){Text@1:32'3'}else{Text@1:41'4'}"},
      {"[#if x gt 1]y[/#if]", "If@1:1(x > 1@1:1){Text@1:13'y'}"},
      {"<#if (a > b)>y</#if>", "If@1:1((a > b)@1:1){Text@1:14'y'}"},
      {"<#switch x> <#-- c --> <#case 1>a<#case 2>b<#default>d</#switch>",
       "Switch@1:1(x default#2)case(1){Text@1:33'a'}case(2){Text@1:43'b'}default(){Text@1:54'd'}"},
      {"<#switch x><#default>d<#case 2>b</#switch>", "Switch@1:1(x default#0)default(){Text@1:22'd'}case(2){Text@1:32'b'}"},
      {"<#switch x><#on 1, 2>a<#on 3>b<#default>d</#switch>",
       "Switch@1:1(x on default#2)on(1, 2){Text@1:22'a'}on(3){Text@1:30'b'}default(){Text@1:41'd'}"},
      {"<#switch x>\n</#switch>", "Switch@1:1(x)"},
      {"<#list xs as x><#switch x><#case 1><#break></#switch></#list>",
       "List@1:1(xs as x){Switch@1:16(x)case(1){Break@1:36}}"},
      {"<#attempt>a<#recover>b</#attempt>", "Attempt@1:1{Text@1:11'a'}recover{Text@1:22'b'}"},
      {"<#attempt>a<#recover>b</#recover>", "Attempt@1:1{Text@1:11'a'}recover{Text@1:22'b'}"},
  });
  // Long #elseif chains stay flat: no recursion while parsing or freeing them.
  std::string chain = "<#if c0>x";
  for (int i = 1; i < 5000; ++i) chain += "<#elseif c" + std::to_string(i) + ">x";
  chain += "</#if>";
  Result<Rc<Template>> t = parse(config(), "chain.tvl", chain);
  ASSERT_TRUE(t.ok());
  EXPECT_EQ((*t)->root[0].as<IfBlock>().branches.size(), 5000u);
}

TEST(GrammarDirectiveTest, Listing) {
  check_trees({
      {"<#list xs as x>${x}<#sep>, </#list>", "List@1:1(xs as x){${x} Sep@1:20{Text@1:26', '}}"},
      {"<#list xs as x>${x}<#sep>, </#sep>!</#list>", "List@1:1(xs as x){${x} Sep@1:20{Text@1:26', '} Text@1:35'!'}"},
      {"<#list h as k, v>${k}</#list>", "List@1:1(h as k, v){${k}}"},
      {"<#list xs><#items as x>${x}</#items></#list>", "List@1:1(xs){Items@1:11(x){${x}}}"},
      {"<#list xs as x>a<#else>b</#list>", "List@1:1(xs as x){Text@1:16'a'}else{Text@1:24'b'}"},
      {"<#list xs as x>a<#sep>,<#else>b</#list>", "List@1:1(xs as x){Text@1:16'a' Sep@1:17{Text@1:23','}}else{Text@1:31'b'}"},
      {"<#list 1..3 as i><#continue></#list>", "List@1:1(... as i){Continue@1:18}"},
      {"<#foreach x in xs>${x}<#break/></#foreach>", "List@1:1(xs foreach as x){${x} Break@1:23}"},
  });
}

TEST(GrammarDirectiveTest, AssignmentsAndDefinitions) {
  check_trees({
      {"<#assign x = 1>", "Assignment@1:1(#assign x = 1)"},
      // The look-ahead for another assignment stops at the tag's end.
      {"<#assign x = 1> ${y}<#assign z++>${y}", "Assignment@1:1(#assign x = 1) Text@1:16' ' ${y} Assignment@1:21(#assign z ++) ${y}"},
      {"<#assign a=1 b=2, c++>",
       "AssignmentGroup@1:1[Assignment@1:1(#assign a = 1) Assignment@1:1(#assign b = 2) Assignment@1:1(#assign c ++)]"},
      {"<#assign \"a b\" += 2 in ns/>", "Assignment@1:1(#assign a b += 2 in ns)"},
      {"<#assign a-=1, b*=2 c/=3 d%=4 e-- in ns>",
       "AssignmentGroup@1:1[Assignment@1:1(#assign a -= 1 in ns) Assignment@1:1(#assign b *= 2 in ns) "
       "Assignment@1:1(#assign c /= 3 in ns) Assignment@1:1(#assign d %= 4 in ns) Assignment@1:1(#assign e -- in ns)]"},
      {"<#global g = 1>", "Assignment@1:1(#global g = 1)"},
      {"<#assign x>t</#assign>", "BlockAssignment@1:1(x){Text@1:12't'}"},
      {"<#assign x in ns>t</#assign>", "BlockAssignment@1:1(x in ns){Text@1:18't'}"},
      {"<#global x>t</#global>", "GlobalAssignment@1:1(x){Text@1:12't'}"},
      {"<#macro m a b=1 c...><#local x>t</#local><#local y = a><#nested 1, y><#return></#macro>",
       "MacroDef@1:1(macro m a b=1 c...){LocalAssignment@1:22(x){Text@1:32't'} Assignment@1:42(#local y = a) "
       "BodyInstruction@1:56(1, y) Return@1:70(-)}"},
      {"<#macro m(a, b)><#nested></#macro>", "MacroDef@1:1(macro m a b){BodyInstruction@1:17()}"},
      {"<#function f x><#return x * 2></#function>", "MacroDef@1:1(function f x){Return@1:16(x * 2)}"},
      {"<#macro \"my m\"></#macro>", "MacroDef@1:1(macro my m){}"},
  });
}

TEST(GrammarDirectiveTest, CallsAndOtherDirectives) {
  check_trees({
      {"<@m/>", "UnifiedCall@1:1(name:m)"},
      {"<@m a=1 b=x! c=2/>", "UnifiedCall@1:1(name:m a=1 b=x! c=2)"},
      {"<@ns.m 1, 2; i, j>x</@ns.m>", "UnifiedCall@1:1(ns:ns.m 1 2; i j){Text@1:19'x'}"},
      {"<@a.b.c>x</@a.b.c>", "UnifiedCall@1:1(expr:a.b.c){Text@1:9'x'}"},
      {"<@m?trim>x</@>", "UnifiedCall@1:1(expr:m?trim){Text@1:10'x'}"},
      {"<@m;>x</@m>", "UnifiedCall@1:1(name:m){Text@1:6'x'}"},
      {"<#call m 1, 2>", "UnifiedCall@1:1(name:m 1 2)"},
      {"<#call m(1, 2)>", "UnifiedCall@1:1(name:m 1 2)"},
      {"<#call m a=1 b=2>", "UnifiedCall@1:1(name:m a=1 b=2)"},
      {"<#include \"x.tvl\" parse=false encoding=\"utf-8\" ignore_missing=true>",
       "Include@1:1(\"x.tvl\" parse=false encoding=\"utf-8\" ignore_missing=true)"},
      {"<#import \"/lib.tvl\" as lib/>", "Import@1:1(\"/lib.tvl\" as lib)"},
      {"<#setting locale=\"de\"><#setting numberFormat=\"0\">",
       "Setting@1:1(locale=\"de\") Setting@1:23(number_format=\"0\")"},
      {"<#stop><#stop \"why\"/>", "Stop@1:1(-) Stop@1:8(\"why\")"},
      {"<#flush><#if x><#t><#lt/><#rt><#nt></#if><#fallback>",
       "Flush@1:1 If@1:9(x@1:9){T@1:16 Lt@1:20 Rt@1:26 Nt@1:31} Fallback@1:42"},
      // Markers are dropped from the top-level list.
      {"a<#t>b<#nt/>", "Text@1:1'a' Text@1:6'b'"},
      {"<#escape x as x?html>${y}<#noescape>${z}</#noescape></#escape>",
       "Escape@1:1(x as x?html){${y} NoEscape@1:26{${z}}}"},
      {"<#autoesc>a</#autoesc><#noAutoEsc>b</#noautoesc>", "AutoEsc@1:1{Text@1:11'a'} NoAutoEsc@1:23{Text@1:35'b'}"},
      {"<#compress> a </#compress><#trim> b </#trim>", "Compress@1:1{Text@1:12' a '} Trim@1:27{Text@1:34' b '}"},
      {"<#outputFormat \"HTML\">a</#outputformat><#outputformat f>b</#outputformat>",
       "OutputFormat@1:1(\"HTML\" known){Text@1:23'a'} OutputFormat@1:40(f){Text@1:57'b'}"},
      {"<#transform t>a</#transform>", "Transform@1:1(t){Text@1:15'a'}"},
      {"<#visit n using ns><#recurse><#recurse using ns/>",
       "Visit@1:1(n using ns) Recurse@1:20(- using -) Recurse@1:30(- using ns)"},
      {"<#comment>a<#if>${x}</#COMMENT >b", "Comment@1:1'a<#if>${x}' Text@1:33'b'"},
      {"<#noparse>${x}<#if></noparse>", "TextChunk@1:1'${x}<#if>'"},
  });
}

TEST(GrammarDirectiveTest, ContextRuleMessages) {
  const std::string kBreak =
      "<#break> must be nested inside a directive that supports it:  #list with \"as\", #items, #switch (or the "
      "deprecated #foreach)";
  const std::string kContinue =
      "<#continue> must be nested inside a directive that supports it:  #list with \"as\", #items (or the deprecated "
      "#foreach)";
  check_errors({
      {"<#break>", kBreak, {1, 1}},
      {"<#switch x><#case 1><#continue></#switch>", kContinue, {1, 21}},
      {"<#list xs><#items as x></#items><#break></#list>", kBreak, {1, 33}},
      {"<#list xs>${x}</#list>",
       "#list must have either \"as loopVar\" parameter or nested #items that belongs to it.",
       {1, 1}},
      {"<#list xs as k, k></#list>", "The key and value loop variable names must differ, but both were: k", {1, 1}},
      {"<#list xs as 1></#list>", "Expected a loop variable name after \"as\".", {1, 1}},
      {"<#list xs as k, 2></#list>", "Expected a second loop variable name after \",\".", {1, 1}},
      {"<#items as x></#items>", "#items must be inside a #list block.", {1, 1}},
      {"<#list xs as y><#items as x></#items></#list>",
       "The parent #list of the #items must not have \"as loopVar\" parameter.",
       {1, 16}},
      {"<#foreach y in xs><#items as x></#items></#foreach>", "#foreach doesn't support nested #items.", {1, 19}},
      {"<#list xs><#items as x><#items as y></#items></#items></#list>",
       "Can't nest #items into each other when they belong to the same #list.",
       {1, 24}},
      {"<#list xs><#items x></#items></#list>", "Expected \"as\" after #items, but found identifier \"x\".", {1, 19}},
      {"<#sep>", "#sep must be inside a #list (or #foreach) block.", {1, 1}},
      {"<#foreach 1 in xs></#foreach>", "Expected a loop variable name after <#foreach>.", {1, 1}},
      {"<#foreach x of xs></#foreach>", "Expected \"in\" after the loop variable name, but found identifier \"of\".", {1, 13}},
      {"<#local x = 1>", "Local variable assigned outside a macro.", {1, 1}},
      {"<#macro m><#macro n></#macro></#macro>", "Macro or function definitions can't be nested into each other.", {1, 11}},
      {"<#macro m a=1 b></#macro>",
       "In a macro declaration, parameters without a default value must all occur before the parameters with default "
       "values.",
       {1, 1}},
      {"<#macro m a...=1></#macro>", "\"Catch-all\" macro parameter may not have a default value.", {1, 1}},
      {"<#macro m a... b></#macro>",
       "There may only be one \"catch-all\" parameter in a macro declaration, and it must be the last parameter.",
       {1, 1}},
      {"<#macro m(a, b;></#macro>", "Expected \")\" to close the parameter list, but found \";\".", {1, 15}},
      {"<#macro m></#function>", "Expected macro end tag here.", {1, 1}},
      {"<#function f></#macro>", "Expected function end tag here.", {1, 1}},
      {"<#nested>", "Cannot use a \"nested\" instruction outside a macro.", {1, 1}},
      {"<#macro m><#return 1></#macro>", "A macro cannot return a value", {1, 11}},
      {"<#function f><#return></#function>", "A function must return a value", {1, 14}},
      {"<#return>", "A return instruction can only occur inside a macro or function", {1, 1}},
  });
}

TEST(GrammarDirectiveTest, SyntaxMessages) {
  check_errors({
      {"<#if x>a<#else>b<#elseif y>c</#if>", "Unexpected directive in the #else block.", {1, 1}},
      {"<#if x>a</@m>", "Unexpected </@...> in the #if block.", {1, 1}},
      {"<#list xs as x>a<#else>b<#else>c</#list>", "Unexpected directive in the #else block.", {1, 1}},
      {"<#list xs as x></@m></#list>", "Unexpected </@...> in the #list block.", {1, 1}},
      {"<#switch x>a</#switch>",
       "Unexpected content in #switch; only whitespace and comments are allowed between the #case/#default blocks.",
       {1, 1}},
      {"<#switch x>${y}</#switch>",
       "Unexpected interpolation in #switch; only whitespace and comments are allowed between the #case/#default "
       "blocks.",
       {1, 1}},
      {"<#switch x><@m/></#switch>", "Unexpected user directive call in #switch; expected #case, #default or </#switch>.", {1, 1}},
      {"<#switch x></@m></#switch>", "Unexpected </@...> in #switch.", {1, 1}},
      {"<#switch x></#if>", "Unexpected closing tag \"</#if>\" in #switch.", {1, 1}},
      {"<#switch x><#if y></#if></#switch>",
       "Unexpected directive <#if> in #switch; expected #case, #default or </#switch>.",
       {1, 1}},
      {"<#switch x> ", "Unclosed <#switch> block.", {1, 1}},
      {"<#switch x><#default>a<#default>b</#switch>", "You already had a #default in the #switch block.", {1, 1}},
      {"<#switch x><#case 1>a<#on 2>b</#switch>",
       "You can't use both #on, and #case in a #switch block, and you already had a #case.",
       {1, 1}},
      {"<#switch x><#on 1>a<#case 2>b</#switch>",
       "You can't use both #on, and #case in a #switch block, and you already had an #on.",
       {1, 1}},
      {"<#switch x><#default>a<#on 2>b</#switch>",
       "You can't use #on after #default in a #switch block; #default must come last.",
       {1, 1}},
      {"x<#attempt>a", "#attempt must contain a #recover block.", {1, 2}},
      {"<#assign x>t</#local>", "Mismatched assignment tags.", {1, 1}},
      {"<#global x=1 in ns>", "Cannot assign to namespace here.", {1, 1}},
      {"<#global x in ns>t</#global>", "Cannot assign to namespace here.", {1, 1}},
      {"<#assign x/>", "The tag can't be self-closing (\" />\"): block assignments need a body.", {1, 11}},
      {"<#assign x y>", "Expected an assignment operator (\"=\", \"+=\", ...) after the variable name, but found identifier \"y\".", {1, 12}},
      {"<#assign x=1, 2>", "Expected a variable name after \",\" in the assignment, but found number \"2\".", {1, 15}},
      {"<#assign x=1, y>", "Expected an assignment operator (\"=\", \"+=\", ...), but found \">\".", {1, 16}},
      {"<#include \"x\" parsing=true>",
       "Unsupported named #include parameter: \"parsing\". Supported parameters are: \"parse\", \"encoding\", "
       "\"ignore_missing\".",
       {1, 1}},
      {"<#import \"x\" as 1>", "Expected a namespace name after \"as\", but found number \"1\".", {1, 17}},
      {"<#import \"x\" ns>", "Expected \"as\" after the template path, but found identifier \"ns\".", {1, 14}},
      {"<#setting 1=2>", "Expected a setting name after <#setting>.", {1, 1}},
      {"<#setting strictSyntax=true>",
       "The setting name is recognized, but changing this setting from inside a template isn't supported.",
       {1, 1}},
      {"<#setting locale:\"x\">", "Expected \"=\", but found \":\".", {1, 17}},
      {"<#escape 1 as x></#escape>", "Expected a variable name after <#escape>.", {1, 1}},
      {"<#escape x y></#escape>", "Expected \"as\", but found identifier \"y\".", {1, 12}},
      {"<#outputformat \"Html\">x</#outputformat>",
       "Unregistered output format name, \"Html\". The output formats registered in the Configuration are: \"CSS\", "
       "\"HTML\", \"JSON\", \"JavaScript\", \"RTF\", \"XHTML\", \"XML\", \"plainText\", \"undefined\"",
       {1, 1}},
      {"<#comment>abc", "Unclosed \"<#comment>\" (missing \"</#comment>\" or \"</comment>\").", {1, 1}},
      {"a\n <#noparse>abc</#noparsex>", "Unclosed \"<#noparse>\" (missing \"</#noparse>\" or \"</noparse>\").", {2, 2}},
      {"x <#tvl>", "The #tvl header is only allowed at the very beginning of the template.", {1, 3}},
      {"<#else>", "Unexpected directive <#else> here (it must be inside the matching block).", {1, 1}},
      {"<#recover>", "Unexpected directive <#recover> here (it must be inside the matching block).", {1, 1}},
      {"<#on x>a", "Unclosed <#on> block.", {1, 1}},
      {"<#if y>a<#else x></#if>", "Expected \">\" or \"/>\" to close the tag.", {1, 16}},
      {"<#if/>", "#if is an existing directive, but the tag is malformed.  (See Tovarn Manual / Directive Reference.)", {1, 2}},
      {"<#if x/>a</#if>", "The tag can't be self-closing (\" />\"): this directive needs a body.", {1, 7}},
  });
}

TEST(GrammarDirectiveTest, UserDirectiveCallEndTags) {
  check_errors({
      {"<@m>x</@n>", "Expecting </@> or </@m>, but found </@n>.", {1, 4}},
      {"<@ns.m>x</@m>", "Expecting </@> or </@ns.m>, but found </@m>.", {1, 7}},
      {"<@m?trim >x</@m>", "Expecting </@>.", {1, 10}},
      {"<@m>x", "Unclosed user directive call (missing </@...>).", {1, 1}},
      {"<@m a=1 b>", "Expected \">\" or \"/>\" to close the tag, but found identifier \"b\".", {1, 9}},
      {"<@m 1 2>", "Expected \">\" or \"/>\" to close the tag, but found number \"2\".", {1, 7}},
      {"<@m; 1>", "Expected \">\" or \"/>\" to close the tag, but found number \"1\".", {1, 6}},
  });
}

TEST(GrammarDirectiveTest, Header) {
  // Parameters accepted; the line break after the header is consumed.
  Result<Rc<Template>> t = parse(config(), "h.tvl",
                                 "  <#tvl encoding=\"ISO-8859-2\" ns_prefixes={\"D\": \"urn:d\", e: \"urn:e\", \"D\": \"urn:x\"} "
                                 "attributes={\"a\": 1} output_format=\"HTML\" auto_esc=false>\nx");
  ASSERT_TRUE(t.ok()) << t.error()->text;
  EXPECT_EQ((*t)->declared_encoding, std::optional<std::string>("ISO-8859-2"));
  EXPECT_EQ((*t)->ns_prefixes, (std::map<std::string, std::string>{{"D", "urn:x"}, {"e", "urn:e"}}));
  EXPECT_EQ(dump((*t)->root), "Text@2:1'x'");

  // strict_syntax=false enables legacy tags although the configuration is strict.
  Result<Rc<Template>> legacy = parse(config(true), "h.tvl", "[#tvl strictSyntax=\"no\"]<if x>y</if>");
  ASSERT_TRUE(legacy.ok());
  EXPECT_EQ(dump((*legacy)->root), "Text@1:25'<if x>y</if>'");  // square syntax: angle tags are text
  Result<Rc<Template>> legacy2 = parse(config(true), "h.tvl", "<#tvl strict_syntax=false>\r\n<if x>y</if>");
  ASSERT_TRUE(legacy2.ok());
  EXPECT_EQ(dump((*legacy2)->root), "If@2:1(x@2:1){Text@2:7'y'}");

  check_errors({
      {"<#tvl encoding=enc>", "Expected a string constant for \"encoding\".", {1, 16}},
      {"<#tvl foo=1>", "Unknown TVL header parameter: foo.", {1, 7}},
      {"<#tvl Foo=1>", "Unknown TVL header parameter: foo.", {1, 7}},
      {"<#tvl strip_whitespace=maybe>", "Expecting boolean (true/false) parameter", {1, 24}},
      {"<#tvl strip_text=\"perhaps\">", "Expecting boolean (true/false) parameter", {1, 18}},
      {"<#tvl ns_prefixes=[1]>", "Expected a hash literal for \"ns_prefixes\".", {1, 19}},
      {"<#tvl ns_prefixes={\"D\": 1}>", "Expected a string constant for the namespace URI in \"ns_prefixes\".", {1, 25}},
      {"<#tvl 1>", "Expected an TVL header parameter or the closing \">\", but found number \"1\".", {1, 7}},
      {"<#tvl encoding \"x\">", "Expected \"=\" after the TVL header parameter, but found string literal.", {1, 16}},
  });
}

TEST(GrammarDirectiveTest, HeaderStrippingFlag) {
  struct Case {
    std::string_view src;
    std::string_view tree;
  };
  const std::vector<Case> cases = {
      {"<#tvl strip_whitespace=false>\n<#if x>\n  a\n</#if>\n", "If@2:1(x@2:1){Text@2:8'\n  a\n'} Text@4:7'\n'"},
      {"<#tvl stripWhitespace=\"no\">\n<#if x>\n  a\n</#if>\n", "If@2:1(x@2:1){Text@2:8'\n  a\n'} Text@4:7'\n'"},
      {"<#tvl strip_whitespace=\"Y\">\n<#if x>\n  a\n</#if>\n", "If@2:1(x@2:1){Text@2:8'  a\n'} Text@4:7''"},
  };
  for (const Case& c : cases) {
    Result<Rc<Template>> t = parse(config(false, false), "h.tvl", c.src);
    ASSERT_TRUE(t.ok()) << c.src;
    // The header's flag wins over the configuration's (which is off here, except
    // for the third case where the header turns stripping on).
    EXPECT_EQ(dump((*t)->root), c.tree) << c.src;
  }
}

TEST(GrammarDirectiveTest, MacroCollection) {
  Result<Rc<Template>> t = parse(config(), "m.tvl",
                                 "<#if x><#macro a></#macro></#if><#list xs as x><#function b y></#function></#list>"
                                 "<#macro a p>2</#macro>");
  ASSERT_TRUE(t.ok());
  const auto& macros = (*t)->macros;
  ASSERT_EQ(macros.size(), 2u);
  EXPECT_TRUE(macros.at("b")->is_function);
  // The later definition of "a" replaces the earlier one.
  const MacroDef& a = *macros.at("a");
  EXPECT_EQ(a.params().size(), 1u);
  EXPECT_EQ(a.template_name, "m.tvl");
  EXPECT_EQ(a.line, 1u);
  EXPECT_EQ(a.column, 83u);
  EXPECT_EQ(macros.at("a").get(), (*t)->root.back().as<MacroDefElement>().def.get());
}

}  // namespace
}  // namespace tovarn
