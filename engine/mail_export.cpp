// The export of matching mails. Every file is made with O_EXCL, so that even a target that
// appears while the search runs is never written over.
#include "engine/mail_export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "decode/safe_text.h"
#include "engine/mail_text.h"
#include "headers/date_normalizer.h"
#include "headers/from_lines.h"
#include "headers/header_row.h"
#include "mime/header_fields.h"

namespace tarsel {
namespace {

// The line end of the mail's first line: CR LF when it has one, else LF.
std::string_view LineEndOf(std::string_view text) {
    const std::size_t end = text.find('\n');
    return end != std::string_view::npos && end > 0 && text[end - 1] == '\r' ? "\r\n" : "\n";
}

// "Wed Jun 15 10:00:00 2005" for a Date field's value.
std::string AscTime(std::string_view date) {
    static constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed",
                                                         "Thu", "Fri", "Sat"};
    static constexpr std::array<const char*, 12> kMonths = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int day = MailDay(date);
    const std::string normal = NormalizeDate(date);
    if (day == 0 || normal.find(' ') == std::string::npos) {
        return "Thu Jan  1 00:00:00 1970";
    }
    int y = day / 10000;
    const int m = day / 100 % 100;
    const int d = day % 100;
    int hour = 0, minute = 0, second = 0;
    std::sscanf(normal.c_str() + normal.find(' ') + 1, "%d:%d:%d", &hour, &minute, &second);
    // The day of the week (Sakamoto's method).
    static constexpr std::array<int, 12> kShift = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    const int year = y;
    y -= m < 3 ? 1 : 0;
    const int weekday = (y + y / 4 - y / 100 + y / 400 + kShift[(m + 11) % 12] + d) % 7;
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%s %s %2d %02d:%02d:%02d %d", kDays[weekday],
                  kMonths[(m + 11) % 12], d, hour, minute, second, year);
    return text.data();
}

// One file being written: its bytes gathered and written a large piece at a time. After a
// failed write it takes nothing more and keeps the reason.
class OutFile {
  public:
    // Makes the file; false (errno set) when it exists or cannot be made.
    bool Create(const std::filesystem::path& path) {
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        return fd_ >= 0;
    }
    // The bytes still to be written, to append to.
    std::string& Buffer() { return buffer_; }
    void Write(std::string_view bytes) {
        buffer_.append(bytes);
        if (buffer_.size() >= kPiece) {
            Flush();
        }
    }
    // Writes what is left and closes the file; the reason of a failure, or 0.
    int Close() {
        Flush();
        if (::close(fd_) != 0 && error_ == 0) {
            error_ = errno;
        }
        fd_ = -1;
        return error_;
    }
    ~OutFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

  private:
    void Flush() {
        for (std::size_t done = 0; error_ == 0 && done < buffer_.size();) {
            const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n == 0 || errno != EINTR) {
                error_ = n == 0 ? EIO : errno;
            }
        }
        buffer_.clear();
    }

    static constexpr std::size_t kPiece = 1 << 20;
    int fd_ = -1;
    int error_ = 0;
    std::string buffer_;
};

std::string Shown(const std::filesystem::path& path) {
    return "「" + EscapedForMessage(path.string()) + "」";
}

// Adds a line to the reason of a failure.
void Tell(std::string& reason, const std::string& line) {
    if (!reason.empty()) {
        reason += '\n';
    }
    reason += line;
}

void Refuse(std::string& reason, const std::filesystem::path& path, int error) {
    Tell(reason, Shown(path) + (error == EEXIST ? "はすでにあります。上書きしません。"
                                                : "に書き出せません（" +
                                                      std::string(std::strerror(error)) + "）。"));
}

// Reads the mails one after another, keeping their archive open while they come from the same
// one: opening it again for each of ten thousand mails cost as much as reading them.
class MailReader {
  public:
    MailReader() = default;
    MailReader(const MailReader&) = delete;
    MailReader& operator=(const MailReader&) = delete;
    ~MailReader() { Close(); }

    bool Read(const MailPlace& place, std::string& text, std::string& reason) {
        if (fd_ < 0 || place.path != path_) {
            Close();
            path_ = place.path;
            fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        }
        // The whole mail, or false: a file cut short since it was searched fails the export.
        if (fd_ >= 0 && ReadOpenFileBytes(fd_, place.start, place.end, text)) {
            return true;
        }
        Tell(reason, Shown(place.path) + " を読めません。");
        return false;
    }

  private:
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    std::string path_;
    int fd_ = -1;
};

bool Stopped(const ExportProgress* progress) {
    return progress != nullptr && progress->stop.load(std::memory_order_relaxed);
}

void CountMail(ExportProgress* progress) {
    if (progress != nullptr) {
        progress->mailsDone.fetch_add(1, std::memory_order_relaxed);
    }
}

bool ExportMbox(const std::filesystem::path& target, const std::vector<MailPlace>& mails,
                std::string& reason, ExportProgress* progress) {
    OutFile out;
    if (!out.Create(target)) {
        Refuse(reason, target, errno);
        return false;
    }
    std::string text;
    MailReader reader;
    bool read = true;
    for (const MailPlace& place : mails) {
        read = !Stopped(progress) && reader.Read(place, text, reason);
        if (!read) {
            break;
        }
        const std::string_view mail = MailBytes(text);
        const std::string_view lineEnd = LineEndOf(text);
        out.Write(FromLineFor(text));
        AppendQuotedFromLines(mail, out.Buffer());
        // Every mail ends with a line end and the empty line before the next From_ line.
        if (!mail.empty() && mail.back() != '\n') {
            out.Buffer() += lineEnd;
        }
        out.Write(lineEnd);
        CountMail(progress);
    }
    const int error = out.Close();
    if (error != 0) {
        Refuse(reason, target, error);
    }
    if (!read || error != 0) {
        ::unlink(target.c_str());
        return false;
    }
    return true;
}

std::filesystem::path EmlName(const std::filesystem::path& folder, std::size_t i) {
    std::array<char, 32> name{};
    std::snprintf(name.data(), name.size(), "%05zu.eml", i + 1);
    return folder / name.data();
}

// Writes mail i of the folder; false (the reason told) when it could not.
bool WriteEml(const std::filesystem::path& name, std::string_view mail, std::string& reason,
              bool& made) {
    OutFile out;
    made = out.Create(name);
    if (!made) {
        Refuse(reason, name, errno);
        return false;
    }
    out.Write(mail);
    const int error = out.Close();
    if (error != 0) {
        Refuse(reason, name, error);
    }
    return error == 0;
}

bool ExportEml(const std::filesystem::path& folder, const std::vector<MailPlace>& mails,
               std::string& reason, ExportProgress* progress) {
    const bool madeFolder = ::mkdir(folder.c_str(), 0777) == 0;
    struct stat st {};
    if (!madeFolder &&
        (errno != EEXIST || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
        Refuse(reason, folder, errno == EEXIST ? ENOTDIR : errno);
        return false;
    }
    for (std::size_t i = 0; !madeFolder && i < mails.size(); ++i) {
        const std::filesystem::path name = EmlName(folder, i);
        if (::lstat(name.c_str(), &st) == 0) {
            Refuse(reason, name, EEXIST);
            return false;
        }
    }
    std::size_t made = 0;  // files made, to be removed again on a failure
    std::string text;
    MailReader reader;
    bool ok = true;
    for (std::size_t i = 0; ok && i < mails.size(); ++i) {
        bool madeThis = false;
        ok = !Stopped(progress) && reader.Read(mails[i], text, reason) &&
             WriteEml(EmlName(folder, i), MailBytes(text), reason, madeThis);
        if (ok) {
            CountMail(progress);
        }
        made += madeThis ? 1 : 0;
    }
    if (!ok) {
        for (std::size_t i = 0; i < made; ++i) {
            ::unlink(EmlName(folder, i).c_str());
        }
        if (madeFolder) {
            ::rmdir(folder.c_str());
        }
    }
    return ok;
}

}  // namespace

std::string_view MailBytes(std::string_view mailText) {
    std::string_view mail = MailAfterMark(mailText);
    if (StartsWithFromLine(mailText)) {
        if (mail.ends_with("\r\n") && (mail.size() == 2 || mail[mail.size() - 3] == '\n')) {
            mail.remove_suffix(2);
        } else if (mail.ends_with('\n') && (mail.size() == 1 || mail[mail.size() - 2] == '\n')) {
            mail.remove_suffix(1);
        }
    }
    return mail;
}

std::string FromLineFor(std::string_view mailText) {
    if (StartsWithFromLine(mailText)) {
        std::string line(FirstLine(mailText));
        if (!line.ends_with('\n')) {
            line += '\n';
        }
        return line;
    }
    std::string scratch;
    const std::string_view mail = mime::WithLineFeeds(MailAfterMark(mailText), scratch);
    std::string_view date;
    mime::FindField(mime::SplitEntity(mail).headers, "Date", date);
    return "From MAILER-DAEMON " + AscTime(date) + std::string(LineEndOf(MailAfterMark(mailText)));
}

bool ExportMails(ExportFormat format, const std::filesystem::path& target,
                 const std::vector<MailPlace>& mails, std::string& reason,
                 ExportProgress* progress) {
    reason.clear();
    return format == ExportFormat::kEml ? ExportEml(target, mails, reason, progress)
                                        : ExportMbox(target, mails, reason, progress);
}

}  // namespace tarsel
