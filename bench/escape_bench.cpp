// escape_bench.cpp — throughput of the escaping functions on texts of a few
// kilobytes, with nothing to escape and with markup scattered through them.
// Appends into a reused buffer, as interpolation into the output buffer does.
#include <benchmark/benchmark.h>

#include <string>

#include "template/utility.h"

namespace {

// About 4 KB of prose; with `markup` every sentence carries tags, quotes and
// an ampersand (roughly one special character in twelve).
std::string sample_text(bool markup) {
  const std::string clean = "The quick brown fox jumps over the lazy dog, again and again. ";
  const std::string marked = "The <b>quick</b> fox & the \"lazy\" dog's <i>tale</i>, again. ";
  std::string text;
  while (text.size() < 4096) text += markup ? marked : clean;
  return text;
}

template <class F>
void run_escape(benchmark::State& state, bool markup, F&& escape) {
  const std::string text = sample_text(markup);
  std::string out;
  out.reserve(text.size() * 2);
  for (auto _ : state) {
    out.clear();
    escape(text, out);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}

void BM_HtmlEscape_Clean(benchmark::State& state) {
  run_escape(state, false, [](const std::string& t, std::string& o) { tovarn::html_escape(t, o); });
}
void BM_HtmlEscape_Markup(benchmark::State& state) {
  run_escape(state, true, [](const std::string& t, std::string& o) { tovarn::html_escape(t, o); });
}
void BM_HtmlEscape_Returning_Markup(benchmark::State& state) {
  const std::string text = sample_text(true);
  for (auto _ : state) benchmark::DoNotOptimize(tovarn::html_escape(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
void BM_JsStringEnc_Clean(benchmark::State& state) {
  run_escape(state, false,
             [](const std::string& t, std::string& o) { tovarn::js_string_enc(t, true, o); });
}
void BM_JsStringEnc_Markup(benchmark::State& state) {
  run_escape(state, true,
             [](const std::string& t, std::string& o) { tovarn::js_string_enc(t, false, o); });
}
void BM_UrlEnc_Markup(benchmark::State& state) {
  run_escape(state, true, [](const std::string& t, std::string& o) {
    benchmark::DoNotOptimize(tovarn::url_enc(t, "UTF-8", false, o).ok());
  });
}

BENCHMARK(BM_HtmlEscape_Clean);
BENCHMARK(BM_HtmlEscape_Markup);
BENCHMARK(BM_HtmlEscape_Returning_Markup);
BENCHMARK(BM_JsStringEnc_Clean);
BENCHMARK(BM_JsStringEnc_Markup);
BENCHMARK(BM_UrlEnc_Markup);

}  // namespace
