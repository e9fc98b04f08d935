// Reading one mail with GMime. The choice of parts (alternatives, attachments, HTML text)
// follows the same reader's rules as the lean scanner; decoding is GMime's and iconv's.
#include "mime/gmime_reader.h"

#include <gmime/gmime.h>

#include <cstring>
#include <mutex>
#include <string>

#include "mime/charset.h"
#include "mime/header_fields.h"
#include "mime/html_text.h"
#include "mime/lru_map.h"

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

const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);

void CloseConverter(iconv_t& cd) {
    if (cd != kNoIconv) {
        g_mime_iconv_close(cd);
    }
}

// The converter from a charset to UTF-8, by GMime's name for the charset, opened once per
// thread: a mail may alternate between charsets part by part, and opening one costs as much
// as converting a long part. A name longer than any charset's, as the lean scanner has it, is
// no charset.
iconv_t ConverterFrom(const char* charset) {
    struct Cache {
        LruMap<iconv_t> opened{kMaxConverters};
        ~Cache() { opened.ForEach(CloseConverter); }
    };
    thread_local Cache cache;
    const std::string_view name = g_mime_charset_iconv_name(charset);
    if (name.size() > kMaxCharsetNameBytes) {
        return kNoIconv;
    }
    if (const iconv_t* found = cache.opened.Find(name)) {
        return *found;
    }
    return cache.opened.Add(name, g_mime_iconv_open("UTF-8", charset), CloseConverter);
}

std::string ToUtf8(const char* bytes, std::size_t size, const char* charset) {
    if (size == 0) {
        return {};
    }
    if (charset == nullptr && memmem(bytes, size, "\x1b$B", 3) != nullptr) {
        charset = "iso-2022-jp";
    }
    if (charset != nullptr && CharsetOf(charset) == Charset::kJis) {
        // iconv's ISO-2022-JP lacks the CP932 extensions that Japanese mailers write.
        std::string out;
        AppendUtf8({bytes, size}, Charset::kJis, charset, out);
        return out;
    }
    if (charset != nullptr) {
        // iconv's Shift_JIS and EUC-JP also lack the extensions; their CP932 forms have them.
        const Charset kind = CharsetOf(charset);
        charset = kind == Charset::kCp932   ? "CP932"
                  : kind == Charset::kEucJp ? "EUC-JP-MS"
                                            : charset;
        if (const iconv_t cd = ConverterFrom(charset); cd != kNoIconv) {
            // It leaves the converter in its initial state, for the next part.
            if (char* converted = g_mime_iconv_strndup(cd, bytes, size)) {
                return TakeString(converted);
            }
        }
    }
    return TakeString(g_mime_utils_decode_8bit(Options(), bytes, size));
}

bool IsAttachment(GMimeObject* object) {
    GMimeContentDisposition* disposition = g_mime_object_get_content_disposition(object);
    return disposition != nullptr && g_mime_content_disposition_is_attachment(disposition);
}

void CollectParts(GMimeObject* object, int depth, std::vector<std::string>& parts) {
    GMimeContentType* type = g_mime_object_get_content_type(object);
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(object);
        const int count = g_mime_multipart_get_count(multipart);
        if (depth >= 16) {
            return;
        }
        if (!g_mime_content_type_is_type(type, "multipart", "alternative")) {
            for (int i = 0; i < count; ++i) {
                CollectParts(g_mime_multipart_get_part(multipart, i), depth + 1, parts);
            }
            return;
        }
        GMimeObject* chosen[3] = {nullptr, nullptr, nullptr};  // plain, html, nested
        for (int i = 0; i < count; ++i) {
            GMimeObject* child = g_mime_multipart_get_part(multipart, i);
            GMimeContentType* childType = g_mime_object_get_content_type(child);
            if (IsAttachment(child)) {
                continue;
            }
            const int slot = g_mime_content_type_is_type(childType, "text", "plain")  ? 0
                             : g_mime_content_type_is_type(childType, "text", "html") ? 1
                             : GMIME_IS_MULTIPART(child)                              ? 2
                                                                                      : -1;
            if (slot >= 0 && chosen[slot] == nullptr) {
                chosen[slot] = child;
            }
        }
        for (GMimeObject* child : chosen) {
            if (child != nullptr) {
                CollectParts(child, depth + 1, parts);
                return;
            }
        }
        return;
    }
    if (!GMIME_IS_PART(object) || IsAttachment(object) ||
        !g_mime_content_type_is_type(type, "text", "*")) {
        return;
    }
    GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(object));
    std::string text;
    if (content != nullptr) {
        GMimeStream* stream = g_mime_stream_mem_new();
        g_mime_data_wrapper_write_to_stream(content, stream);
        GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
        text = ToUtf8(reinterpret_cast<const char*>(bytes->data), bytes->len,
                      g_mime_content_type_get_parameter(type, "charset"));
        g_object_unref(stream);
    }
    if (g_mime_content_type_is_type(type, "text", "html")) {
        std::string shown;
        HtmlToText(text, shown);
        text = std::move(shown);
    }
    parts.push_back(std::move(text));
}

}  // namespace

MailTexts ReadMailWithGMime(std::string_view mail) {
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
            CollectParts(body, 0, texts.parts);
        }
        g_object_unref(message);
    }
    g_object_unref(parser);
    g_object_unref(stream);
    return texts;
}

}  // namespace tarsel::mime
