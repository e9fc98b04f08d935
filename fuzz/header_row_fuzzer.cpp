// One mail text as the result list and the mail pane see it: the header row of any bytes (as
// the rules read literally give it), and the body runs drawn for a search string taken from
// the input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "decode/mail_lines.h"
#include "engine/search_controller.h"
#include "fuzz/fuzz_support.h"
#include "headers/from_lines.h"
#include "headers/header_row.h"
#include "tests/support/literal_header_row.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarsel;
    fuzz::FuzzInput input(data, size);
    const std::int64_t mailStart = std::int64_t{input.TakeWord()} * 1531;
    const std::string search = input.TakeBytes(input.TakeByte() % 8);
    const std::string mail = input.TakeRest();

    const HeaderRow row = ExtractHeaderRow(mail, mailStart);
    const HeaderRow literal = literal::ExtractHeaderRowLiterally(mail, mailStart);
    fuzz::Check(row.sender == literal.sender && row.subject == literal.subject &&
                    row.date == literal.date && row.address == literal.address,
                "the row is what the rules give read literally");
    HeaderRow reused{search, mail, search, mail, true};
    ExtractHeaderRowInto(mail, mailStart, reused);
    fuzz::Check(reused.sender == row.sender && reused.subject == row.subject &&
                    reused.date == row.date && reused.address == row.address && !reused.utf8,
                "a row filled again holds only the new mail");
    fuzz::Check(row.address.compare(0, 2, "0x") == 0, "the address is written in hex");
    const std::int64_t address = std::stoll(row.address.substr(2), nullptr, 16);
    const std::int64_t bodyStart = FindBodyStart(mail);
    fuzz::Check(
        address == mailStart + (bodyStart >= 0 ? bodyStart : std::int64_t(mail.size())),
        "the body starts after the empty line, or the all-header mail's address is its end");

    const std::vector<BodyRun> runs = CSearchController::BodyRunsOf(mail, search);
    std::string shown;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const BodyRun& run = runs[i];
        fuzz::Check(!run.text.empty(), "no empty run");
        if (run.hit) {
            fuzz::Check(run.text == search, "a red run is the search string");
        } else {
            fuzz::Check(search.empty() || run.text.find(search) == std::string::npos,
                        "no black run holds the search string");
            fuzz::Check(i == 0 || runs[i - 1].hit, "two black runs are never adjacent");
        }
        shown += run.text;
    }
    if (bodyStart < 0) {
        fuzz::Check(runs.empty(), "a mail without an empty line shows nothing");
    } else {
        std::string body = mail.substr(std::size_t(bodyStart));
        if (StartsWithFromLine(mail)) {
            UnquoteFromLines(body);
        }
        fuzz::Check(shown == DecodeMailLines(std::move(body)),
                    "the runs together are the converted body, an mbox's From_ lines unquoted");
    }
    return 0;
}
