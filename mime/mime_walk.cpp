// The walk over one mail's MIME tree: multiparts and their alternatives, digests and
// forwarded mails, each text part transfer-decoded into a per-thread buffer.
#include "mime/mime_walk.h"

#include <algorithm>
#include <cstring>

#include "mime/alternatives.h"
#include "mime/header_fields.h"
#include "mime/header_text.h"
#include "mime/html_text.h"
#include "mime/text_util.h"
#include "mime/transfer.h"

namespace tarsel::mime {
namespace {

bool IsMessage(const ContentInfo& info) {
    return EqualsNoCase(info.type, "message") && EqualsNoCase(info.subtype, "rfc822");
}

bool IsType(std::string_view type, std::string_view want) {
    return EqualsNoCase(type, want);
}

// Position of the delimiter ("--" and the boundary) in body at or after from, or npos. Led by
// memchr on its dash: encoded parts, where most of a multipart's bytes are, hold none.
std::size_t FindDelimiter(std::string_view body, std::string_view delimiter, std::size_t from) {
    while (from + delimiter.size() <= body.size()) {
        const void* dash = std::memchr(body.data() + from, '-', body.size() - from);
        if (dash == nullptr) {
            break;
        }
        const auto at = static_cast<std::size_t>(static_cast<const char*>(dash) - body.data());
        if (body.substr(at, delimiter.size()) == delimiter) {
            return at;
        }
        from = at + 1;
    }
    return std::string_view::npos;
}

// Calls f with each body part of a multipart body (between its delimiter lines).
template <class F>
void ForEachBodyPart(std::string_view body, std::string_view boundary, F&& f) {
    // Looked for with its dashes: a boundary of "=" signs alone would stop at every encoded
    // byte of a quoted-printable part, while a dash is rare in any encoded text.
    // Not one per thread: the parts' own multiparts look for theirs while this one is read.
    const std::string delimiter = std::string("--").append(boundary);
    std::size_t partStart = std::string_view::npos;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t dashes = FindDelimiter(body, delimiter, pos);
        if (dashes == std::string_view::npos) {
            break;
        }
        const std::size_t at = dashes + 2;
        pos = dashes + 1;
        if (at > 2 && body[at - 3] != '\n') {
            continue;
        }
        std::size_t p = at + boundary.size();
        const bool close = body.substr(p, 2) == "--";
        p += close ? 2 : 0;
        while (p < body.size() && (body[p] == ' ' || body[p] == '\t')) {
            ++p;
        }
        if (p < body.size() && body[p] != '\r' && body[p] != '\n') {
            continue;  // the boundary followed by more text is no delimiter
        }
        if (partStart != std::string_view::npos) {
            // The line break before the delimiter belongs to it.
            std::size_t end = at - 2;
            if (end > partStart && body[end - 1] == '\n') {
                --end;
                if (end > partStart && body[end - 1] == '\r') {
                    --end;
                }
            }
            f(body.substr(partStart, std::max(end, partStart) - partStart));
        }
        if (close) {
            return;
        }
        const std::size_t eol = body.find('\n', p);
        partStart = eol == std::string_view::npos ? body.size() : eol + 1;
        pos = partStart;
    }
    if (partStart != std::string_view::npos) {
        f(body.substr(partStart));
    }
}

void WalkEntity(std::string_view text, int depth, PartVisitor& visitor, bool inDigest = false);

void WalkAlternatives(std::string_view body, const ContentInfo& info, int depth,
                      PartVisitor& visitor) {
    struct Alternative {
        std::string_view text;
        bool plain;
        std::size_t from = std::string_view::npos, to = std::string_view::npos;
    };
    std::vector<Alternative> alternatives;
    ForEachBodyPart(body, info.boundary, [&](std::string_view part) {
        const ContentInfo child = ContentInfoOf(SplitEntity(part).headers);
        if (!child.attachment &&
            (IsType(child.type, "text") || IsType(child.type, "multipart") || IsMessage(child))) {
            alternatives.push_back(
                {part, IsType(child.type, "text") && IsType(child.subtype, "plain")});
        }
    });
    const std::size_t start = visitor.Mark();
    auto read = [&](std::size_t i) -> Alternative& {
        Alternative& a = alternatives[i];
        if (a.from == std::string_view::npos) {
            a.from = visitor.Mark();
            WalkEntity(a.text, depth + 1, visitor);
            a.to = visitor.Mark();
        }
        return a;
    };
    const std::size_t chosen = ChosenAlternative(
        alternatives.size(), [&](std::size_t i) { return alternatives[i].plain; },
        [&](std::size_t i) {
            if (!visitor.Searching()) {
                return false;
            }
            const Alternative& a = read(i);
            return visitor.Holds(a.from, a.to);
        });
    if (chosen == std::string_view::npos) {
        return;
    }
    const Alternative& a = read(chosen);
    visitor.KeepOnly(start, a.from, a.to);
}

void WalkMultipart(std::string_view body, const ContentInfo& info, int depth,
                   PartVisitor& visitor) {
    if (IsType(info.subtype, "alternative")) {
        WalkAlternatives(body, info, depth, visitor);
        return;
    }
    const bool digest = IsType(info.subtype, "digest");
    ForEachBodyPart(body, info.boundary,
                    [&](std::string_view part) { WalkEntity(part, depth + 1, visitor, digest); });
}

// A forwarded mail as a reader shows it: a line with its sender, one with its subject, and its
// body.
void WalkMessage(std::string_view mail, int depth, PartVisitor& visitor) {
    const std::string_view headers = SplitEntity(mail).headers;
    std::string_view value;
    for (const std::string_view field : {"From", "Subject"}) {
        if (FindField(headers, field, value)) {
            std::string line = HeaderText(value);
            BlankNuls(line);
            if (!line.empty()) {
                visitor.VisitLine(line);
            }
        }
    }
    WalkEntity(mail, depth, visitor);
}

void WalkEntity(std::string_view text, int depth, PartVisitor& visitor, bool inDigest) {
    const Entity entity = SplitEntity(text);
    ContentInfo info = ContentInfoOf(entity.headers);
    std::string_view typeField;
    if (inDigest && !FindField(entity.headers, "Content-Type", typeField)) {
        info.type = "message";  // a digest's parts are mails unless typed otherwise
        info.subtype = "rfc822";
    }
    if (IsType(info.type, "multipart")) {
        if (!info.boundary.empty() && depth < kMaxMimeDepth) {
            WalkMultipart(entity.body, info, depth, visitor);
        }
        return;
    }
    if (IsMessage(info)) {
        if (depth < kMaxMimeDepth) {
            WalkMessage(entity.body, depth + 1, visitor);
        }
        return;
    }
    if (info.attachment || !IsType(info.type, "text")) {
        return;  // what is not shown as text never counts
    }
    thread_local std::string decoded;
    std::string_view bytes = entity.body;
    switch (TransferEncodingOf(info.transferEncoding)) {
        case TransferEncoding::kBase64:
            bytes = DecodeBase64In(bytes, decoded);
            break;
        case TransferEncoding::kQuotedPrintable:
            bytes = DecodeQuotedPrintableIn(bytes, decoded);
            break;
        case TransferEncoding::kIdentity:
            break;
    }
    Charset charset = CharsetOf(info.charset);
    if (charset == Charset::kNone) {
        charset = GuessCharset(bytes);
    }
    visitor.Visit(TextPart{bytes, charset, info.charset, IsType(info.subtype, "html")});
}

}  // namespace

std::vector<std::string_view> BodyPartsOf(std::string_view body, std::string_view boundary) {
    std::vector<std::string_view> parts;
    ForEachBodyPart(body, boundary, [&parts](std::string_view part) { parts.push_back(part); });
    return parts;
}

void WalkMail(std::string_view mail, PartVisitor& visitor) {
    WalkEntity(mail, 0, visitor);
}

void AppendPartText(const TextPart& part, std::string& out) {
    const std::size_t start = out.size();
    if (!part.html) {
        AppendUtf8(part.bytes, part.charset, part.charsetName, out);
    } else {
        thread_local std::string html;
        html.clear();
        AppendUtf8(part.bytes, part.charset, part.charsetName, html);
        thread_local std::string text;
        HtmlToText(html, text);
        out += text;
    }
    BlankNuls(out, start);
}

}  // namespace tarsel::mime
