// The mail pane's document, filled from a mail body.
#include "ui/mail_document.h"

#include <sys/mman.h>
#include <unistd.h>
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cstdint>

#include "decode/cp932_table.h"

namespace tarsel {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsShiftJisLead(int byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// What Cp932ToUtf8 makes of every byte and byte pair, as UTF-16, looked up instead of asked
// of the converter each time: a mail of a hundred megabytes would spend seconds in it. Made
// from the UTF-8 table of the same conversion. 0 marks a pair that is no character (its lead
// byte alone is then replaced).
class ShiftJisTable {
  public:
    ShiftJisTable() : m_pairs(std::size_t(1) << 16, 0) {
        const Cp932Table& utf8 = Cp932Table::Get();
        for (int byte = 0; byte < 256; ++byte) {
            m_single[byte] = IsShiftJisLead(byte) ? kReplacement : OneCharacter(utf8.Single(byte));
        }
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            for (int trail = 0x40; IsShiftJisLead(lead) && trail <= 0xFC; ++trail) {
                const std::string_view pair = utf8.Pair(lead, trail);
                const char16_t shown = pair.empty() ? kReplacement : OneCharacter(pair);
                if (shown != kReplacement) {
                    m_pairs[std::size_t(lead << 8 | trail)] = shown;
                }
            }
        }
    }

    void Append(std::string_view text, QString& out) const {
        const qsizetype start = out.size();
        out.resize(start + qsizetype(text.size()));
        char16_t* to = reinterpret_cast<char16_t*>(out.data()) + start;
        for (std::size_t at = 0; at < text.size();) {
            const auto byte = static_cast<unsigned char>(text[at]);
            if (IsShiftJisLead(byte) && at + 1 < text.size()) {
                const auto trail = static_cast<unsigned char>(text[at + 1]);
                if (const char16_t pair = m_pairs[std::size_t(byte << 8 | trail)]) {
                    *to++ = pair;
                    at += 2;
                    continue;
                }
            }
            *to++ = m_single[byte];
            ++at;
        }
        out.resize(to - reinterpret_cast<const char16_t*>(out.constData()));
    }

  private:
    // The one UTF-16 unit of a converted text, or U+FFFD when it is anything else.
    static char16_t OneCharacter(std::string_view utf8) {
        const QString shown = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
        return shown.size() == 1 ? shown[0].unicode() : kReplacement;
    }

    std::vector<char16_t> m_pairs;
    char16_t m_single[256] = {};
};

// A piece of a run as the pane shows it.
void AppendShown(std::string_view run, bool utf8, QString& out) {
    if (utf8) {
        out += QString::fromUtf8(run.data(), static_cast<qsizetype>(run.size()));
        return;
    }
    static const ShiftJisTable table;
    table.Append(run, out);
}

QString Shown(std::string_view run, bool utf8) {
    QString out;
    AppendShown(run, utf8, out);
    return out;
}

// A line break (CR LF, CR or LF, as the document reads them) becomes one character, so that
// positions in the text count it once: a line separator when lines are joined, else LF.
QString LinesJoined(QString text, bool join) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QChar lineBreak = join ? QChar(QChar::LineSeparator) : QChar(u'\n');
    for (QChar& c : text) {
        if (c == u'\n' || c == u'\r') {
            c = lineBreak;
        }
    }
    return text;
}

// A block without a layout counts as one line until the pane lays it out when it comes into
// view; its real number of lines (lines never wrap in the pane) keeps the scroll bar true.
void CountLines(QTextDocument* document) {
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        block.setLineCount(int(block.text().count(QChar::LineSeparator)) + 1);
    }
    QAbstractTextDocumentLayout* layout = document->documentLayout();
    emit layout->documentSizeChanged(layout->documentSize());
}

// A huge body is read once, front to back, into the document, and is the pane's own: the pages
// of text already in the document are given back to the system at once, so the body and the
// document are never both resident in full (a mail of a hundred megabytes would otherwise
// hold both, beside the loaded archive). The bytes of a given-back page read as 0 afterwards;
// nothing reads them again.
class ConsumedPages {
  public:
    ConsumedPages(const std::string& text, bool huge)
        : m_released(huge ? PageUp(text.data()) : nullptr) {}

    // Everything before upTo is in the document.
    void Release(const char* upTo) {
        if (m_released == nullptr) {
            return;
        }
        const char* end = PageDown(upTo);
        if (end > m_released) {
            madvise(const_cast<char*>(m_released), std::size_t(end - m_released), MADV_DONTNEED);
            m_released = end;
        }
    }

  private:
    static std::uintptr_t PageSize() {
        static const auto size = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
        return size;
    }
    static const char* PageUp(const char* at) {
        const auto address = reinterpret_cast<std::uintptr_t>(at);
        return reinterpret_cast<const char*>((address + PageSize() - 1) / PageSize() * PageSize());
    }
    static const char* PageDown(const char* at) {
        const auto address = reinterpret_cast<std::uintptr_t>(at);
        return reinterpret_cast<const char*>(address / PageSize() * PageSize());
    }

    const char* m_released;  // pages before this are given back; null: nothing is
};

}  // namespace

std::size_t PieceEnd(std::string_view text, std::size_t limit, bool utf8) {
    if (text.size() <= limit) {
        return text.size();
    }
    for (std::size_t end = limit; end > limit / 2; --end) {
        const auto byte = static_cast<unsigned char>(text[end - 1]);
        if (byte < 0x40 && byte != '\r') {  // CR LF is one line break, kept in one piece
            return end;
        }
    }
    if (utf8) {
        std::size_t end = limit;
        while (end > 1 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
            --end;
        }
        return end;
    }
    // No safe byte near the limit: step over the characters from the piece's start.
    std::size_t at = 0;
    while (at < limit) {
        const std::size_t step = IsShiftJisLead(static_cast<unsigned char>(text[at])) ? 2 : 1;
        if (at + step > limit) {
            break;
        }
        at += step;
    }
    return std::max<std::size_t>(at, 1);
}

std::vector<TextRun> FillMailDocument(QTextDocument* document, MailBody body,
                                      const QTextCharFormat& format,
                                      const std::function<bool()>& stop, const MailBody& head) {
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    cursor.setCharFormat(format);
    std::vector<TextRun> red;
    red.reserve(head.hits.size() + body.hits.size());
    const bool join = body.text.size() > kJoinLinesAbove;
    QString pending;  // shown text not yet in the document
    bool stopped = false;
    const auto flush = [&] {
        // Joined lines of a piece share a block; the last line break of the piece ends it.
        const qsizetype last = pending.lastIndexOf(QChar::LineSeparator);
        if (last >= 0) {
            pending[last] = QChar::ParagraphSeparator;
        }
        cursor.insertText(pending, format);
        pending.clear();
    };
    ConsumedPages consumed(body.text, join);
    // Every red run is the same search string: it is converted once.
    std::string lastHit;
    QString lastHitShown;
    bool utf8 = head.utf8;
    bool inHead = true;
    const auto take = [&](std::string_view run, bool hit) {
        if (stopped) {
            return;
        }
        if (hit) {
            if (run != lastHit) {
                lastHit = run;
                lastHitShown = Shown(run, utf8);
            }
            red.push_back({int(cursor.position() + pending.size()), int(lastHitShown.size())});
            pending += lastHitShown;
            return;
        }
        while (!run.empty()) {
            const std::size_t end = PieceEnd(run, kMailPieceBytes, utf8);
            pending += LinesJoined(Shown(run.substr(0, end), utf8), join);
            run.remove_prefix(end);
            if (std::size_t(pending.size()) >= kMailPieceBytes) {
                flush();
                if (!inHead) {
                    consumed.Release(run.data());  // only the body's pages are the pane's
                }
                if (stop && stop()) {
                    stopped = true;
                    return;
                }
            }
        }
    };
    head.ForEachRun(take);
    utf8 = body.utf8;
    inHead = false;
    lastHit.clear();
    lastHitShown.clear();
    body.ForEachRun(take);
    if (stopped) {
        const int shown = cursor.position();
        std::erase_if(red, [shown](const TextRun& run) { return run.start + run.length > shown; });
    } else {
        flush();
    }
    cursor.endEditBlock();
    if (join) {
        CountLines(document);
    }
    return red;
}

}  // namespace tarsel
