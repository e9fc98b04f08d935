// What an export writes of one mail: its own bytes, and the From_ line that begins it.
#include "engine/mail_export.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace tarsel
