// Reading one mail with GMime. The choice of parts (alternatives, attachments, forwarded
// mails, HTML text) follows the same reader's rules as the lean scanner; the MIME structure
// and transfer encodings are GMime's, the charsets the lean scanner's.
#include "mime/gmime_reader.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mime/alternatives.h"
#include "mime/charset.h"
#include "mime/header_fields.h"
#include "mime/header_text.h"
#include "mime/html_text.h"
#include "mime/text_util.h"

namespace tarsel::mime {
namespace {

GMimeParserOptions* Options() {
    static GMimeParserOptions* const options = [] {
        g_mime_init();
        GMimeParserOptions* made = g_mime_parser_options_new();
        // Undeclared 8-bit text: UTF-8 when it is well formed, else CP932.
        const char* fallback[] = {"UTF-8", "CP932", nullptr};
        g_mime_parser_options_set_fallback_charsets(made, fallback);
        return made;
    }();
    return options;
}

std::string TakeString(char* text) {
    std::string out = text != nullptr ? text : "";
    g_free(text);
    return out;
}

std::string HeaderOf(GMimeObject* object, const char* name) {
    GMimeHeader* header =
        g_mime_header_list_get_header(g_mime_object_get_header_list(object), name);
    if (header == nullptr) {
        return {};
    }
    const std::string unfolded =
        TakeString(g_mime_utils_header_unfold(g_mime_header_get_raw_value(header)));
    return TakeString(g_mime_utils_header_decode_text(Options(), unfolded.c_str()));
}

bool IsAttachment(GMimeObject* object) {
    GMimeContentDisposition* disposition = g_mime_object_get_content_disposition(object);
    return disposition != nullptr && g_mime_content_disposition_is_attachment(disposition);
}

std::string RawHeaderOf(GMimeObject* object, const char* name) {
    GMimeHeader* header =
        g_mime_header_list_get_header(g_mime_object_get_header_list(object), name);
    const char* raw = header != nullptr ? g_mime_header_get_raw_value(header) : nullptr;
    return raw != nullptr ? raw : "";
}

// GMime takes the part apart and undoes its transfer encoding; its text is read as the lean
// scanner reads it, so that the pane shows what the search counts in: the same charset names,
// the same converters, U+FFFD for each sequence that does not convert.
std::string TextOf(GMimePart* part, GMimeContentType* type) {
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    std::string text;
    if (content == nullptr) {
        return text;
    }
    GMimeStream* stream = g_mime_stream_mem_new();
    g_mime_data_wrapper_write_to_stream(content, stream);
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
    const std::string_view data(reinterpret_cast<const char*>(bytes->data), bytes->len);
    const char* name = g_mime_content_type_get_parameter(type, "charset");
    const std::string_view charsetName = name != nullptr ? name : "";
    Charset charset = CharsetOf(charsetName);
    if (charset == Charset::kNone) {
        charset = GuessCharset(data);
    }
    if (g_mime_content_type_is_type(type, "text", "html")) {
        std::string html;
        AppendUtf8(data, charset, charsetName, html);
        HtmlToText(html, text);
    } else {
        AppendUtf8(data, charset, charsetName, text);
    }
    g_object_unref(stream);
    BlankNuls(text);
    return text;
}

bool IsShownAlternative(GMimeObject* child) {
    GMimeContentType* type = g_mime_object_get_content_type(child);
    return !IsAttachment(child) &&
           (g_mime_content_type_is_type(type, "text", "*") || GMIME_IS_MULTIPART(child) ||
            g_mime_content_type_is_type(type, "message", "rfc822"));
}

void CollectParts(GMimeObject* object, int depth, const TextHolds& holds,
                  std::vector<std::string>& parts);

void CollectAlternatives(GMimeMultipart* multipart, int depth, const TextHolds& holds,
                         std::vector<std::string>& parts) {
    struct Alternative {
        GMimeObject* object;
        bool plain;
        std::size_t from = std::string_view::npos, to = std::string_view::npos;
    };
    std::vector<Alternative> alternatives;
    for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
        GMimeObject* child = g_mime_multipart_get_part(multipart, i);
        if (IsShownAlternative(child)) {
            alternatives.push_back(
                {child, g_mime_content_type_is_type(g_mime_object_get_content_type(child), "text",
                                                    "plain") != FALSE});
        }
    }
    const std::size_t start = parts.size();
    auto read = [&](std::size_t i) -> Alternative& {
        Alternative& a = alternatives[i];
        if (a.from == std::string_view::npos) {
            a.from = parts.size();
            CollectParts(a.object, depth + 1, holds, parts);
            a.to = parts.size();
        }
        return a;
    };
    const std::size_t chosen = ChosenAlternative(
        alternatives.size(), [&](std::size_t i) { return alternatives[i].plain; },
        [&](std::size_t i) {
            if (holds.Empty()) {
                return false;
            }
            const Alternative& a = read(i);
            return std::any_of(parts.begin() + static_cast<std::ptrdiff_t>(a.from),
                               parts.begin() + static_cast<std::ptrdiff_t>(a.to),
                               [&](const std::string& part) { return holds(part); });
        });
    if (chosen == std::string_view::npos) {
        return;
    }
    const Alternative& a = read(chosen);
    parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(a.to), parts.end());
    parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(start),
                parts.begin() + static_cast<std::ptrdiff_t>(a.from));
}

void CollectParts(GMimeObject* object, int depth, const TextHolds& holds,
                  std::vector<std::string>& parts) {
    GMimeContentType* type = g_mime_object_get_content_type(object);
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(object);
        if (depth >= kMaxMimeDepth) {
            return;
        }
        if (g_mime_content_type_is_type(type, "multipart", "alternative")) {
            CollectAlternatives(multipart, depth, holds, parts);
            return;
        }
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
            CollectParts(g_mime_multipart_get_part(multipart, i), depth + 1, holds, parts);
        }
        return;
    }
    if (GMIME_IS_MESSAGE_PART(object) && g_mime_content_type_is_type(type, "message", "rfc822")) {
        GMimeMessage* message = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
        if (depth >= kMaxMimeDepth || message == nullptr) {
            return;
        }
        // A forwarded mail as a reader shows it: its sender, its subject, its body. The lines
        // are decoded as the lean scanner decodes them.
        for (const char* field : {"From", "Subject"}) {
            std::string line = HeaderText(RawHeaderOf(GMIME_OBJECT(message), field));
            BlankNuls(line);
            if (!line.empty()) {
                parts.push_back(std::move(line));
            }
        }
        if (GMimeObject* body = g_mime_message_get_mime_part(message)) {
            CollectParts(body, depth + 1, holds, parts);
        }
        return;
    }
    if (!GMIME_IS_PART(object) || IsAttachment(object) ||
        !g_mime_content_type_is_type(type, "text", "*")) {
        return;
    }
    parts.push_back(TextOf(GMIME_PART(object), type));
}

}  // namespace

MailTexts ReadMailWithGMime(std::string_view mail, std::string_view search) {
    return WithSearchHolds(search,
                           [&](const TextHolds& holds) { return ReadMailWithGMime(mail, holds); });
}

MailTexts ReadMailWithGMime(std::string_view mail, const TextHolds& holds) {
    std::string withLineFeeds;  // GMime reads bare CRs as bytes of a line
    mail = WithLineFeeds(mail, withLineFeeds);
    MailTexts texts;
    GMimeParserOptions* options = Options();
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(mail.data(), mail.size());
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, options);
    if (message != nullptr) {
        texts.subject = HeaderOf(GMIME_OBJECT(message), "Subject");
        texts.from = HeaderOf(GMIME_OBJECT(message), "From");
        GMimeObject* body = g_mime_message_get_mime_part(message);
        if (body != nullptr) {
            CollectParts(body, 0, holds, texts.parts);
        }
        g_object_unref(message);
    }
    g_object_unref(parser);
    g_object_unref(stream);
    return texts;
}

}  // namespace tarsel::mime
