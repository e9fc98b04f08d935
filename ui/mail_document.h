// Fills the mail pane's document with a mail body. The text goes in as one black run per
// piece, converted to UTF-16 piece by piece so that a huge mail is never held whole in a
// second form beside the document; the red runs are not formats of the document (a format
// change per hit makes Qt split and shape a line per hit, which freezes the window on a line
// of a hundred thousand hits) but positions in it, which the pane paints red.
#pragma once

#include <QTextCharFormat>
#include <functional>
#include <vector>

#include "engine/search_panes.h"

class QTextDocument;

namespace tarsel {

// Largest piece of the body converted and inserted at once (bytes).
inline constexpr std::size_t kMailPieceBytes = 1 << 16;
// A body longer than this (bytes) keeps the lines of each piece in one block of the document
// (a block per line costs a hundred bytes or more and a tree insertion each, more than the
// text of a mail of a million lines); a shorter one has a block per line, so that what works
// on a paragraph (a triple click) works on a line.
inline constexpr std::size_t kJoinLinesAbove = 1 << 20;

// A run of the document's text: position and length in UTF-16 code units.
struct TextRun {
    int start = 0;
    int length = 0;
};

// Replaces the document's text with the body, every character in format, and returns where
// the red runs stand, in order. stop is asked between pieces; when it answers true the
// filling ends early and the document holds a beginning of the body. The memory of a huge
// body's text is given back to the system as its pieces go into the document. A head (the
// decoded mode's header strip) goes before the body, its red runs too.
std::vector<TextRun> FillMailDocument(QTextDocument* document, MailBody body,
                                      const QTextCharFormat& format,
                                      const std::function<bool()>& stop = {},
                                      const MailBody& head = {});

// Where a piece of at most `limit` bytes of text may end without cutting a character of
// either encoding: after the last byte below 0x40 other than CR (such a byte is never part of
// a double-byte Shift-JIS character nor of a multi-byte UTF-8 sequence, and CR LF is one line
// break), or, when no such byte lies in the second half of the piece, at the last character
// boundary before the limit.
std::size_t PieceEnd(std::string_view text, std::size_t limit, bool utf8);

}  // namespace tarsel
