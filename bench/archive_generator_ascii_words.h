// The ASCII words of the archive generator: domains, host parts, mailer names, list names,
// English subjects, notes and sentences. All domains and addresses are reserved example names.
#pragma once

#include <array>
#include <string_view>

namespace tarsel::archive {

inline constexpr auto kDomains = std::to_array<std::string_view>({
    "example.co.jp",
    "example.ne.jp",
    "example.or.jp",
    "example.ac.jp",
    "example.jp",
    "example.com",
    "example.org",
    "example.net",
});

inline constexpr auto kHostPrefixes = std::to_array<std::string_view>({
    "mail",
    "smtp",
    "mx1",
    "mx2",
    "relay",
    "ns",
});

inline constexpr auto kAddressBlocks = std::to_array<std::string_view>({
    "192.0.2.",
    "198.51.100.",
    "203.0.113.",
});

inline constexpr auto kTransferAgents = std::to_array<std::string_view>({
    "8.9.3/8.9.3",
    "8.8.8/8.8.8",
    "8.9.1a/8.9.1",
    "8.10.0/8.10.0",
});

inline constexpr auto kMailers = std::to_array<std::string_view>({
    "ExampleMail 2.4 (Win32)",
    "Mailwork Pro 1.08",
    "Kumo Mail 3.1J",
    "PostLite 0.9.6",
    "Hanamizuki 1.2.3",
});

inline constexpr auto kListNames = std::to_array<std::string_view>({
    "example-users",
    "dev-team",
    "somu-info",
});

inline constexpr auto kAsciiSubjects = std::to_array<std::string_view>({
    "test",
    "Weekly status",
    "meeting minutes",
    "Server maintenance on Saturday",
    "install problem",
    "schedule update",
    "Invoice No. 1024",
    "Question about the manual",
    "New phone numbers",
    "Welcome party",
    "Backup failed last night",
    "Thanks",
});

// Subjects that hold words a careless header reader takes for a field name.
inline constexpr auto kFieldWordSubjects = std::to_array<std::string_view>({
    "Notes from the meeting",
    "schedule update",
    "update",
    "Greetings from Osaka",
    "date of the next review",
    "Update on the delivery date",
    "Mail from the new office",
    "Date: moved to Friday",
    "From the sales team",
    "Subject of the next talk",
});

// Whole header lines whose name or text holds from, date or subject, though they are none of
// those fields.
inline constexpr auto kFieldWordNotes = std::to_array<std::string_view>({
    "X-Note: sent from home",
    "Comments: update of the subject",
    "X-Note: date and subject kept from the old list",
});

inline constexpr auto kEnglishSentences = std::to_array<std::string_view>({
    "Please find the revised schedule attached.",
    "The search index was rebuilt last night and looks fine.",
    "Let me know if you have any questions.",
    "I will be out of the office until Monday.",
    "The build failed again on the test machine.",
    "Thanks for the quick reply.",
    "The minutes of today's call are below.",
    "The new server is up and running.",
    "Could you check the figures in section 3 once more?",
    "We moved the review to Thursday afternoon.",
    "The customer asked for a second sample.",
    "Nothing has changed since my last mail.",
    "I fixed the typo on page 12.",
    "The backup tapes are in the cabinet next to the printer.",
});

}  // namespace tarsel::archive
