// What an export writes of one mail: its own bytes, and the From_ line that begins it.
#include "engine/mail_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_files.h"

namespace tarsel {
namespace {

struct ExportCase {
    const char* name;
    std::string text;      // from the mark or From_ line to the next
    std::string bytes;     // the mail's own
    std::string fromLine;  // that begins it in an mbox
};

void PrintTo(const ExportCase& c, std::ostream* os) {
    *os << c.name;
}

class MailExportTest : public testing::TestWithParam<ExportCase> {};

TEST_P(MailExportTest, WritesTheMailsOwnBytes) {
    EXPECT_EQ(MailBytes(GetParam().text), GetParam().bytes);
    EXPECT_EQ(FromLineFor(GetParam().text), GetParam().fromLine);
}

const std::string kMark = "\x7F\x20\x7F";

ExportCase Dated(const char* name, const std::string& date, const std::string& asctime) {
    const std::string mail = "Date: " + date + "\r\n\r\nbody\r\n";
    return ExportCase{name, kMark + "\r\n" + mail, mail, "From MAILER-DAEMON " + asctime + "\r\n"};
}

INSTANTIATE_TEST_SUITE_P(
    Mails, MailExportTest,
    testing::Values(
        ExportCase{"MboxSeparatorIsNotTheMails", "From a@b Tue Dec  7 1999\nS: x\n\nb\n\n",
                   "S: x\n\nb\n", "From a@b Tue Dec  7 1999\n"},
        ExportCase{"CrLfSeparator", "From a@b x\r\n\r\nb\r\n\r\n", "\r\nb\r\n", "From a@b x\r\n"},
        ExportCase{"LastMailWithoutEmptyLine", "From a@b x\n\nb", "\nb", "From a@b x\n"},
        ExportCase{"OnlyAFromLine", "From a@b x", "", "From a@b x\n"},
        ExportCase{"MarkMailAsItStands", kMark + "Date: x\n\nb\n\n", "Date: x\n\nb\n\n",
                   "From MAILER-DAEMON Thu Jan  1 00:00:00 1970\n"},
        Dated("DayName", "Tue, 07 Dec 1999 12:34:56 +0900", "Tue Dec  7 12:34:56 1999"),
        Dated("LeapDay", "29 Feb 2000 01:02:03 GMT", "Tue Feb 29 01:02:03 2000"),
        Dated("January", "Sun, 1 Jan 2006 00:30 +0900", "Sun Jan  1 00:30:00 2006"),
        Dated("ShortYear", "15 Jun 99 9:05", "Tue Jun 15 09:05:00 1999"),
        Dated("NoDate", "someday", "Thu Jan  1 00:00:00 1970")),
    [](const auto& info) { return std::string(info.param.name); });

// A whole export of two mails, as the window's save runs it: the reason it hands back for the
// box, what it counts while it runs, and that a stopped or refused one leaves no trace.
TEST(ExportMailsTest, TellsWhyAndLeavesNothingBehindWhenItDoesNotWrite) {
    const struct {
        const char* name;
        ExportFormat format;
        bool targetExists;
        bool stopped;
        bool written;
        std::size_t mailsDone;
        const char* reasonEnd;  // after the quoted path; empty: no reason
    } cases[] = {
        {"mbox", ExportFormat::kMbox, false, false, true, 2, ""},
        {"eml", ExportFormat::kEml, false, false, true, 2, ""},
        {"existing mbox", ExportFormat::kMbox, true, false, false, 0,
         "」はすでにあります。上書きしません。"},
        {"stopped mbox", ExportFormat::kMbox, false, true, false, 0, ""},
        {"stopped eml", ExportFormat::kEml, false, true, false, 0, ""},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        const std::string mails = kMark + "Subject: a\n\none\n" + kMark + "Subject: b\n\ntwo\n";
        const std::string archive = dir.Write("archive", mails).string();
        const std::vector<MailPlace> places = {
            {archive, 0, static_cast<std::int64_t>(mails.find(kMark, 1))},
            {archive, static_cast<std::int64_t>(mails.find(kMark, 1)),
             static_cast<std::int64_t>(mails.size())}};
        const std::filesystem::path target = dir.path() / "out";
        if (c.targetExists) {
            dir.Write("out", "kept");
        }
        ExportProgress progress;
        progress.stop = c.stopped;
        std::string reason = "left from before";
        EXPECT_EQ(ExportMails(c.format, target, places, reason, &progress), c.written) << c.name;
        EXPECT_EQ(progress.mailsDone.load(), c.mailsDone) << c.name;
        EXPECT_EQ(reason, *c.reasonEnd == '\0' ? "" : "「" + target.string() + c.reasonEnd)
            << c.name;
        if (c.targetExists) {
            EXPECT_EQ(test::ReadAll(target), "kept") << c.name;
        } else {
            EXPECT_EQ(std::filesystem::exists(target), c.written) << c.name;
        }
    }
}

}  // namespace
}  // namespace tarsel
