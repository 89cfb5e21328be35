// Text from files (labels, names, paths) on its way to a terminal or into a
// one-line format: the one rule that neutralises what could steer a terminal
// or reorder what the reader sees.
#pragma once

#include <string>
#include <string_view>

namespace korvana {

enum class LineBreaks { blank, keep };

/// The text with each control character (C0, DEL, C1: escape sequences,
/// carriage returns, line feeds), each line or paragraph separator and each
/// bidirectional formatting character (the embeddings, overrides and
/// isolates, the marks LRM, RLM and ALM) replaced by one blank, and each
/// ill-formed UTF-8 sequence by U+FFFD. With LineBreaks::keep a line feed
/// stays a line feed (multi-line messages). Every character keeps its width
/// of one.
std::string printableText(std::string_view text, LineBreaks lineBreaks = LineBreaks::blank);

/// Whether printableText would change nothing.
bool isPrintableText(std::string_view text, LineBreaks lineBreaks = LineBreaks::blank);

}  // namespace korvana
