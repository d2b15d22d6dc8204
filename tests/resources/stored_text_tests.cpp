// The stored texts as the program holds them: the exact bytes, line ends and line
// layout that the disclaimer box and the help window rely on.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "resources/stored_data.h"

namespace {

constexpr std::string_view placeholder = "[Your Software Name]";
constexpr std::string_view programName = "Vellumite";

std::string_view asText(StoredBlock block) {
    return {reinterpret_cast<const char*>(block.data), block.size};
}

std::vector<std::string_view> split(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + separator.size();
    }
}

std::size_t occurrences(std::string_view text, std::string_view what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos;
         at = text.find(what, at + what.size()))
        ++count;
    return count;
}

std::string lowered(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return result;
}

// Every byte a printable 7-bit character or a line-end byte: no zero, nothing above 0x7F.
void expectPlainAscii(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool allowed = (byte >= 0x20 && byte <= 0x7E) || byte == '\r' || byte == '\n';
        EXPECT_TRUE(allowed) << "byte " << int(byte) << " at offset " << i;
    }
}

// A line's rule: its exact text, or its length and how it begins.
struct LineRule {
    int number;
    std::size_t length;
    std::string_view exactly;  // when not empty, the whole line
    std::string_view begins;   // when not empty, how the line begins
};

void expectLines(const std::vector<std::string_view>& lines,
                 const std::vector<LineRule>& rules) {
    for (const LineRule& rule : rules) {
        SCOPED_TRACE("line " + std::to_string(rule.number));
        ASSERT_LE(std::size_t(rule.number), lines.size());
        const std::string_view line = lines[rule.number - 1];
        if (!rule.exactly.empty()) {
            EXPECT_EQ(line, rule.exactly);
        }
        EXPECT_EQ(line.size(), rule.length);
        if (!rule.begins.empty()) {
            EXPECT_TRUE(line.starts_with(rule.begins)) << line;
        }
    }
}

TEST(DisclaimerText, IsSevenLinesOfPlainAsciiSeparatedByLineFeeds) {
    const std::string_view text = asText(disclaimerTextBlock());
    ASSERT_EQ(text.size(), 849u);
    expectPlainAscii(text);
    EXPECT_EQ(text.find('\r'), std::string_view::npos) << "lines are separated by LF alone";
    EXPECT_NE(text.back(), '\n') << "no line break after the last line";
    EXPECT_EQ(text.find(placeholder), std::string_view::npos);

    const auto lines = split(text, "\n");
    ASSERT_EQ(lines.size(), 7u);
    expectLines(lines, {
        {1, 107, {}, "By using"},
        {2, 0, {}, {}},
        {3, 50, "Disclaimer of Warranty and Limitation of Liability", {}},
        {4, 0, {}, {}},
        {5, 331, {}, {}},
        {6, 0, {}, {}},
        {7, 355, {}, {}},
    });
    // It sends the user to the agreement in the help window.
    EXPECT_NE(lines[0].find("\"help/about dialog\""), std::string_view::npos);
}

TEST(HelpText, IsThirtyTwoLinesOfPlainAsciiEachEndingWithCrLf) {
    const std::string_view text = asText(helpTextBlock());
    ASSERT_EQ(text.size(), 2638u);
    expectPlainAscii(text);
    ASSERT_TRUE(text.ends_with("\r\n"));
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "bare CR at " << i;
        }
        if (text[i] == '\n') {
            EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
        }
    }
    const auto lines = split(text.substr(0, text.size() - 2), "\r\n");
    EXPECT_EQ(lines.size(), 32u);
}

TEST(HelpText, HasItsHeadingsParagraphsAndClausesAtTheirLines) {
    const std::string_view text = asText(helpTextBlock());
    const auto lines = split(text.substr(0, text.size() - 2), "\r\n");
    ASSERT_EQ(lines.size(), 32u);
    const std::string separator(44, '-');
    expectLines(lines, {
        {1, 0, {}, {}},
        {2, 0, {}, {}},
        {3, 53, {}, {}},
        {4, 0, {}, {}},
        {5, 0, {}, {}},
        {6, 19, "Method descriptons:", {}},
        {7, 0, {}, {}},
        {8, 19, "All zeroes/All ones", {}},
        {9, 391, {}, {}},
        {10, 0, {}, {}},
        {11, 6, "Random", {}},
        {12, 203, {}, {}},
        {13, 0, {}, {}},
        {14, 376, {}, {}},
        {15, 0, {}, {}},
        {16, 0, {}, {}},
        {17, 44, separator, {}},
        {18, 0, {}, {}},
        {19, 0, {}, {}},
        {20, 38, "[Your Software Name] License Agreement", {}},
        {21, 0, {}, {}},
        {22, 156, {}, "License Grant:"},
        {23, 0, {}, {}},
        {24, 302, {}, "No Warranty:"},
        {25, 0, {}, {}},
        {26, 73, {}, "No Support:"},
        {27, 0, {}, {}},
        {28, 381, {}, "Limitation of Liability:"},
        {29, 0, {}, {}},
        {30, 220, {}, "Termination:"},
        {31, 0, {}, {}},
        {32, 293, {}, "Entire Agreement:"},
    });
}

TEST(HelpText, HoldsThePlaceholderEightTimesInItsExactCase) {
    const std::string_view text = asText(helpTextBlock());
    const auto lines = split(text.substr(0, text.size() - 2), "\r\n");
    ASSERT_EQ(lines.size(), 32u);
    // Once in the heading and in each clause, twice in the last clause; nowhere else.
    std::vector<std::size_t> expected(33, 0);
    for (int number : {20, 22, 24, 26, 28, 30}) expected[number] = 1;
    expected[32] = 2;
    for (int number = 1; number <= 32; ++number)
        EXPECT_EQ(occurrences(lines[number - 1], placeholder), expected[number])
            << "line " << number;
    EXPECT_EQ(occurrences(text, placeholder), 8u);
    // Written in another letter case it would not be replaced.
    EXPECT_EQ(occurrences(lowered(text), lowered(placeholder)), 8u);

    std::string replaced(text);
    for (std::size_t at = replaced.find(placeholder); at != std::string::npos;
         at = replaced.find(placeholder, at + programName.size()))
        replaced.replace(at, placeholder.size(), programName);
    EXPECT_EQ(replaced.size(), 2638u - 8u * (placeholder.size() - programName.size()));
    EXPECT_EQ(replaced.size(), 2550u);
    EXPECT_EQ(occurrences(replaced, programName), 8u);
}

}  // namespace
